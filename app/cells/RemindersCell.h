#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// A session's reminders before any is set: the calendar full width, the two alerts in equal halves.
class RemindersCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "RemindersCell";

    explicit RemindersCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> calendar = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> notifications1 = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> notifications2 = std::make_shared<ui::Button>();
};

// Once a reminder is set: the calendar and the red remove button, both full width.
class RemoveRemindersCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "RemoveRemindersCell";

    explicit RemoveRemindersCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> calendar = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> notifications1 = std::make_shared<ui::Button>();
};
