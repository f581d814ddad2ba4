#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// Laps and pit stops side by side in equal halves, tyres full width under them.
class RaceBreakdownCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "RaceBreakdownCell";

    explicit RaceBreakdownCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> lap = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> pitStop = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> tyres = std::make_shared<ui::Button>();
};
