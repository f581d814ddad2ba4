#include "cells/CircuitCell.h"
#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "foundation/DateFormatter.h"
#include "gfx/Font.h"
#include "shell/ImageSeam.h"
#include "shell/RaceScreen.h"
#include "shell/SVGImgProcessor.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/SeasonViewController.h"
#include "ui/ContextMenuConfiguration.h"
#include "ui/Window.h"

namespace {

// The race's day and month as the device shows its start.
std::string localText(foundation::Date date, const char* pattern) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat(pattern);
    return formatter.string(date);
}

// Flags are drawn at the size their box shows on this screen, not at the documents' own (far larger) size.
std::shared_ptr<const pictura::ImageProcessor> flagProcessor(const ui::View& table) {
    const auto window = table.window();
    const SVGRenderTarget target{CircuitCell::flagBoxSize(FontBases::current()),
                                 window ? window->screen().scale : ui::Screen::main().scale};
    static std::shared_ptr<const SVGImgProcessor> processor;
    if (!processor || processor->target() != target) processor = std::make_shared<SVGImgProcessor>(target);
    // The flag worker starts while the flag is fetched, rather than after.
    prepareSVGRenderer();
    return processor;
}

}  // namespace

void SeasonViewController::setUpTable() {
    tableView->registerClass<CircuitCell>(CircuitCell::reuseIdentifier);
    tableView->setAlpha(1.0);
    auto self = std::static_pointer_cast<SeasonViewController>(shared_from_this());
    tableView->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
    tableView->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
    tableView->setBackgroundColor(gfx::Color::clear());
    tableView->setClipsToBounds(true);
    tableView->setRowHeight(ui::TableView::automaticDimension);
    tableView->setTableFooterView(std::make_shared<ui::View>(ui::Rect{}));
    tableView->setShowsVerticalScrollIndicator(false);
    view()->addSubview(tableView);
}

int SeasonViewController::numberOfRows(ui::TableView&, int) { return static_cast<int>(GlobalStruct::races().size()); }

std::optional<double> SeasonViewController::heightForRow(ui::TableView&, ui::IndexPath) {
    return ui::TableView::automaticDimension;
}

std::string SeasonViewController::roundText(int row, foundation::Date now) const {
    std::string text = "Round " + std::to_string(row + 1);
    const auto& races = GlobalStruct::races();
    if (row < 0 || row >= static_cast<int>(races.size())) return text;
    foundation::Date start = RaceTiming::startOrNow(races[row], now);
    switch (RaceTiming::phase(races[row], now)) {
        case RacePhase::live: return text + "\nLIVE";
        case RacePhase::upcoming:
            if (row == upcomingRaceIndex) return text + "\n" + RaceTiming::countdownText(RaceTiming::countdown(start, now));
            return text;
        case RacePhase::finished: return text;
    }
    return text;
}

std::shared_ptr<ui::TableViewCell> SeasonViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    auto cell = table.dequeueReusableCell<CircuitCell>(CircuitCell::reuseIdentifier, indexPath);
    const auto& races = GlobalStruct::races();
    if (!cell || indexPath.row >= static_cast<int>(races.size())) return cell;
    const RacesDetailsModel& race = races[indexPath.row];
    auto now = foundation::Date::now();
    foundation::Date start = RaceTiming::startOrNow(race, now);
    RacePhase phase = RaceTiming::phase(race, now);

    double bodySize = gfx::Font::preferredFont(gfx::TextStyle::body).pointSize() - 4;
    std::string round = roundText(indexPath.row, now);
    bool marked = round.find('\n') != std::string::npos;
    cell->round->setText(round);
    cell->round->setNumberOfLines(marked ? 0 : 1);
    cell->round->setFont(gfx::Font::systemFont(bodySize, marked ? gfx::FontWeight::semibold : gfx::FontWeight::regular));
    if (!marked) cell->round->setTextColor(gfx::Color::secondaryLabel());
    else cell->round->setTextColor(phase == RacePhase::live ? gfx::Color::systemRed() : gfx::Color::systemBlue());

    cell->race->setText(race.raceName);
    cell->circuit->setText(race.circuit.circuitName);
    cell->location->setText(race.circuit.location.locality + ", " + race.circuit.location.country);
    cell->day->setText(localText(start, "dd"));
    cell->month->setText(localText(start, "LLL"));
    gfx::Color ahead = phase == RacePhase::upcoming ? gfx::Color::label() : gfx::Color::secondaryLabel();
    cell->day->setTextColor(ahead);
    cell->race->setTextColor(ahead);

    if (const CountryFlagsModel* entry = flagForCountry(countryFlags, race.circuit.location.country)) {
        setRemoteImage(cell->flag, flagImageAddress(*entry, ServiceHosts::current().flagImages),
                       {.processor = flagProcessor(table)});
    } else {
        // A reused row neither keeps nor later receives the previous race's flag.
        cancelRemoteImage(cell->flag);
        cell->flag->setImage(nullptr);
    }

    cell->setSeparatorInset({});
    auto selected = std::make_shared<ui::View>();
    selected->setBackgroundColor(gfx::Color::systemBackground().withAlphaComponent(0.2));
    cell->setSelectedBackgroundView(selected);
    cell->setBackgroundColor(gfx::Color::systemBackground());
    return cell;
}

std::shared_ptr<ui::ContextMenuConfiguration> SeasonViewController::contextMenuConfigurationForRow(
    ui::TableView&, ui::IndexPath indexPath, ui::Point) {
    const auto& races = GlobalStruct::races();
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(races.size())) return nullptr;
    // Only a race that has begun has live timing to test.
    if (RaceTiming::phase(races[indexPath.row], foundation::Date::now()) == RacePhase::upcoming) return nullptr;

    auto weak = std::weak_ptr<SeasonViewController>(std::static_pointer_cast<SeasonViewController>(shared_from_this()));
    int row = indexPath.row;
    auto configuration = std::make_shared<ui::ContextMenuConfiguration>();
    configuration->identifier = indexPath;
    configuration->actionProvider = [weak, row](const std::vector<ui::MenuAction>&) {
        auto menu = std::make_shared<ui::Menu>();
        menu->children.push_back(ui::MenuAction{
            .title = "Live Session Test",
            .image = systemSymbol("testtube.2", {}, gfx::Color::label(), 2),
            .handler =
                [weak, row](const ui::MenuAction&) {
                    auto self = weak.lock();
                    if (!self || row >= static_cast<int>(GlobalStruct::races().size())) return;
                    if (auto screen = self->makeLiveScreen(row)) self->present(screen, true);
                },
        });
        return menu;
    };
    return configuration;
}
