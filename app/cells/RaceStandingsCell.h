#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// Drivers and teams side by side in equal halves: the standings card, and under
// "RaceStandingsCell2" the predictions card its screen recolours.
class RaceStandingsCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "RaceStandingsCell";
    // The predictions card's own pool, so its green buttons never turn up on the standings card.
    static constexpr const char* predictionsReuseIdentifier = "RaceStandingsCell2";

    explicit RaceStandingsCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> drivers = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> teams = std::make_shared<ui::Button>();
};
