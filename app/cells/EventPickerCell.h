#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The row under the detail header that switches sessions (or drivers and teams): a pill button whose
// menu the screen sets, then a caption.
class EventPickerCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "EventPickerCell";

    explicit EventPickerCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Button> event = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Label> title = std::make_shared<ui::Label>();
};
