#include "cells/DetailHeaderCell.h"

#include "cells/CardLayout.h"

using gfx::Color;
using gfx::Font;
using gfx::FontWeight;
using gfx::TextAlignment;

DetailHeaderCell::DetailHeaderCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    bool status = ui::TableViewCell::reuseIdentifier() == statusReuseIdentifier;
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    auto smallLine = [&](FontWeight weight) {
        return LabelStyle{Color::white(), Font::systemFont(bases.bodySize - 4, weight), TextAlignment::left, 1};
    };
    addToCard(*bgView, time, smallLine(FontWeight::semibold));
    addToCard(*bgView, race,
              LabelStyle{Color::white(), Font::systemFont(bases.titleSize - 2, FontWeight::bold), TextAlignment::left, 0});
    addToCard(*bgView, circuit, smallLine(FontWeight::regular));
    addToCard(*bgView, location, smallLine(FontWeight::regular));

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         status ? "V:|-14-[time]-4-[race]-4-[circuit]-(>=2)-[location]-14-|"
                                : "V:|-14-[time]-4-[race]-4-[circuit]-2-[location]-14-|",
                         "H:|-20-[time]-(>=20)-|",
                         "H:|-20-[race]-(>=20)-|",
                         "H:|-20-[circuit]-(>=20)-|",
                         "H:|-20-[location]-(>=20)-|",
                     },
                     {{"bgView", bgView}, {"time", time}, {"race", race}, {"circuit", circuit}, {"location", location}});
    if (status) keepStatusRoom(circuit, location, 2);
}
