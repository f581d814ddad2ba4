#include "cells/RaceBreakdownCell.h"

#include "cells/ActionCard.h"

RaceBreakdownCell::RaceBreakdownCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, lap, "dirtyBrown", bases);
    addActionButton(*bgView, pitStop, gfx::Color::systemOrange(), bases);
    addActionButton(*bgView, tyres, gfx::Color::systemPurple(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[lap]-12-[tyres]-14-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[pitStop]-12-[tyres]-14-|", "H:|-20-[infoTitle]-20-|",
                      "H:|-20-[infoDescription]-20-|", "H:|-20-[lap]-12-[pitStop]-20-|", "H:|-20-[tyres]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription}, {"lap", lap},
                      {"pitStop", pitStop}, {"tyres", tyres}});
    activateEach({lap->widthAnchor().constraintEqualTo(pitStop->widthAnchor())});
}
