#include <gtest/gtest.h>

#include <vector>

#include "CellLayoutSupport.h"
#include "cells/TyresCell.h"

namespace {

using gfx::Color;
using livetiming::StintModel;
using ui::Rect;

StintModel stint(std::string compound, bool isNew, std::int64_t startLaps, std::int64_t totalLaps) {
    return {std::move(compound), isNew, "false", totalLaps, startLaps};
}

std::shared_ptr<TyresCell> laidOut(const std::vector<StintModel>& stints, std::int64_t raceLaps, double width = 390) {
    auto cell = std::make_shared<TyresCell>();
    cell->driver->setText("Max Verstappen");
    cell->showStints(stints, raceLaps);
    layOut(*cell, width);
    return cell;
}

const TyresCell::StintRow& row(const TyresCell& cell, std::size_t index) {
    return static_cast<const TyresCell::StintRow&>(*cell.tyreStack->arrangedSubviews().at(index));
}

// A new soft set over laps 0-18 and a used hard set run 39 laps, in a 57-lap race.
const std::vector<StintModel> softThenHard{stint("SOFT", true, 0, 18), stint("HARD", false, 3, 42)};

TEST(TyresCellRows, onA350PointTrackBarsLieEndToEndTruncatedToWholePoints) {
    FixedTextSizes sizes;
    auto cell = laidOut(softThenHard, 57, 455);  // the stack is the width less 105
    EXPECT_EQ(cell->tyreStack->frame(), (Rect{85, 48, 350, 72}));
    EXPECT_EQ(row(*cell, 0).bar->frame(), (Rect{0, 0, 110, 8}));
    EXPECT_EQ(row(*cell, 0).bar->backgroundColor(), Color::systemRed());
    EXPECT_EQ(row(*cell, 0).caption->text(), "Softs used in laps 0 to 18");
    EXPECT_EQ(row(*cell, 1).bar->frame(), (Rect{110, 0, 239, 8}));
    EXPECT_EQ(row(*cell, 1).bar->backgroundColor(), Color::label().withAlphaComponent(0.5));
    EXPECT_EQ(row(*cell, 1).caption->text(), "Old hards used in laps 18 to 57");
    EXPECT_EQ(row(*cell, 1).track->frame(), (Rect{0, 0, 350, 8}));
}

TEST(TyresCellRows, atPhoneWidthBarsFollowTheStackAndRowsClearTheirCaptions) {
    FixedTextSizes sizes;
    auto cell = laidOut(softThenHard, 57);
    EXPECT_EQ(cell->bgView->frame().height(), 48 + 72 + 14);
    EXPECT_EQ(cell->driverImage->frame(), (Rect{20, 20, 50, 50}));
    EXPECT_EQ(cell->driver->frame(), (Rect{85, 14, 140, 20}));
    EXPECT_EQ(row(*cell, 0).caption->frame(), (Rect{0, 12, 285, 20}));
    EXPECT_EQ(row(*cell, 1).frame(), (Rect{0, 40, 285, 32}));
    // 5 points a lap: the second bar ends where the track does.
    EXPECT_EQ(row(*cell, 1).bar->frame(), (Rect{90, 0, 195, 8}));
}

TEST(TyresCellRows, aReusedCellShowsOnlyItsNewDriversStints) {
    FixedTextSizes sizes;
    auto cell = laidOut({stint("SOFT", true, 0, 14), stint("HARD", true, 0, 36), stint("SOFT", false, 2, 9)}, 57);
    cell->prepareForReuse();
    EXPECT_TRUE(cell->tyreStack->subviews().empty());
    cell->showStints({stint("MEDIUM", true, 0, 20)}, 57);
    cell->showStints({stint("HARD", true, 0, 28), stint("MEDIUM", false, 4, 33)}, 57);
    layOut(*cell);
    ASSERT_EQ(cell->tyreStack->subviews().size(), 2u);
    EXPECT_EQ(row(*cell, 1).caption->text(), "Old mediums used in laps 28 to 57");
    EXPECT_EQ(row(*cell, 1).bar->frame(), (Rect{140, 0, 145, 8}));
    EXPECT_EQ(cell->tyreStack->frame().height(), 32 + 8 + 32);
}

TEST(TyresCellRows, oddStintsAndRacesStayOnTheTrack) {
    FixedTextSizes sizes;
    auto cell = laidOut({stint("UNKNOWN", true, 0, 10), stint("INTERMEDIATE", true, 5, 5), stint("WET", false, 0, 90)}, 57);
    EXPECT_EQ(row(*cell, 0).bar->backgroundColor(), Color::systemRed());
    EXPECT_EQ(row(*cell, 0).caption->text(), "Unknowns used in laps 0 to 10");
    EXPECT_EQ(row(*cell, 1).bar->frame().width(), 0);
    EXPECT_EQ(row(*cell, 1).caption->text(), "Intermediates used in laps 10 to 10");
    EXPECT_EQ(row(*cell, 2).bar->frame(), (Rect{50, 0, 235, 8}));  // more laps than the race: cut at the end

    auto noLaps = laidOut({stint("MEDIUM", true, 0, 12)}, 0);
    EXPECT_EQ(row(*noLaps, 0).track->frame(), (Rect{0, 0, 285, 8}));
    EXPECT_EQ(row(*noLaps, 0).bar->frame().width(), 0);

    auto none = laidOut({}, 57);
    EXPECT_EQ(none->bgView->frame().height(), 20 + 50 + 20);
}

}  // namespace
