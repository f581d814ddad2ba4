#pragma once

#include <memory>
#include <string>

#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// A classification row: round photo, then status, name, team and detail lines, and the position with
// a second figure under it at the right edge.
class DriverCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "DriverCell";

    explicit DriverCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> position = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> fromGridPosition = std::make_shared<ui::Label>();
    std::shared_ptr<ui::ImageView> driverImage = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> status = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> driver = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> constructor = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> fastestLap = std::make_shared<ui::Label>();
};
