#include "cells/TicketsCell.h"

#include "cells/ActionCard.h"

ExternalLinksCell::ExternalLinksCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, watch, gfx::Color::systemOrange(), bases);
    addActionButton(*bgView, tickets, gfx::Color::systemRed(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-(>=14)-[watch]-12-[tickets]-14-|", "H:|-20-[infoTitle]-20-|",
                      "H:|-20-[infoDescription]-20-|", "H:|-20-[watch]-20-|", "H:|-20-[tickets]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription},
                      {"watch", watch}, {"tickets", tickets}});
    // Where a link that did not open says why.
    keepStatusRoom(infoDescription, watch, 14);
}
