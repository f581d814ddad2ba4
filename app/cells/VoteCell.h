#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The live screen's driver-of-the-day card: one full-width vote button.
class VoteCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "VoteCell";

    explicit VoteCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> vote = std::make_shared<ui::Button>();
};
