#pragma once

#include <memory>
#include <string>

#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The track weather as a grid of six figures (three equal columns, two rows) over a strip of land
// with three windmills. The cell sets the windmill pictures; the screens set the fans turning.
class WeatherOverviewCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "WeatherOverviewCell";

    explicit WeatherOverviewCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> airTempTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackTempTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> humidityTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> pressureTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> windSpeedTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> rainFallTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> airTemp = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackTemp = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> humidity = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> pressure = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> windSpeed = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> rainFall = std::make_shared<ui::Label>();
    std::shared_ptr<ui::ImageView> windmillLand = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillBase = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillFan = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillBase2 = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillFan2 = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillBase3 = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::ImageView> windmillFan3 = std::make_shared<ui::ImageView>();
};
