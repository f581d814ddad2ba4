#pragma once

#include <memory>
#include <string>

#include "ui/Label.h"
#include "ui/TableViewCell.h"

// One article: when, its title, and the start of its description.
class NewsCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "NewsCell";

    explicit NewsCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> time = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> titleText = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> message = std::make_shared<ui::Label>();
};
