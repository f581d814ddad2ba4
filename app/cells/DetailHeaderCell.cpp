#include "cells/DetailHeaderCell.h"

#include "cells/CardLayout.h"

using gfx::Color;
using gfx::Font;
using gfx::FontWeight;
using gfx::TextAlignment;

DetailHeaderCell::DetailHeaderCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    bool status = ui::TableViewCell::reuseIdentifier() == statusReuseIdentifier;
    bool noted = ui::TableViewCell::reuseIdentifier() == noteReuseIdentifier;
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
    if (noted) {
        LabelStyle secondary = smallLine(FontWeight::regular);
        secondary.textColor = Color::white().withAlphaComponent(0.8);
        secondary.numberOfLines = 0;
        addToCard(*bgView, note, secondary);
        addVisualFormats(*contentView(), {"H:|-20-[note]-(>=20)-|"}, {{"note", note}});
    }

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         status  ? "V:|-14-[time]-4-[race]-4-[circuit]-(>=2)-[location]-14-|"
                         : noted ? "V:|-14-[time]-4-[race]-4-[circuit]-2-[location]-8-[note]-14-|"
                                 : "V:|-14-[time]-4-[race]-4-[circuit]-2-[location]-14-|",
                         "H:|-20-[time]-(>=20)-|",
                         "H:|-20-[race]-(>=20)-|",
                         "H:|-20-[circuit]-(>=20)-|",
                         "H:|-20-[location]-(>=20)-|",
                     },
                     {{"bgView", bgView}, {"time", time}, {"race", race}, {"circuit", circuit}, {"location", location},
                      {"note", note}});
    if (status) keepStatusRoom(circuit, location, 2);
}
