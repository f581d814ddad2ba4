#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/Decoding.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"
#include "livetiming/DriverListPartModel.h"
#include "shell/DriverKey.h"
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
        // What was read by now reaches its screen once decoded, off the main thread.
        dispatch::RunLoop::main()->runUntil([] { return documentsBeingDecoded() == 0; }, 10);
        host.renderIfNeeded();
    }

    std::shared_ptr<foundation::ManualClock> clock =
        std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    ui::HeadlessHost host;
};

// The driver dictionaries a race screen builds from its session's driver list, by driver key.
struct DriverDictionaries {
    std::map<std::string, std::string> images;
    std::map<std::string, std::string> colours;
    std::map<std::string, std::string> numbers;
};

inline DriverDictionaries dictionariesOf(const std::map<std::string, livetiming::DriverListPartModel>& drivers) {
    DriverDictionaries dictionaries;
    for (const auto& [number, driver] : drivers) {
        std::string key = driverKey(driver.firstName, driver.lastName);
        if (driver.headshotUrl) dictionaries.images[key] = *driver.headshotUrl;
        dictionaries.colours[key] = driver.teamColour;
        dictionaries.numbers[key] = driver.racingNumber;
    }
    return dictionaries;
}

// A plain root on the headless phone, in Amsterdam with an English locale, for sheets to be presented
// over; whatever is presented is dismissed after the test.
class SheetPhone : public ::testing::Test, protected HeadlessPhone {
protected:
    void SetUp() override {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named("Europe/Amsterdam"));
        foundation::Locale::setCurrent(foundation::Locale("en_US"));
        host.window()->makeKeyAndVisible();
        show(root);
    }
    void TearDown() override {
        if (root->presentedViewController()) root->dismiss(false);
        settle();
        // A dismissed screen lives until its loads end; they must end here, while this test's hosts
        // answer, or they ask the next test's hosts.
        for (const auto& shown : presented) {
            dispatch::RunLoop::main()->runUntil([&] { return shown.expired(); }, 20);
            EXPECT_TRUE(shown.expired()) << "a presented screen outlived its test";
        }
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }
    void present(const std::shared_ptr<ui::ViewController>& sheet, bool animated = false) {
        presented.push_back(sheet);
        root->present(sheet, animated);
        settle();
    }

    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::vector<std::weak_ptr<ui::ViewController>> presented;
};

}  // namespace shelltest
