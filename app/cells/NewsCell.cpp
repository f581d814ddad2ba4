#include "cells/NewsCell.h"

#include "cells/CardLayout.h"

NewsCell::NewsCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    using gfx::Color, gfx::Font, gfx::FontWeight, gfx::TextAlignment;
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, time,
              LabelStyle{Color::secondaryLabel(), Font::systemFont(bases.bodySize - 4, FontWeight::semibold), TextAlignment::left, 1});
    addToCard(*bgView, titleText,
              LabelStyle{Color::label(), Font::systemFont(bases.titleSize - 2, FontWeight::semibold), TextAlignment::left, 0});
    titleText->setContentCompressionResistancePriority(ui::layoutPriority::required, ui::LayoutAxis::horizontal);
    addToCard(*bgView, message, LabelStyle{Color::secondaryLabel(), Font::systemFont(bases.bodySize), TextAlignment::left, 2});
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[time]-5-[titleText]-5-[message]-14-|",
                      "H:|-20-[time]-(>=20)-|", "H:|-20-[titleText]-(>=20)-|", "H:|-20-[message]-(>=20)-|"},
                     {{"bgView", bgView}, {"time", time}, {"titleText", titleText}, {"message", message}});
}
