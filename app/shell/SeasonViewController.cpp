#include "shell/SeasonViewController.h"

#include <algorithm>

#include "cells/CircuitCell.h"
#include "cells/StateCell.h"
#include "cells/TintedImage.h"
#include "data/GlobalStruct.h"
#include "dispatch/Queue.h"
#include "foundation/DateFormatter.h"
#include "foundation/NotificationCenter.h"
#include "shell/AppNotifications.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/SVGImgProcessor.h"
#include "ui/AssetCatalog.h"

namespace {

constexpr int firstYear = 2005;
constexpr int fallbackYear = 2023;
constexpr double roundButtonSize = 36;
constexpr double yearButtonWidth = 84;
constexpr double headerTop = 17;
constexpr double dimmedAlpha = 0.25;
constexpr gfx::SymbolConfiguration headerSymbols{.pointSize = 14, .weight = gfx::FontWeight::semibold};

void roundButtonStyle(ui::Button& button) {
    button.setBackgroundColor(gfx::Color::systemGray4());
    button.layer()->setCornerRadius(roundButtonSize / 2);
}

std::string currentYearText() {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setDateFormat("yyyy");
    return formatter.string(foundation::Date::now());
}

}  // namespace

void SeasonViewController::viewDidLoad() {
    view()->setBackgroundColor(gfx::Color::systemBackground());

    auto self = std::static_pointer_cast<SeasonViewController>(shared_from_this());
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(self, notifications::upcomingRace, &SeasonViewController::upcomingRace);
    center.addObserver(self, notifications::selectedRace, &SeasonViewController::selectedRace);
    center.addObserver(self, notifications::updateTable, &SeasonViewController::updateTable);

    setUpHeader();
    setUpTable();
    statusLabel->setNumberOfLines(0);
    statusLabel->setTextAlignment(gfx::TextAlignment::center);
    statusLabel->setTextColor(gfx::Color::secondaryLabel());
    statusLabel->setFont(gfx::Font::systemFont(15, gfx::FontWeight::regular));
    statusLabel->setHidden(true);
    view()->addSubview(statusLabel);

    // The sheet may be made before any season arrived (a failed first load); it then shows the
    // current year until one does.
    shownSeason_ = GlobalStruct::racesSeason();
    if (!shownSeason_.empty()) {
        adoptSeasonTexts();
        // Its rows show flags: the flag worker starts now, beside the first layout, rather than at its first row.
        prepareSVGRenderer();
    }
    // No season, no standings to open: the button waits, dimmed, for one.
    else setStandingsButtonEnabled(false);

    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> {
        co_await self->loadCountryFlags();
        // The drivers and standings are a season's: a sheet up before its season loads them as it comes.
        if (self->shownSeason_.empty()) co_return;
        co_await self->loadDriverDictionaries();
        co_await self->loadDriverStandings();
        co_await self->loadTeamStandings();
    });
}

void SeasonViewController::viewDidLayoutSubviews() {
    auto bounds = view()->bounds();
    double width = bounds.size.width;
    double newsLeft = width - 102;
    double yearLeft = newsLeft - 8 - yearButtonWidth;
    navTitle->setFrame({18, headerTop, std::max(0.0, yearLeft - 8 - 18), roundButtonSize});
    yearButton->setFrame({yearLeft, headerTop, yearButtonWidth, roundButtonSize});
    newsButton->setFrame({newsLeft, headerTop, roundButtonSize, roundButtonSize});
    standingsButton->setFrame({width - 56, headerTop, roundButtonSize, roundButtonSize});
    // The list starts under the status band while it shows, so the band never covers a row.
    double top = headerHeight + (statusLabel->isHidden() ? 0 : statusHeight);
    tableView->setFrame({0, top, width, std::max(0.0, bounds.size.height - top)});
    statusLabel->setFrame({20, headerHeight, std::max(0.0, width - 40), statusHeight});
}

void SeasonViewController::seasonCouldNotBeLoaded(const std::optional<std::string>& year,
                                                  const std::optional<LoadFailure>& failure) {
    if (!shownSeason_.empty()) {
        showStatus("The " + year.value_or("current") + " season could not be loaded. Still showing " + shownSeason_ + ".");
        return;
    }
    // With no season shown the header names the one last asked for, which the line says failed; no
    // entry of the year menu is ticked, as none is shown.
    std::string asked = year.value_or(currentYearText());
    navTitle->setText(asked + " Races");
    yearButton->setTitle(asked, ui::ControlState::normal);
    makeYearMenu(std::string(), asked);
    setStandingsButtonEnabled(false);
    // Why, as the state rows say it, between what failed and what to do.
    seasonFailure_ = "No season to show: " + (year ? "the " + *year + " season" : std::string("its calendar")) +
                     " could not be loaded. " + failureCause(failure) + " Pick a year to try again.";
    showStatus(*seasonFailure_);
}

void SeasonViewController::showStatus(const std::string& text) {
    statusLabel->setText(text);
    statusLabel->setHidden(false);
    statusLabel->setBackgroundColor(gfx::Color::systemBackground());
    view()->bringSubviewToFront(statusLabel);
    viewDidLayoutSubviews();
}

void SeasonViewController::hideStatus() {
    if (statusLabel->isHidden()) return;
    statusLabel->setHidden(true);
    viewDidLayoutSubviews();
}

bool SeasonViewController::yearLoads(const std::string& year) {
    const auto& offline = GlobalStruct::offlineSeasons();
    return !offline || std::ranges::find(*offline, year) != offline->end();
}

void SeasonViewController::viewDidAppear(bool) {
    auto self = std::static_pointer_cast<SeasonViewController>(shared_from_this());
    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadNews(); });
}

void SeasonViewController::setUpHeader() {
    year = currentYearText();
    int lastYear = fallbackYear;
    try {
        std::size_t used = 0;
        lastYear = std::stoi(year, &used);
        if (used != year.size()) lastYear = fallbackYear;
    } catch (...) {
        lastYear = fallbackYear;
    }
    // A clock set before the first year still offers that year.
    lastYear = std::max(lastYear, firstYear);
    allYears.clear();
    for (int listed = firstYear; listed <= lastYear; ++listed) allYears.push_back(std::to_string(listed));
    // The menu ticks the season shown, and none is yet: the season's arrival ticks it. Until then it
    // opens at the year asked for.
    makeYearMenu(std::string(), year);

    navTitle->setText(year + " Races");
    navTitle->setTextColor(gfx::Color::label());
    navTitle->setFont(gfx::Font::systemFont(28, gfx::FontWeight::bold));
    navTitle->setAdjustsFontSizeToFitWidth(true);
    navTitle->setMinimumScaleFactor(0.5);
    view()->addSubview(navTitle);

    double scale = traitCollection().displayScale;
    // The year button shows the season and opens the menu of years; it sits in the header row, so
    // every detent shows it.
    yearButton->setTitle(year, ui::ControlState::normal);
    yearButton->setTitleColor(gfx::Color::label(), ui::ControlState::normal);
    yearButton->titleLabel()->setFont(gfx::Font::systemFont(15, gfx::FontWeight::semibold));
    yearButton->setImage(systemSymbol("chevron.down", headerSymbols, gfx::Color::label(), scale), ui::ControlState::normal);
    yearButton->setShowsMenuAsPrimaryAction(true);
    roundButtonStyle(*yearButton);
    view()->addSubview(yearButton);

    auto weak = std::weak_ptr<SeasonViewController>(std::static_pointer_cast<SeasonViewController>(shared_from_this()));
    newsButton->setImage(systemSymbol("newspaper.fill", headerSymbols, gfx::Color::label(), scale), ui::ControlState::normal);
    roundButtonStyle(*newsButton);
    newsButton->addTarget(weak, [weak](ui::Control&) { if (auto self = weak.lock()) self->newsTapped(); },
                          ui::ControlEvent::touchUpInside);
    view()->addSubview(newsButton);

    standingsButton->setImage(tintedImage(ui::namedImage("podium"), gfx::Color::label()), ui::ControlState::normal);
    roundButtonStyle(*standingsButton);
    standingsButton->addTarget(weak, [weak](ui::Control&) { if (auto self = weak.lock()) self->standingsTapped(); },
                               ui::ControlEvent::touchUpInside);
    view()->addSubview(standingsButton);
}

void SeasonViewController::makeYearMenu(const std::string& selected, const std::string& shown) {
    auto menu = std::make_shared<ui::Menu>();
    if (auto at = std::ranges::find(allYears, shown); at != allYears.end())
        menu->openAt = static_cast<std::size_t>(at - allYears.begin());
    auto weak = std::weak_ptr<SeasonViewController>(std::static_pointer_cast<SeasonViewController>(shared_from_this()));
    // Offline, only the seasons the data holds load: the others are marked, and picking one says why.
    std::string offlineYears;
    if (GlobalStruct::offlineSeasons()) {
        // The years the menu offers and the data holds: one list for the title and the entries.
        for (const auto& listed : allYears)
            if (yearLoads(listed)) offlineYears += (offlineYears.empty() ? "" : ", ") + listed;
        menu->title = "Offline: " + (offlineYears.empty() ? std::string("no season") : offlineYears) + " can load";
    }
    for (const auto& listed : allYears) {
        bool loads = yearLoads(listed);
        ui::MenuAction action;
        action.title = loads ? listed : listed + " (not offline)";
        action.state = listed == selected ? ui::MenuElementState::on : ui::MenuElementState::off;
        // The pick only asks for the season: the year, title and marked entry follow when it has
        // loaded, so a pick that fails or is overtaken by a later one changes nothing.
        action.handler = [weak, listed, loads, offlineYears](const ui::MenuAction&) {
            auto self = weak.lock();
            if (!self) return;
            playTapFeedback();
            if (!loads) {
                self->showStatus("The " + listed + " season is not in the offline data, which holds " +
                                 (offlineYears.empty() ? std::string("no season") : offlineYears) + ".");
                return;
            }
            foundation::NotificationCenter::defaultCenter().post(notifications::changedYear, nullptr,
                                                                 notifications::yearUserInfo(listed));
        };
        menu->children.push_back(std::move(action));
    }
    yearButton->setMenu(std::move(menu));
}

void SeasonViewController::upcomingRace(const foundation::Notification& notification) {
    auto index = notifications::raceIndex(notification);
    if (!index || *index < 0 || *index >= static_cast<int>(GlobalStruct::races().size())) return;
    followShownSeason();
    upcomingRaceIndex = *index;
    upcomingRaceSeason_ = shownSeason_;
    tableView->reloadData();
    tableView->scrollToRow({0, *index}, ui::TableViewScrollPosition::top, true);
    setStandingsButtonEnabled(*index >= 1);
}

void SeasonViewController::updateTable() {
    followShownSeason();
    tableView->reloadData();
}

void SeasonViewController::followShownSeason() {
    if (!GlobalStruct::races().empty()) hideStatus();
    if (GlobalStruct::racesSeason() == shownSeason_) return;
    shownSeason_ = GlobalStruct::racesSeason();
    seasonFailure_.reset();
    ++seasonGeneration_;
    adoptSeasonTexts();
    // Another season's list starts at its first round, not where the last one was scrolled to; the
    // next race, when the season has one, is scrolled to as it is reported.
    tableView->reloadData();
    if (!GlobalStruct::races().empty()) tableView->scrollToRow({0, 0}, ui::TableViewScrollPosition::top, false);

    // The countdown row belongs to the season it was reported for.
    upcomingRaceIndex = 0;
    upcomingRaceSeason_.reset();
    setStandingsButtonEnabled(lastHeldRaceIndex().has_value());

    // What belonged to the previous season must not reach a sheet opened for this one.
    driverStandings.clear();
    teamStandings.clear();
    driverImageDictionary.clear();
    driverColDictionary.clear();
    driverNumDictionary.clear();
    startSeasonPreloads();
}

void SeasonViewController::adoptSeasonTexts() {
    if (shownSeason_.empty()) return;
    year = shownSeason_;
    navTitle->setText(year + " Races");
    yearButton->setTitle(year, ui::ControlState::normal);
    makeYearMenu(year);
}

void SeasonViewController::setStandingsButtonEnabled(bool enabled) {
    // Dimmed, it still answers a tap: with why there are no standings yet.
    standingsButton->setAlpha(enabled ? 1.0 : dimmedAlpha);
}

std::optional<int> SeasonViewController::lastHeldRaceIndex() const {
    const auto& races = GlobalStruct::races();
    if (upcomingRaceSeason_ == shownSeason_) {
        int previous = upcomingRaceIndex - 1;
        if (previous >= 0 && previous < static_cast<int>(races.size())) return previous;
        return std::nullopt;
    }
    // No race of this season lies ahead, or none was reported yet: the last race that has finished.
    auto now = foundation::Date::now();
    for (int index = static_cast<int>(races.size()) - 1; index >= 0; --index) {
        if (RaceTiming::phase(races[index], now) == RacePhase::finished) return index;
    }
    return std::nullopt;
}
