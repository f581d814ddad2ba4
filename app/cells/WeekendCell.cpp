#include "cells/WeekendCell.h"

#include "cells/CardLayout.h"

WeekendHeaderCell::WeekendHeaderCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, infoTitle, infoTitleStyle(bases));
    addToCard(*bgView, infoDescription, infoDescriptionStyle(bases));

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-14-[infoTitle]-2-[infoDescription]-14-|",
                         "H:|-20-[infoTitle]-20-|",
                         "H:|-20-[infoDescription]-20-|",
                     },
                     {{"bgView", bgView}, {"infoTitle", infoTitle}, {"infoDescription", infoDescription}});
}

WeekendCell::WeekendCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    auto bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, day, figureStyle(bases));
    addToCard(*bgView, month, centredDetailStyle(bases));
    addToCard(*bgView, event, nameStyle(bases));
    addToCard(*bgView, time, detailStyle(bases));
    keepFullWidth({day, month});

    addVisualFormats(*contentView(),
                     {
                         "V:|-0-[bgView]-0-|",
                         "H:|-0-[bgView]-0-|",
                         "V:|-8-[day]-2-[month]-8-|",
                         "V:|-8-[event]-2-[time]-8-|",
                         "H:|-20-[day]-(>=20)-|",
                         "H:|-20-[day]-14-[event]-(>=20)-|",
                         "H:|-20-[day]-14-[time]-(>=20)-|",
                     },
                     {{"bgView", bgView}, {"day", day}, {"month", month}, {"event", event}, {"time", time}});
    // The date column is as wide as a two-digit day whether or not the row has a date, so an undated
    // session's name lines up with the others.
    day->setText("00");
    double column = day->intrinsicContentSize().width;
    day->setText("");
    activateEach({month->centerXAnchor().constraintEqualTo(day->centerXAnchor()),
                  day->widthAnchor().constraintGreaterThanOrEqualToConstant(column)});
}
