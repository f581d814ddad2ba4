#include "cells/WeatherOverviewCell.h"

#include "cells/CardLayout.h"
#include "cells/TintedImage.h"
#include "ui/AssetCatalog.h"

namespace {

// A missing asset leaves the view empty; the layout does not depend on it.
auto windmillPicture(const char* name, ui::ContentMode mode) {
    return [name, mode](ui::ImageView& view) {
        view.setContentMode(mode);
        view.setImage(tintedImage(ui::namedImage(name), gfx::Color::systemGray4()));
    };
}

}  // namespace

WeatherOverviewCell::WeatherOverviewCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, infoTitle, infoTitleStyle(bases));
    addToCard(*bgView, infoDescription, infoDescriptionStyle(bases));
    for (const auto& title : {airTempTitle, trackTempTitle, humidityTitle, pressureTitle, windSpeedTitle, rainFallTitle})
        addToCard(*bgView, title, gridTitleStyle(bases));
    for (const auto& value : {airTemp, trackTemp, humidity, pressure, windSpeed, rainFall})
        addToCard(*bgView, value, gridValueStyle(bases));
    addToCard(*bgView, windmillLand, windmillPicture("windmillLand", ui::ContentMode::scaleToFill));
    for (const auto& [base, fan] : {std::pair{windmillBase, windmillFan}, {windmillBase2, windmillFan2}, {windmillBase3, windmillFan3}}) {
        addToCard(*bgView, base, windmillPicture("windmillBase", ui::ContentMode::scaleAspectFit));
        addToCard(*bgView, fan, windmillPicture("windmillFan", ui::ContentMode::scaleAspectFit));
    }

    addVisualFormats(
        *contentView(),
        {
            "V:|-0-[bgView]-0-|",
            "H:|-0-[bgView]-0-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[airTempTitle]-3-[airTemp]-14-[trackTempTitle]-3-[trackTemp]-120-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[humidityTitle]-3-[humidity]-14-[pressureTitle]-3-[pressure]-120-|",
            "V:|-14-[infoTitle]-2-[infoDescription]-14-[windSpeedTitle]-3-[windSpeed]-14-[rainFallTitle]-3-[rainFall]-120-|",
            "H:|-20-[infoTitle]-20-|",
            "H:|-20-[infoDescription]-20-|",
            "H:|-20-[airTempTitle]-4-[humidityTitle]-4-[windSpeedTitle]-20-|",
            "H:|-20-[trackTempTitle]-4-[pressureTitle]-4-[rainFallTitle]-20-|",
            "H:|-20-[airTemp]-4-[humidity]-4-[windSpeed]-20-|",
            "H:|-20-[trackTemp]-4-[pressure]-4-[rainFall]-20-|",
            "V:|-(>=20)-[windmillLand(20)]-0-|",
            "V:|-(>=20)-[windmillBase(80)]-0-|",
            "V:|-(>=20)-[windmillFan(80)]-40-|",
            "V:|-(>=20)-[windmillBase2(60)]-0-|",
            "V:|-(>=20)-[windmillFan2(60)]-30-|",
            "V:|-(>=20)-[windmillBase3(40)]-0-|",
            "V:|-(>=20)-[windmillFan3(40)]-20-|",
            "H:|-0-[windmillLand]-0-|",
            "H:|-(>=20)-[windmillBase(80)]-20-|",
            "H:|-(>=20)-[windmillFan(80)]-20-|",
            "H:|-(>=20)-[windmillBase2(60)]-70-|",
            "H:|-(>=20)-[windmillFan2(60)]-70-|",
            "H:|-(>=20)-[windmillBase3(40)]-120-|",
            "H:|-(>=20)-[windmillFan3(40)]-120-|",
        },
        {{"bgView", bgView},
         {"infoTitle", infoTitle},
         {"infoDescription", infoDescription},
         {"airTempTitle", airTempTitle},
         {"trackTempTitle", trackTempTitle},
         {"humidityTitle", humidityTitle},
         {"pressureTitle", pressureTitle},
         {"windSpeedTitle", windSpeedTitle},
         {"rainFallTitle", rainFallTitle},
         {"airTemp", airTemp},
         {"trackTemp", trackTemp},
         {"humidity", humidity},
         {"pressure", pressure},
         {"windSpeed", windSpeed},
         {"rainFall", rainFall},
         {"windmillLand", windmillLand},
         {"windmillBase", windmillBase},
         {"windmillFan", windmillFan},
         {"windmillBase2", windmillBase2},
         {"windmillFan2", windmillFan2},
         {"windmillBase3", windmillBase3},
         {"windmillFan3", windmillFan3}});
    activateEach({
        airTempTitle->widthAnchor().constraintEqualTo(humidityTitle->widthAnchor()),
        humidityTitle->widthAnchor().constraintEqualTo(windSpeedTitle->widthAnchor()),
        trackTempTitle->widthAnchor().constraintEqualTo(pressureTitle->widthAnchor()),
        pressureTitle->widthAnchor().constraintEqualTo(rainFallTitle->widthAnchor()),
        airTemp->widthAnchor().constraintEqualTo(humidity->widthAnchor()),
        humidity->widthAnchor().constraintEqualTo(windSpeed->widthAnchor()),
        trackTemp->widthAnchor().constraintEqualTo(pressure->widthAnchor()),
        pressure->widthAnchor().constraintEqualTo(rainFall->widthAnchor()),
    });
}
