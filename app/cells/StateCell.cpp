#include "cells/StateCell.h"

#include "cells/CardLayout.h"
#include "data/GlobalStruct.h"

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

void StateCell::show(const std::string& text, const std::string& hint, gfx::Color colour) {
    title->setText(text);
    title->setTextColor(colour);
    detail->setText(hint);
}

void StateCell::showLoading(const std::string& what) { show("Loading " + what + "…", "", gfx::Color::secondaryLabel()); }

void StateCell::showEmpty(const std::string& text, const std::string& hint) { show(text, hint, gfx::Color::label()); }

void StateCell::showCouldNotLoad(const std::string& what, const std::optional<LoadFailure>& failure) {
    std::string hint = "The data is missing or damaged. Try again later.";
    if (GlobalStruct::offlineSeasons()) {
        if (!failure) hint = "The offline season does not hold it, or holds it damaged.";
        else if (failure->status == 404) hint = "It is not in the offline season.";
        else hint = "The offline season holds it damaged.";
    }
    show(couldNotLoadText(what), hint, gfx::Color::systemRed());
}

std::string couldNotLoadText(const std::string& what) { return what + " could not be loaded."; }

std::shared_ptr<StateCell> stateRow(ui::TableView& table, ui::IndexPath indexPath) {
    return table.dequeueReusableCell<StateCell>(StateCell::reuseIdentifier, indexPath);
}
