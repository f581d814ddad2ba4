#pragma once

#include <memory>
#include <string>

#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The card heading a weekend's schedule: a title and a description.
class WeekendHeaderCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "WeekendHeaderCell";

    explicit WeekendHeaderCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
};

// One session of the schedule: day and month in a left column, the session and its time beside them.
class WeekendCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "WeekendCell";

    explicit WeekendCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> day = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> month = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> event = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> time = std::make_shared<ui::Label>();
};
