#include "cells/StateCell.h"

#include "cells/CardLayout.h"

StateCell::StateCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    auto titleStyle = infoTitleStyle(bases);
    titleStyle.numberOfLines = 0;
    auto detailText = detailStyle(bases);
    detailText.numberOfLines = 0;
    addToCard(*bgView, title, titleStyle);
    addToCard(*bgView, detail, detailText);
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-16-[title]-4-[detail]-16-|",
                      "H:|-20-[title]-(>=20)-|", "H:|-20-[detail]-(>=20)-|"},
                     {{"bgView", bgView}, {"title", title}, {"detail", detail}});
    setSelectionStyle(ui::TableViewCellSelectionStyle::none);
}

void StateCell::showCouldNotLoad(const std::string& what) {
    title->setText(couldNotLoadText(what));
    title->setTextColor(gfx::Color::systemRed());
    detail->setText("The data is missing or damaged. Try again later.");
}

std::string couldNotLoadText(const std::string& what) { return what + " could not be loaded."; }
