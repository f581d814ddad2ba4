#include "cells/CircuitCell.h"

#include "cells/CardLayout.h"

gfx::Size CircuitCell::flagBoxSize(const FontBases& bases) {
    return {(bases.bodySize - 4) * 1.4, (bases.bodySize - 4) * 1.1};
}

CircuitCell::CircuitCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, flag, [](ui::ImageView& image) { image.setContentMode(ui::ContentMode::scaleAspectFit); });
    addToCard(*bgView, day, figureStyle(bases));
    addToCard(*bgView, month, centredDetailStyle(bases));
    addToCard(*bgView, round, alertStyle(bases));
    addToCard(*bgView, race, nameStyle(bases));
    addToCard(*bgView, circuit, detailStyle(bases));
    addToCard(*bgView, location, detailStyle(bases));
    // The date column never gives way; the names wrap or cut instead. The flag's width is its box's,
    // so required resistance on it would only fight the box when a flag image is wider.
    keepFullWidth({day, month});

    const gfx::Size box = flagBoxSize(bases);
    ui::VisualFormatMetrics metrics{{"height", box.height}, {"width", box.width}};
    ui::VisualFormatViews views{{"bgView", bgView}, {"flag", flag},   {"day", day},         {"month", month},
                                {"round", round},   {"race", race},   {"circuit", circuit}, {"location", location}};
    addVisualFormats(*contentView(), {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|"}, views);
    addVisualFormats(*contentView(), {"V:[flag(height)]", "H:[flag(width)]"}, views, metrics);
    addVisualFormats(*contentView(),
                     {
                         "V:|-14-[round]-2-[day]-2-[month]-(>=14)-|",
                         "V:|-14-[round]-2-[race]-2-[circuit]-2-[location]-14-|",
                         "H:|-20-[day]-(>=20)-|",
                         "H:|-20-[day]-14-[round]-(>=20)-|",
                         "H:|-20-[day]-14-[race]-(>=20)-|",
                         "H:|-20-[day]-14-[circuit]-(>=20)-|",
                         "H:|-20-[day]-14-[location]-(>=20)-|",
                     },
                     views);
    activateEach({
        month->centerXAnchor().constraintEqualTo(day->centerXAnchor()),
        flag->centerXAnchor().constraintEqualTo(day->centerXAnchor()),
        flag->centerYAnchor().constraintEqualTo(round->centerYAnchor()),
    });
}
