#include "standings-news/PredictionsViewController.h"

#include <cmath>
#include <cstdio>

#include "foundation/Strings.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "ui/AssetCatalog.h"

namespace {

template <class Entry>
void fillFigures(DriverCell& cell, const Entry& entry) {
    std::string predicted = PredictionsViewController::wholePoints(entry.predictedPoints);
    cell.status->setTextColor(gfx::Color::secondaryLabel());
    cell.status->setText(ordinalText(entry.predictedPosition));
    cell.position->setText(predicted);
    cell.fromGridPosition->setText(predicted == "1" ? "point" : "points");
    cell.constructor->setText("Currently " + ordinalText(entry.currentPosition) + " with " +
                              PredictionsViewController::wholePoints(entry.currentPoints) + " points");
}

}  // namespace

std::string PredictionsViewController::wholePoints(double points) {
    if (!std::isfinite(points)) return "0";
    // Printed from the double itself: no conversion to an integer type that a huge value would overflow.
    double whole = std::trunc(points) + 0.0;  // + 0.0 turns -0 into 0
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", whole);
    return text;
}

int PredictionsViewController::numberOfRows(ui::TableView&, int section) {
    if (section == 0) return 1;
    if (raceDayAhead()) return 0;
    if (section == 1) return 1;
    return listRows();
}

int PredictionsViewController::entryCount() const {
    return static_cast<int>(eventType == 0 ? driverPredictions.size() : teamPredictions.size());
}

std::optional<gfx::Color> PredictionsViewController::themeColor() const {
    return ui::namedColor(eventType == 0 ? "darkGreen" : "tealGreen");
}

void PredictionsViewController::fillEntry(DriverCell& cell, int row) {
    if (eventType == 0) {
        if (row >= 0 && row < static_cast<int>(driverPredictions.size())) fillDriver(cell, driverPredictions[row]);
    } else if (row >= 0 && row < static_cast<int>(teamPredictions.size())) {
        fillTeam(cell, teamPredictions[row]);
    }
}

void PredictionsViewController::fillDriver(DriverCell& cell, const livetiming::DriverPredictions& entry) const {
    fillFigures(cell, entry);
    auto key = firstKey(entry.racingNumber, driverNumDictionary);
    if (!key) {
        // A number no driver key maps to: a reused row must not keep another driver's name and face.
        cell.driver->setText("");
        showTeamImage(cell, "");
        cell.driverImage->setBackgroundColor(gfx::Color::gray());
        return;
    }
    std::string lookup = foundation::lowercased(foundation::folding(*key, foundation::FoldingOptions::diacriticInsensitive));
    showHeadshot(cell, lookup);
    cell.driver->setText(foundation::capitalized(*key));
}

void PredictionsViewController::fillTeam(DriverCell& cell, const livetiming::TeamPredictions& entry) const {
    fillFigures(cell, entry);
    cell.driver->setText(entry.teamName);
    showTeamImage(cell, entry.teamName);
    auto image = teamImageName(entry.teamName);
    cell.driverImage->setBackgroundColor(image ? ui::namedColor(*image).value_or(gfx::Color::gray()) : gfx::Color::gray());
}
