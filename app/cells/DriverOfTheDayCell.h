#pragma once

#include <memory>
#include <string>

#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// An info card with one driver under its title: the driver of the day, and (dequeued as
// "DriverOfTheDayCell2") the fastest lap.
class DriverOfTheDayCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "DriverOfTheDayCell";

    explicit DriverOfTheDayCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::ImageView> driverImage = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> driver = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> constructor = std::make_shared<ui::Label>();
};
