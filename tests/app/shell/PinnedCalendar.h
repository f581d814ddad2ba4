#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

// Amsterdam, en_US (weeks start on Sunday) and a clock stopped at Wednesday 6 March 2024, 12:00 local.
class PinnedCalendar : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Europe/Amsterdam"));
        foundation::Locale::setCurrent(foundation::Locale("en_US"));
        foundation::Clock::setCurrent(clock);
        clock->set(local(2024, 3, 6, 12, 0));
    }
    void TearDown() override {
        foundation::Clock::setCurrent(nullptr);
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }

    static foundation::Date local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        foundation::DateComponents fields;
        fields.year = year, fields.month = month, fields.day = day;
        fields.hour = hour, fields.minute = minute, fields.second = second;
        return *foundation::Calendar::current().date(fields);
    }
    foundation::Date now() const { return clock->now(); }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>();
};
