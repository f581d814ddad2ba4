#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The picker row of the lap-based and feed screens: a caption, a pill button with a menu, a second
// caption.
class LapPickerCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "LapPickerCell";

    explicit LapPickerCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> event = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> lap = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Label> title = std::make_shared<ui::Label>();
};
