#include "cells/RaceMessagesCell.h"

#include "cells/ActionCard.h"

RaceMessagesCell::RaceMessagesCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addInfoHeader(*bgView, infoTitle, infoDescription, bases);
    addActionButton(*bgView, messages, gfx::Color::systemBlue(), bases);
    addActionButton(*bgView, audio, gfx::Color::systemIndigo(), bases);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[messages]-14-|",
                      "V:|-14-[infoTitle]-2-[infoDescription]-14-[audio]-14-|", "H:|-20-[infoTitle]-20-|",
                      "H:|-20-[infoDescription]-20-|", "H:|-20-[messages]-12-[audio]-20-|"},
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription},
                      {"messages", messages}, {"audio", audio}});
    activateEach({messages->widthAnchor().constraintEqualTo(audio->widthAnchor())});
}
