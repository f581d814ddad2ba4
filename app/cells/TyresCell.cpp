#include "cells/TyresCell.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "cells/CardLayout.h"

namespace {

constexpr double stintRowHeight = TyresCell::StintRow::captionTop + TyresCell::StintRow::captionHeight;
constexpr double barRadius = 4;

// First letter of every word in capitals, the rest in small letters.
std::string capitalized(std::string_view text) {
    std::string result(text);
    bool wordStart = true;
    for (char& c : result) {
        auto byte = static_cast<unsigned char>(c);
        c = static_cast<char>(wordStart ? std::toupper(byte) : std::tolower(byte));
        wordStart = std::isspace(byte) != 0;
    }
    return result;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::int64_t lapsRun(const livetiming::StintModel& stint) { return std::max<std::int64_t>(0, stint.totalLaps - stint.startLaps); }

}  // namespace

gfx::Color TyresCell::compoundColor(std::string_view compound) {
    if (compound == "MEDIUM") return gfx::Color::systemYellow();
    if (compound == "HARD") return gfx::Color::label();
    if (compound == "WET") return gfx::Color::systemBlue();
    if (compound == "INTERMEDIATE") return gfx::Color::systemGreen();
    return gfx::Color::systemRed();
}

std::string TyresCell::stintCaption(const livetiming::StintModel& stint, std::int64_t firstLap) {
    std::string name = stint.isNew ? capitalized(stint.compound) : "Old " + lowercased(stint.compound);
    return name + "s used in laps " + std::to_string(firstLap) + " to " + std::to_string(firstLap + lapsRun(stint));
}

TyresCell::StintBar TyresCell::stintBar(double trackWidth, std::int64_t firstLap, std::int64_t laps, std::int64_t raceLaps) {
    if (raceLaps <= 0 || trackWidth <= 0) return {};
    double lapWidth = trackWidth / static_cast<double>(raceLaps);
    // Each edge comes from the laps before it, unrounded, so one bar's rounding never shifts the next.
    double x = std::clamp(std::trunc(lapWidth * static_cast<double>(std::max<std::int64_t>(0, firstLap))), 0.0, trackWidth);
    double width = std::trunc(lapWidth * static_cast<double>(std::max<std::int64_t>(0, laps)));
    return {x, std::clamp(width, 0.0, trackWidth - x)};
}

TyresCell::StintRow::StintRow(const livetiming::StintModel& stint, std::int64_t firstLap, std::int64_t raceLaps)
    : firstLap_(firstLap), laps_(lapsRun(stint)), raceLaps_(raceLaps) {
    setBackgroundColor(gfx::Color::clear());
    track->setBackgroundColor(gfx::Color::systemGray5());
    track->layer()->setCornerRadius(barRadius);
    gfx::Color color = compoundColor(stint.compound);
    bar->setBackgroundColor(stint.isNew ? color : color.withAlphaComponent(0.5));
    bar->layer()->setCornerRadius(barRadius);
    caption->setText(stintCaption(stint, firstLap));
    caption->setTextColor(gfx::Color::secondaryLabel());
    caption->setFont(gfx::Font::systemFont(14));
    caption->setTextAlignment(gfx::TextAlignment::left);
    caption->setNumberOfLines(1);
    addSubview(track);
    addSubview(bar);
    addSubview(caption);
}

ui::Size TyresCell::StintRow::intrinsicContentSize() const { return {noIntrinsicMetric, stintRowHeight}; }

void TyresCell::StintRow::layoutSubviews() {
    ui::Button::layoutSubviews();
    double width = bounds().width();
    track->setFrame({0, 0, width, trackHeight});
    StintBar placed = stintBar(width, firstLap_, laps_, raceLaps_);
    bar->setFrame({placed.x, 0, placed.width, trackHeight});
    caption->setFrame({0, captionTop, width, captionHeight});
}

TyresCell::TyresCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, driverImage, driverImageStyle);
    addToCard(*bgView, driver, nameStyle(bases));
    addToCard(*bgView, tyreStack, [](ui::StackView& stack) {
        stack.setAxis(ui::LayoutAxis::vertical);
        stack.setAlignment(ui::StackAlignment::fill);
        stack.setDistribution(ui::StackDistribution::equalSpacing);
        stack.setSpacing(8);
        // Arranged within its margins, and those are none: the rows use the stack's whole width.
        stack.setLayoutMargins({});
        stack.setBackgroundColor(gfx::Color::clear());
        stack.setClipsToBounds(true);
    });

    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[driver]-14-[tyreStack]-14-|",
                      "H:|-20-[driverImage(50)]-15-[driver]-(>=20)-|",
                      "H:|-20-[driverImage(50)]-15-[tyreStack]-20-|", "V:|-20-[driverImage(50)]-(>=20)-|"},
                     {{"bgView", bgView}, {"driverImage", driverImage}, {"driver", driver}, {"tyreStack", tyreStack}});
}

void TyresCell::showStints(const std::vector<livetiming::StintModel>& stints, std::int64_t raceLaps) {
    removeStintRows();
    std::int64_t firstLap = 0;
    for (const auto& stint : stints) addStintRow(stint, raceLaps, firstLap);
}

void TyresCell::addStintRow(const livetiming::StintModel& stint, std::int64_t raceLaps, std::int64_t& firstLap) {
    tyreStack->addArrangedSubview(std::make_shared<StintRow>(stint, firstLap, raceLaps));
    firstLap += lapsRun(stint);
}

void TyresCell::removeStintRows() {
    // Copied: removing a subview takes it out of the arranged list being walked.
    auto rows = tyreStack->arrangedSubviews();
    for (const auto& row : rows) row->removeFromSuperview();
}

void TyresCell::prepareForReuse() {
    ui::TableViewCell::prepareForReuse();
    removeStintRows();
}
