#include "cells/VoteCell.h"

#include "cells/ActionCard.h"

VoteCell::VoteCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, vote, gfx::Color::systemPink(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[infoTitle]-2-[infoDescription]-(>=14)-[vote]-14-|",
                      "H:|-20-[infoTitle]-20-|", "H:|-20-[infoDescription]-20-|", "H:|-20-[vote]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription}, {"vote", vote}});
    // Where a vote that did not open says why.
    keepStatusRoom(infoDescription, vote, 14);
}
