#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"
#include "shell/AppNotifications.h"

namespace {

foundation::Notification selection(foundation::UserInfo userInfo) {
    return {notifications::selectedRace, nullptr, std::move(userInfo)};
}

TEST(AppNotifications, raceIsReadOnlyAsAnInt) {
    EXPECT_EQ(notifications::raceIndex(selection(notifications::raceUserInfo(7))), 7);
    for (auto userInfo : {foundation::UserInfo{}, foundation::UserInfo{{"index", 7}},
                          foundation::UserInfo{{"race", std::string("7")}}, foundation::UserInfo{{"race", 7.0}}}) {
        EXPECT_EQ(notifications::raceIndex(selection(userInfo)), std::nullopt);
    }
}

TEST(AppNotifications, changedYearWithAnythingButATextChangesNothing) {
    std::vector<std::string> loadedYears;
    auto& center = foundation::NotificationCenter::defaultCenter();
    auto token = center.addObserver(notifications::changedYear, [&](const foundation::Notification& notification) {
        if (auto year = notifications::year(notification)) loadedYears.push_back(*year);
    });
    center.post(notifications::changedYear, nullptr, {{"year", 2021}});
    center.post(notifications::changedYear, nullptr, {{"year", "2021"}});  // a C string, not a text value
    center.post(notifications::changedYear);
    center.post(notifications::changedYear, nullptr, notifications::yearUserInfo("2022"));
    center.removeObserver(token);
    EXPECT_EQ(loadedYears, std::vector<std::string>{"2022"});
}

}  // namespace
