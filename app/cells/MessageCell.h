#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// One officials' message: a lap pill in the left column, the time over the message to its right.
class MessageCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "MessageCell";

    explicit MessageCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Button> lap = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Label> timeStamp = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> message = std::make_shared<ui::Label>();
};

// A flag message: the same row with the flag pill under the message.
class MessageWithFlagCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "MessageWithFlagCell";

    explicit MessageWithFlagCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Button> lap = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Label> timeStamp = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> message = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> status = std::make_shared<ui::Button>();
};
