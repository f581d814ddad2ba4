#include "cells/EventPickerCell.h"

#include "cells/CardLayout.h"

EventPickerCell::EventPickerCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, event, [&](ui::Button& button) { pillButtonStyle(button, bases); });
    addToCard(*bgView, title, headerCaptionStyle(bases));

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-14-[event]-14-|",
                         "V:|-14-[title]-14-|",
                         "H:|-20-[event]-6-[title]-(>=20)-|",
                     },
                     {{"bgView", bgView}, {"event", event}, {"title", title}});
    // The session's name is what the row is for: a long caption (a countdown) gives way and shrinks
    // to fit rather than cutting the name.
    keepFullWidth({event});
    title->setContentCompressionResistancePriority(ui::layoutPriority::defaultLow, ui::LayoutAxis::horizontal);
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumScaleFactor(0.6);
}
