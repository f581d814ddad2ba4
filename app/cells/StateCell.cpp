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

namespace {

// The text with its first letter, if a lower-case ASCII one, made a capital; the rest kept.
std::string sentenceCase(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

}  // namespace

void StateCell::showCouldNotLoad(const std::string& what, const std::optional<LoadFailure>& failure) {
    std::string hint = (failure ? failureSentence(*failure) : "The data is missing or damaged.") + " Try again later.";
    if (GlobalStruct::offlineSeasons()) {
        if (failure && failure->status == 404) {
            // "The race results" named as a card names itself: "Race results".
            return show(sentenceCase(what.starts_with("The ") ? what.substr(4) : what), notRecordedOfflineText,
                        gfx::Color::label());
        }
        // Coming back later never mends the offline season's own files.
        if (!failure) hint = "The offline season does not hold it, or holds it damaged.";
        else if (failure->status != 0 || failure->reason == LoadFailure::undecodable) hint = "The offline season holds it damaged.";
        else hint = failureSentence(*failure);
    }
    show(couldNotLoadText(what), hint, gfx::Color::systemRed());
}

std::string couldNotLoadText(const std::string& what) { return what + " could not be loaded."; }

std::string failureSentence(const LoadFailure& failure) {
    if (failure.status != 0) return "The server answered " + std::to_string(failure.status) + " " + failure.reason + ".";
    if (failure.reason == LoadFailure::undecodable || failure.reason.empty()) return "The data is missing or damaged.";
    std::string sentence = sentenceCase(failure.reason);
    if (!sentence.ends_with('.')) sentence += '.';
    return sentence;
}

std::shared_ptr<StateCell> stateRow(ui::TableView& table, ui::IndexPath indexPath) {
    return table.dequeueReusableCell<StateCell>(StateCell::reuseIdentifier, indexPath);
}
