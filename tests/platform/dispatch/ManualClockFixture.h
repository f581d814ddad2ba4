#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "foundation/Clock.h"
#include "Waits.h"

// Installs a manual clock for the test, so timers and after-delays move only when the test says.
class ManualClockTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 1000);
};
