#include "cells/DriverCell.h"

#include "cells/CardLayout.h"

DriverCell::DriverCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, position, figureStyle(bases));
    addToCard(*bgView, fromGridPosition, centredDetailStyle(bases));
    addToCard(*bgView, driverImage, driverImageStyle);
    addToCard(*bgView, status, alertStyle(bases));
    addToCard(*bgView, driver, nameStyle(bases));
    addToCard(*bgView, constructor, detailStyle(bases));
    auto detailLines = detailStyle(bases);
    detailLines.numberOfLines = 0;
    addToCard(*bgView, fastestLap, detailLines);
    // The figures at the right edge are never cut; the name column wraps instead.
    keepFullWidth({position, fromGridPosition});

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-14-[status]-2-[position]-2-[fromGridPosition]-(>=14)-|",
                         "V:|-14-[status]-2-[driver]-2-[constructor]-2-[fastestLap]-14-|",
                         "H:|-(>=20)-[position]-20-|",
                         "H:|-(>=20)-[fromGridPosition]-20-|",
                         "H:|-20-[driverImage(50)]-15-[status]-(>=20)-[position]-20-|",
                         "H:|-20-[driverImage(50)]-15-[driver]-(>=20)-[position]-20-|",
                         "H:|-20-[driverImage(50)]-15-[constructor]-(>=20)-[position]-20-|",
                         "H:|-20-[driverImage(50)]-15-[fastestLap]-(>=20)-[position]-20-|",
                         "V:[driverImage(50)]",
                     },
                     {{"bgView", bgView},
                      {"position", position},
                      {"fromGridPosition", fromGridPosition},
                      {"driverImage", driverImage},
                      {"status", status},
                      {"driver", driver},
                      {"constructor", constructor},
                      {"fastestLap", fastestLap}});
    activateEach({driverImage->centerYAnchor().constraintEqualTo(bgView->centerYAnchor())});
}
