#include <gtest/gtest.h>

#include <regex>

#include "TestItems.h"
#include "ui/VisualFormat.h"

namespace ui {
namespace {

using testing::TestItem;

// Every format the app's cells lay themselves out with.
const char* const cellFormats[] = {
    "H:[flag(width)]",
    "H:|-(>=20)-[fromGridPosition]-20-|",
    "H:|-(>=20)-[position]-20-|",
    "H:|-(>=20)-[windmillBase(80)]-20-|",
    "H:|-(>=20)-[windmillBase2(60)]-70-|",
    "H:|-(>=20)-[windmillBase3(40)]-120-|",
    "H:|-(>=20)-[windmillFan(80)]-20-|",
    "H:|-(>=20)-[windmillFan2(60)]-70-|",
    "H:|-(>=20)-[windmillFan3(40)]-120-|",
    "H:|-0-[bgView]-0-|",
    "H:|-0-[windmillLand]-0-|",
    "H:|-20-[airTempTitle]-4-[humidityTitle]-4-[windSpeedTitle]-20-|",
    "H:|-20-[airTemp]-4-[humidity]-4-[windSpeed]-20-|",
    "H:|-20-[calendar]-20-|",
    "H:|-20-[circuitImage]-20-|",
    "H:|-20-[circuit]-(>=20)-|",
    "H:|-20-[day]-(>=20)-|",
    "H:|-20-[day]-14-[circuit]-(>=20)-|",
    "H:|-20-[day]-14-[event]-(>=20)-|",
    "H:|-20-[day]-14-[location]-(>=20)-|",
    "H:|-20-[day]-14-[race]-(>=20)-|",
    "H:|-20-[day]-14-[round]-(>=20)-|",
    "H:|-20-[day]-14-[time]-(>=20)-|",
    "H:|-20-[driverImage(50)]-15-[constructor]-(>=20)-[position]-20-|",
    "H:|-20-[driverImage(50)]-15-[constructor]-(>=20)-|",
    "H:|-20-[driverImage(50)]-15-[driver]-(>=20)-[position]-20-|",
    "H:|-20-[driverImage(50)]-15-[driver]-(>=20)-|",
    "H:|-20-[driverImage(50)]-15-[fastestLap]-(>=20)-[position]-20-|",
    "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[driver]-(>=20)-|",
    "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[progressBG]-20-|",
    "H:|-20-[driverImage(50)]-15-[playStop(50)]-15-[status]-(>=20)-|",
    "H:|-20-[driverImage(50)]-15-[status]-(>=20)-[position]-20-|",
    "H:|-20-[driverImage(50)]-15-[tyreStack]-20-|",
    "H:|-20-[drivers]-12-[teams]-20-|",
    "H:|-20-[event]-6-[lap]-6-[title]-(>=20)-|",
    "H:|-20-[event]-6-[title]-(>=20)-|",
    "H:|-20-[infoDescription]-20-|",
    "H:|-20-[infoTitle]-20-|",
    "H:|-20-[lap]-12-[pitStop]-20-|",
    "H:|-20-[lap]-15-[message]-(>=20)-|",
    "H:|-20-[lap]-15-[status]-(>=20)-|",
    "H:|-20-[lap]-15-[timeStamp]-(>=20)-|",
    "H:|-20-[location]-(>=20)-|",
    "H:|-20-[message]-(>=20)-|",
    "H:|-20-[messages]-12-[audio]-20-|",
    "H:|-20-[notifications1]-12-[notifications2]-20-|",
    "H:|-20-[notifications1]-20-|",
    "H:|-20-[race]-(>=20)-|",
    "H:|-20-[recordTitle]-20-|",
    "H:|-20-[record]-20-|",
    "H:|-20-[tickets]-20-|",
    "H:|-20-[time]-(>=20)-|",
    "H:|-20-[titleText]-(>=20)-|",
    "H:|-20-[trackDistanceTitle]-4-[cornerCountTitle]-4-[firstGrandPrixTitle]-20-|",
    "H:|-20-[trackDistance]-4-[cornerCount]-4-[firstGrandPrix]-20-|",
    "H:|-20-[trackLengthTitle]-4-[lapCountTitle]-4-[firstOpenedTitle]-20-|",
    "H:|-20-[trackLength]-4-[lapCount]-4-[firstOpened]-20-|",
    "H:|-20-[trackTempTitle]-4-[pressureTitle]-4-[rainFallTitle]-20-|",
    "H:|-20-[trackTemp]-4-[pressure]-4-[rainFall]-20-|",
    "H:|-20-[tyres]-20-|",
    "H:|-20-[vote]-20-|",
    "H:|-20-[watch]-20-|",
    "V:[driverImage(50)]",
    "V:[flag(height)]",
    "V:[playStop(50)]",
    "V:|-(>=20)-[windmillBase(80)]-0-|",
    "V:|-(>=20)-[windmillBase2(60)]-0-|",
    "V:|-(>=20)-[windmillBase3(40)]-0-|",
    "V:|-(>=20)-[windmillFan(80)]-40-|",
    "V:|-(>=20)-[windmillFan2(60)]-30-|",
    "V:|-(>=20)-[windmillFan3(40)]-20-|",
    "V:|-(>=20)-[windmillLand(20)]-0-|",
    "V:|-0-[bgView]-0-|",
    "V:|-14-[driver]-14-[tyreStack]-14-|",
    "V:|-14-[event]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[airTempTitle]-3-[airTemp]-14-[trackTempTitle]-3-[trackTemp]-120-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[audio]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[calendar]-12-[notifications1]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[calendar]-12-[notifications2]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[driverImage(50)]-(>=14)-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[driver]-2-[constructor]-(>=14)-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[drivers]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[firstOpenedTitle]-3-[firstOpened]-14-[firstGrandPrixTitle]-3-[firstGrandPrix]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[humidityTitle]-3-[humidity]-14-[pressureTitle]-3-[pressure]-120-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[lapCountTitle]-3-[lapCount]-14-[cornerCountTitle]-3-[cornerCount]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[lap]-12-[tyres]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[messages]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[pitStop]-12-[tyres]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[teams]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[trackLengthTitle]-3-[trackLength]-14-[trackDistanceTitle]-3-[trackDistance]-5-[circuitImage(250)]-5-[recordTitle]-3-[record]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[vote]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[watch]-12-[tickets]-14-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-[windSpeedTitle]-3-[windSpeed]-14-[rainFallTitle]-3-[rainFall]-120-|",
    "V:|-14-[infoTitle]-2-[infoDescription]-14-|",
    "V:|-14-[lap]-14-|",
    "V:|-14-[round]-2-[day]-2-[month]-(>=14)-|",
    "V:|-14-[round]-2-[race]-2-[circuit]-2-[location]-14-|",
    "V:|-14-[status]-2-[driver]-2-[constructor]-2-[fastestLap]-14-|",
    "V:|-14-[status]-2-[driver]-8-[progressBG(6)]-14-|",
    "V:|-14-[status]-2-[position]-2-[fromGridPosition]-(>=14)-|",
    "V:|-14-[timeStamp]-2-[lap]-(>=14)-|",
    "V:|-14-[timeStamp]-2-[message]-14-|",
    "V:|-14-[timeStamp]-2-[message]-5-[status]-14-|",
    "V:|-14-[time]-4-[race]-4-[circuit]-2-[location]-14-|",
    "V:|-14-[time]-5-[titleText]-5-[message]-14-|",
    "V:|-14-[title]-14-|",
    "V:|-20-[driverImage(50)]-(>=20)-|",
    "V:|-8-[day]-2-[month]-8-|",
    "V:|-8-[event]-2-[time]-8-|",
};

TEST(VisualFormatCells, EveryCellFormatParsesIntoConstraints) {
    auto contentView = TestItem::root(390, 200);
    auto bgView = TestItem::make("bgView");
    contentView->addSubitem(bgView);
    VisualFormatViews views{{"bgView", bgView}};
    std::regex viewName(R"(\[(\w+))");
    for (const char* format : cellFormats) {
        std::string text = format;
        for (std::sregex_iterator match(text.begin(), text.end(), viewName), end; match != end; ++match) {
            std::string name = (*match)[1];
            if (views.contains(name)) continue;
            auto view = TestItem::make(name);
            bgView->addSubitem(view);
            views.emplace(name, view);
        }
    }
    VisualFormatMetrics metrics{{"height", 14.3}, {"width", 18.2}};
    for (const char* format : cellFormats) {
        auto constraints = constraintsWithVisualFormat(format, metrics, views);
        ASSERT_TRUE(constraints) << constraints.error().message;
        EXPECT_FALSE(constraints->empty()) << format;
    }
}

}  // namespace
}  // namespace ui
