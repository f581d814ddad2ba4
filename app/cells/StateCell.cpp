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
    if (GlobalStruct::offlineSeasons() && failure && failure->status == 404) {
        // "The race results" named as a card names itself: "Race results".
        return showGap(sentenceCase(what.starts_with("The ") ? what.substr(4) : what), notRecordedOfflineText);
    }
    // Coming back later never mends the offline season's own files.
    std::string hint = failureCause(failure) + (GlobalStruct::offlineSeasons() ? "" : " Try again later.");
    show(couldNotLoadText(what), hint, gfx::Color::systemRed());
}

void StateCell::showGap(const std::string& name, const std::string& line) { show(name, line, gfx::Color::label()); }

std::string failureCause(const std::optional<LoadFailure>& failure) {
    if (!GlobalStruct::offlineSeasons()) return failure ? failureSentence(*failure) : "The data is missing or damaged.";
    if (!failure) return "The offline season does not hold it, or holds it damaged.";
    if (failure->status != 0 || failure->reason == LoadFailure::undecodable) return "The offline season holds it damaged.";
    return failureSentence(*failure);
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
