#pragma once

#include <memory>

#include "foundation/Clock.h"
#include "ui/HeadlessHost.h"
#include "ui/ViewController.h"

namespace shelltest {

// A headless phone on a manual clock, for driving presentations and gestures to their end.
struct HeadlessPhone {
    HeadlessPhone() { foundation::Clock::setCurrent(clock); }
    ~HeadlessPhone() {
        host.window()->setRootViewController(nullptr);
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }
    HeadlessPhone(const HeadlessPhone&) = delete;
    HeadlessPhone& operator=(const HeadlessPhone&) = delete;

    void show(const std::shared_ptr<ui::ViewController>& root) {
        host.window()->setRootViewController(root);
        settle();
    }
    // Runs the loop past any animation or transition.
    void settle(double seconds = 0.5) {
        host.renderIfNeeded();
        clock->advance(seconds);
        host.renderIfNeeded();
        host.renderIfNeeded();
    }

    std::shared_ptr<foundation::ManualClock> clock =
        std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    ui::HeadlessHost host;
};

}  // namespace shelltest
