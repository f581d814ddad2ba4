#include "cells/LapPickerCell.h"

#include "cells/CardLayout.h"

LapPickerCell::LapPickerCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, event, headerCaptionStyle(bases));
    addToCard(*bgView, lap, [&](ui::Button& button) { pillButtonStyle(button, bases); });
    addToCard(*bgView, title, headerCaptionStyle(bases));

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-14-[event]-14-|",
                         "V:|-14-[lap]-14-|",
                         "V:|-14-[title]-14-|",
                         "H:|-20-[event]-6-[lap]-6-[title]-(>=20)-|",
                     },
                     {{"bgView", bgView}, {"event", event}, {"lap", lap}, {"title", title}});
}
