#include "live/LiveViewController.h"

#include <algorithm>

#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/LapPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/StateCell.h"
#include "cells/VoteCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "data/Decoding.h"
#include "data/EmbeddedDocuments.h"
#include "data/Client.h"
#include "data/RaceModels.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/Queue.h"
#include "foundation/DateFormatter.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Locale.h"
#include "foundation/NotificationCenter.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/LiveTiming.h"
#include "net/Session.h"
#include "shell/AppNotifications.h"
#include "shell/DriverKey.h"

namespace {


// Timing reads on a session of their own whose transfers end after the screen's time-out, so a stalled
// or trickling server holds no transfer open after the screen has given up on it.
const Client& timingClient() {
    static const Client client([] {
        net::SessionConfiguration configuration;
        configuration.timeoutIntervalForRequest = LiveViewController::timingReadTimeout;
        configuration.timeoutIntervalForResource = LiveViewController::timingReadTimeout;
        return net::Session::make(std::move(configuration));
    }());
    return client;
}

int yearNumber(const std::string& year) {
    auto value = foundation::parseInt(year);
    if (!value || *value > INT32_MAX || *value < INT32_MIN) return 0;
    return static_cast<int>(*value);
}

}  // namespace

LiveViewController::~LiveViewController() {
    timer->invalidate();
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

void LiveViewController::viewDidLoad() {
    RaceScreen::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());
    foundation::DateFormatter dayFormatter;
    dayFormatter.setLocale(foundation::Locale("en_US_POSIX"));
    dayFormatter.setDateFormat("yyyy-MM-dd");
    auto now = foundation::Date::now();
    date = races.empty() ? now : dayFormatter.date(races.front().date).value_or(now);

    auto self = std::static_pointer_cast<LiveViewController>(shared_from_this());
    // Held weakly by the centre and removed with the screen.
    foundation::NotificationCenter::defaultCenter().addObserver(self, notifications::reloadWeatherAnimations,
                                                                &LiveViewController::reloadWeatherAnimations);

    for (std::size_t index = 0; index < tableView.size(); ++index) {
        auto& table = tableView[index];
        table->registerClass<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier);
        table->registerClass<LapPickerCell>(LapPickerCell::reuseIdentifier);
        table->registerClass<StateCell>(StateCell::reuseIdentifier);
        table->registerClass<DriverCell>(DriverCell::reuseIdentifier);
        table->registerClass<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier);
        table->registerClass<RaceBreakdownCell>(RaceBreakdownCell::reuseIdentifier);
        table->registerClass<RaceMessagesCell>(RaceMessagesCell::reuseIdentifier);
        table->registerClass<VoteCell>(VoteCell::reuseIdentifier);
        table->registerClass<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier);
        table->registerClass<WeekendCell>(WeekendCell::reuseIdentifier);
        table->registerClass<WeatherOverviewCell>(WeatherOverviewCell::reuseIdentifier);
        table->setAlpha(index == 0 ? 1.0 : 0.0);
        table->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        table->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        table->setBackgroundColor(gfx::Color::systemGray4());
        table->setClipsToBounds(true);
        table->setRowHeight(ui::TableView::automaticDimension);
        table->setTableFooterView(std::make_shared<ui::View>(ui::Rect{}));
        table->setShowsVerticalScrollIndicator(false);
        view()->addSubview(table);
    }

    buildWeekendStructure();
    dispatch::spawn(dispatch::Queue::main(), [weak = std::weak_ptr<LiveViewController>(self)]() -> dispatch::Task<void> {
        co_await loadEverything(weak);
    });
    loadCircuits();

    timer->invalidate();
    // The run loop holds the timer; the screen it serves is held weakly, and invalidates it when it goes.
    std::weak_ptr<LiveViewController> weak = self;
    timer = dispatch::Timer::scheduledTimer(refreshInterval, true, [weak](dispatch::Timer&) {
        if (auto screen = weak.lock()) screen->fireTimer();
    });
}

void LiveViewController::viewDidLayoutSubviews() {
    RaceScreen::viewDidLayoutSubviews();
    ui::Rect bounds = view()->bounds();
    for (const auto& table : tableView) table->setFrame({0, 0, bounds.size.width, bounds.size.height});
}

void LiveViewController::viewDidDisappear(bool animated) {
    RaceScreen::viewDidDisappear(animated);
    timer->invalidate();
}

void LiveViewController::reloadWeatherAnimations() {
    std::weak_ptr<LiveViewController> weak = std::static_pointer_cast<LiveViewController>(shared_from_this());
    dispatch::Queue::main()->async([weak] {
        auto self = weak.lock();
        if (!self) return;
        auto& table = self->tableView.front();
        if (table->numberOfSections() > weatherSection) table->reloadRows({{weatherSection, 0}});
    });
}

void LiveViewController::fireTimer() {
    // Without a session (yet) there is nothing to read again.
    if (timingReadInFlight() || path.empty()) return;
    refreshQueued_ = true;
    std::weak_ptr<LiveViewController> weak = std::static_pointer_cast<LiveViewController>(shared_from_this());
    dispatch::Queue::main()->async([weak] {
        auto self = weak.lock();
        if (!self) return;
        dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> {
            self->refreshQueued_ = false;
            co_await self->loadTimingData();
        });
    });
}

void LiveViewController::reloadTables() {
    // Only the first table is ever shown; laying out four invisible copies tripled a refresh's cost.
    tableView.front()->reloadData();
}

dispatch::Task<void> LiveViewController::loadEverything(std::weak_ptr<LiveViewController> screen) {
    using Read = dispatch::Task<void> (LiveViewController::*)();
    constexpr Read reads[] = {&LiveViewController::loadTimingData, &LiveViewController::loadDriverList,
                              &LiveViewController::loadWeather,    &LiveViewController::loadLaps,
                              &LiveViewController::loadPitStops,   &LiveViewController::loadTyres,
                              &LiveViewController::loadLapCount,   &LiveViewController::loadRaceMessages,
                              &LiveViewController::loadTeamRadio};
    // The session first, when the season's index had not named it yet.
    if (auto self = screen.lock(); self && self->awaitsSession()) {
        co_await self->findSession();
        self->reloadTables();  // the state row says what it waits for now
    }
    // Held only while a read runs: a screen that has gone reads nothing more.
    for (Read read : reads) {
        auto self = screen.lock();
        if (!self) co_return;
        co_await ((*self).*read)();
    }
}

std::vector<livetiming::RaceLineModel> LiveViewController::runningOrder(const livetiming::TimingData& timing) {
    std::vector<livetiming::RaceLineModel> lines;
    lines.reserve(timing.lines.size());
    for (const auto& [number, line] : timing.lines) lines.push_back(line);
    // Each key is read once; a line without a readable position sorts after every numbered one.
    std::vector<std::pair<std::optional<std::int64_t>, std::size_t>> keys;
    keys.reserve(lines.size());
    for (std::size_t index = 0; index < lines.size(); ++index) keys.emplace_back(foundation::parseInt(lines[index].position), index);
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        if (a.first && b.first) return *a.first < *b.first;
        return a.first.has_value() && !b.first.has_value();
    });
    std::vector<livetiming::RaceLineModel> ordered;
    ordered.reserve(lines.size());
    for (const auto& key : keys) ordered.push_back(std::move(lines[key.second]));
    return ordered;
}

dispatch::Task<Loaded> LiveViewController::readTimingWithTimeout() {
    TimingRead read = timingRead_ ? timingRead_ : [](std::string session) -> dispatch::Task<Loaded> {
        co_return co_await timingClient().load(LiveTiming::sessionFileURL(session, "TimingData.json"));
    };
    std::shared_ptr<dispatch::Timer> deadline;
    // Whichever comes first resumes: the answer, or the time-out with nothing.
    auto body = co_await dispatch::awaitCallback<Loaded>([&](std::function<void(Loaded)> resume) {
        dispatch::spawn(dispatch::Queue::main(), [read, session = path, resume]() -> dispatch::Task<void> {
            resume(co_await read(session));
        });
        deadline = dispatch::Timer::scheduledTimer(timingReadTimeout, false, [resume](dispatch::Timer&) {
            resume(Loaded(foundation::Data{}, {}, LoadFailure{.status = 0, .reason = "timed out"}));
        });
    });
    deadline->invalidate();
    co_return body;
}

dispatch::Task<void> LiveViewController::loadTimingData() {
    // No session: nothing is read. While the index is on its way the row says the screen waits for it;
    // once it has named none, that the timing could not be loaded.
    if (path.empty()) {
        if (!awaitsSession() && !timingCouldNotLoad) {
            timingCouldNotLoad = true;
            timingFailure = indexFailure();
            reloadTables();
        }
        co_return;
    }
    std::uint64_t request = ++timingReadsStarted_;
    // In flight until its document is decoded, not only read: a document slower to decode than a tick
    // would otherwise let every tick start another decode on the pool.
    ++timingReadsInFlight_;
    std::optional<LoadFailure> failure;
    auto decoded = co_await decodeLoadedNoting<livetiming::TimingData>(co_await readTimingWithTimeout(), failure);
    --timingReadsInFlight_;
    if (!decoded) {
        // A failed refresh keeps the order shown, marked as no longer current until a read succeeds
        // again; a screen with no order yet says the timing could not be loaded.
        if (request >= timingReadShown_ && !(timingStale && timingCouldNotLoad)) {
            timingCouldNotLoad = true;
            timingFailure = failure;  // the first failure since the last read that succeeded
            timingStale = true;
            reloadTables();
        }
        co_return;
    }
    // An answer older than the order shown would put the running order back in time.
    if (request < timingReadShown_) co_return;
    // A document with no driver says nothing new: an order shown stays, marked as not current.
    if (decoded->lines.empty() && !raceResults.empty()) {
        if (!timingStale) {
            timingStale = true;
            reloadTables();
        }
        co_return;
    }
    timingCouldNotLoad = false;
    timingReadShown_ = request;
    timingStale = false;
    raceResults = runningOrder(*decoded);
    timingListsNoDriver = raceResults.empty();
    reloadTables();
}

dispatch::Task<void> LiveViewController::loadDriverList() {
    // One driver missing a field never blanks the others' names and pictures.
    auto decoded = co_await decodeLoadedValidItems<livetiming::DriverList>(co_await sessionFile(&LiveTiming::driverList));
    if (!decoded) co_return;
    fileDrivers(*this, *decoded);
    if (!decoded->empty()) reloadTables();
}

dispatch::Task<void> LiveViewController::loadWeather() {
    auto body = co_await sessionFile(&LiveTiming::weatherData);
    auto decoded = co_await decodeLoadedNoting<livetiming::WeatherModel>(std::move(body), weatherCouldNotLoad);
    // A failure keeps the weather shown; its row, while there is none, says why.
    if (decoded) weather = {std::move(*decoded)};
    if (decoded || weather.empty()) reloadTables();
}

dispatch::Task<void> LiveViewController::loadLaps() {
    auto body = co_await LapTimes::lap(yearNumber(year), raceRound, 1);
    auto decoded = co_await decodeLoadedNoting<RaceModel>(std::move(body), lapsCouldNotLoad);
    if (!decoded) co_return;
    const auto& answered = decoded->data.raceTable.races;
    if (answered.empty() || !answered.front().laps || answered.front().laps->empty()) co_return;
    lapsResults = answered.front().laps->front().timings;
}

dispatch::Task<void> LiveViewController::loadPitStops() {
    auto body = co_await PitStops::pitStops(yearNumber(year), raceRound);
    auto decoded = co_await decodeLoadedNoting<RaceModel>(std::move(body), pitStopsCouldNotLoad);
    if (!decoded) co_return;
    const auto& answered = decoded->data.raceTable.races;
    if (answered.empty() || !answered.front().pitStops) co_return;
    pitStopsResults = *answered.front().pitStops;
}

dispatch::Task<void> LiveViewController::loadTyres() {
    auto body = co_await sessionFile(&LiveTiming::tyreStintSeries);
    auto decoded = co_await decodeLoadedNoting<livetiming::TyresModel>(std::move(body), tyresCouldNotLoad);
    if (decoded) tyresResults = std::move(decoded->stints);
}

dispatch::Task<void> LiveViewController::loadRaceMessages() {
    auto body = co_await sessionFile(&LiveTiming::raceControlMessages);
    auto decoded = co_await decodeLoadedNoting<livetiming::RaceControlMessageModel>(std::move(body), messagesCouldNotLoad);
    if (!decoded) co_return;
    raceMessages.assign(decoded->messages.rbegin(), decoded->messages.rend());
}

dispatch::Task<void> LiveViewController::loadTeamRadio() {
    auto body = co_await sessionFile(&LiveTiming::teamRadio);
    auto decoded = co_await decodeLoadedNoting<livetiming::TeamRadioModel>(std::move(body), radioCouldNotLoad);
    if (!decoded) co_return;
    driverRadio.assign(decoded->captures.rbegin(), decoded->captures.rend());
}

dispatch::Task<void> LiveViewController::loadLapCount() {
    auto decoded = co_await decodeLoaded<livetiming::LapCountModel>(co_await sessionFile(&LiveTiming::lapCount));
    if (decoded && decoded->totalLaps && *decoded->totalLaps > 0) sessionLaps = decoded->totalLaps;
}

void LiveViewController::loadCircuits() {
    auto decoded = decodeNow<circuitDetailsModel>(Loaded(foundation::Data::fromString(CircuitDetailsJSON::shared().circuitDetailsJSON)));
    if (!decoded) return;
    for (auto& [locality, place] : decoded->places) allCircuits.push_back(std::move(place));
    reloadTables();
}

void LiveViewController::buildWeekendStructure() {
    weekendStructure = races.empty() ? std::vector<WeekendSession>{} : weekendSessions(races.front());
    reloadTables();
}
