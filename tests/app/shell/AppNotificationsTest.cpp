#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "shell/AppNotifications.h"

namespace {

foundation::Notification note(foundation::UserInfo userInfo) {
    return {notifications::selectedRace, nullptr, std::move(userInfo)};
}

TEST(AppNotifications, namesAndKeysAreThePlainTexts) {
    EXPECT_EQ(notifications::upcomingRace.rawValue, "upcomingRace");
    EXPECT_EQ(notifications::selectedRace.rawValue, "selectedRace");
    EXPECT_EQ(notifications::changedYear.rawValue, "changedYear");
    EXPECT_EQ(notifications::updateTable.rawValue, "updateTable");
    EXPECT_EQ(notifications::reloadWeatherAnimations.rawValue, "reloadWeatherAnimations");
}

TEST(AppNotifications, raceIsReadOnlyAsAnInt) {
    EXPECT_EQ(notifications::raceIndex(note(notifications::raceUserInfo(7))), 7);
    EXPECT_EQ(notifications::raceIndex(note({})), std::nullopt);
    EXPECT_EQ(notifications::raceIndex(note({{"index", 7}})), std::nullopt);
    EXPECT_EQ(notifications::raceIndex(note({{"race", std::string("7")}})), std::nullopt);
    EXPECT_EQ(notifications::raceIndex(note({{"race", 7.0}})), std::nullopt);
}

TEST(AppNotifications, yearIsReadOnlyAsAText) {
    EXPECT_EQ(notifications::year(note(notifications::yearUserInfo("2023"))), "2023");
    EXPECT_EQ(notifications::year(note({{"year", 2023}})), std::nullopt);
    EXPECT_EQ(notifications::year(note({{"year", "2023"}})), std::nullopt);  // a C string is not a text value
    EXPECT_EQ(notifications::year(note({})), std::nullopt);
}

TEST(AppNotifications, changedYearWithANumberChangesNothing) {
    std::vector<std::string> loadedYears;
    auto& center = foundation::NotificationCenter::defaultCenter();
    auto token = center.addObserver(notifications::changedYear, [&](const foundation::Notification& notification) {
        if (auto year = notifications::year(notification)) loadedYears.push_back(*year);
    });
    center.post(notifications::changedYear, nullptr, {{"year", 2021}});
    center.post(notifications::changedYear, nullptr, notifications::yearUserInfo("2022"));
    center.removeObserver(token);
    EXPECT_EQ(loadedYears, std::vector<std::string>{"2022"});
}

}  // namespace
