#include "cells/DriverOfTheDayCell.h"

#include "cells/CardLayout.h"

DriverOfTheDayCell::DriverOfTheDayCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, infoTitle, infoTitleStyle(bases));
    addToCard(*bgView, infoDescription, infoDescriptionStyle(bases));
    addToCard(*bgView, driverImage, driverImageStyle);
    addToCard(*bgView, driver, nameStyle(bases));
    addToCard(*bgView, constructor, detailStyle(bases));

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-14-[infoTitle]-2-[infoDescription]-14-[driver]-2-[constructor]-(>=14)-|",
                         "V:|-14-[infoTitle]-2-[infoDescription]-14-[driverImage(50)]-(>=14)-|",
                         "H:|-20-[infoTitle]-20-|",
                         "H:|-20-[infoDescription]-20-|",
                         "H:|-20-[driverImage(50)]-15-[driver]-(>=20)-|",
                         "H:|-20-[driverImage(50)]-15-[constructor]-(>=20)-|",
                     },
                     {{"bgView", bgView},
                      {"infoTitle", infoTitle},
                      {"infoDescription", infoDescription},
                      {"driverImage", driverImage},
                      {"driver", driver},
                      {"constructor", constructor}});
}
