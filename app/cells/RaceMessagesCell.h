#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// Officials' messages and team radio side by side in equal halves.
class RaceMessagesCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "RaceMessagesCell";

    explicit RaceMessagesCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> messages = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> audio = std::make_shared<ui::Button>();
};
