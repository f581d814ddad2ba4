#include "cells/RemindersCell.h"

#include "cells/ActionCard.h"

RemindersCell::RemindersCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, calendar, gfx::Color::systemBlue(), bases);
    addActionButton(*bgView, notifications1, gfx::Color::systemIndigo(), bases);
    addActionButton(*bgView, notifications2, gfx::Color::systemPurple(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-(>=14)-[calendar]-12-[notifications1]-14-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-(>=14)-[calendar]-12-[notifications2]-14-|",
                      "H:|-20-[infoTitle]-20-|", "H:|-20-[infoDescription]-20-|", "H:|-20-[calendar]-20-|",
                      "H:|-20-[notifications1]-12-[notifications2]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription},
                      {"calendar", calendar}, {"notifications1", notifications1}, {"notifications2", notifications2}});
    activateEach({notifications1->widthAnchor().constraintEqualTo(notifications2->widthAnchor())});
    // Where the reminder set, or why none or no calendar entry was made, is said.
    keepStatusRoom(infoDescription, calendar, 14);
}

RemoveRemindersCell::RemoveRemindersCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, calendar, gfx::Color::systemBlue(), bases);
    addActionButton(*bgView, notifications1, gfx::Color::systemRed(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-(>=14)-[calendar]-12-[notifications1]-14-|",
                      "H:|-20-[infoTitle]-20-|", "H:|-20-[infoDescription]-20-|", "H:|-20-[calendar]-20-|",
                      "H:|-20-[notifications1]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription},
                      {"calendar", calendar}, {"notifications1", notifications1}});
    keepStatusRoom(infoDescription, calendar, 14);
}
