#include "cells/RaceStandingsCell.h"

#include "cells/ActionCard.h"

RaceStandingsCell::RaceStandingsCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, drivers, gfx::Color::systemPink(), bases);
    addActionButton(*bgView, teams, "dullPink", bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[drivers]-14-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[teams]-14-|", "H:|-20-[infoTitle]-20-|",
                      "H:|-20-[infoDescription]-20-|", "H:|-20-[drivers]-12-[teams]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription},
                      {"drivers", drivers}, {"teams", teams}});
    activateEach({drivers->widthAnchor().constraintEqualTo(teams->widthAnchor())});
}
