#include <algorithm>
#include <array>

#include "data/Client.h"
#include "data/Decoding.h"
#include "data/GlobalStruct.h"
#include "data/ResultsEndpoints.h"
#include "data/ServiceHosts.h"
#include "dispatch/Queue.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Print.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/LiveTiming.h"
#include "livetiming/SeasonIndex.h"
#include "shell/DriverKey.h"
#include "shell/RaceScreen.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/SeasonViewController.h"
#include "shell/Utilities.h"
#include "standings-news/NewsViewController.h"
#include "standings-news/RSSParser.h"
#include "standings-news/StandingsViewController.h"

namespace {

// The results API names a season by its year, or "current" when none is shown yet.
std::string standingsSeason(const std::string& season) {
    bool isYear = !season.empty() && season.find_first_not_of("0123456789") == std::string::npos;
    return isYear ? season : "current";
}

// The first standings list of a results-API standings document; a season without standings yet has
// none, and is told apart from a document that could not be loaded.
struct LatestStandings {
    std::optional<LoadFailure> failure;
    std::optional<StandingsDetailsModel> list;
};

dispatch::Task<LatestStandings> latestStandings(std::string document) {
    Loaded body = co_await resultsapi::fetch(std::move(document));
    std::optional<LoadFailure> failure;
    auto decoded = co_await decodeLoadedNoting<StandingModel>(std::move(body), failure);
    if (!decoded) co_return LatestStandings{failure, std::nullopt};
    auto& lists = decoded->data.standingsTable.standings;
    if (lists.empty()) co_return LatestStandings{};
    co_return LatestStandings{std::nullopt, std::move(lists.front())};
}

}  // namespace

void SeasonViewController::startSeasonPreloads() {
    auto self = std::static_pointer_cast<SeasonViewController>(shared_from_this());
    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> {
        co_await self->loadDriverDictionaries();
        co_await self->loadDriverStandings();
        co_await self->loadTeamStandings();
    });
}

dispatch::Task<void> SeasonViewController::loadCountryFlags() {
    auto decoded = foundation::JSONDecoder().decode<std::vector<CountryFlagsModel>>(
        foundation::Data::fromString(CountryFlagsJSON::shared().countryFlagsJSON));
    if (!decoded) {
        printDecodingError("", decoded.error());
        co_return;
    }
    countryFlags = std::move(*decoded);
    tableView->reloadData();
}

dispatch::Task<std::string> SeasonViewController::driverListSessionPath(std::string season) {
    const auto& races = GlobalStruct::races();
    if (races.empty() || GlobalStruct::racesSeason() != season) co_return std::string();
    RacesDetailsModel opening = races.front();
    if (GlobalStruct::meetingsSeason() == season) co_return sessionPath(opening, GlobalStruct::meetings());

    // The map reads the season's index after its races; the sheet shares that read.
    auto index = co_await SeasonIndex::meetings(season);
    if (!index) co_return std::string();
    co_return sessionPath(opening, *index);
}

dispatch::Task<void> SeasonViewController::loadDriverDictionaries() {
    std::uint64_t generation = seasonGeneration_;
    std::string season = shownSeason_;
    if (season.empty()) co_return;
    // The drivers of the season's opening race stand for the season's line-up.
    std::string path = co_await driverListSessionPath(season);
    if (path.empty() || !isShownSeason(generation)) co_return;

    auto drivers = co_await decodeLoadedValidItems<livetiming::DriverList>(co_await LiveTiming::driverList(path));
    if (!drivers) co_return;
    if (!isShownSeason(generation)) co_return;
    fileDrivers(*this, *drivers);
}

dispatch::Task<void> SeasonViewController::loadDriverStandings() {
    std::uint64_t generation = seasonGeneration_;
    auto latest = co_await latestStandings(standingsSeason(shownSeason_) + "/driverStandings.json");
    if (!isShownSeason(generation)) co_return;
    standingsCouldNotLoad[0] = latest.failure;
    standingsRounds[0] = latest.list ? latest.list->round : std::string();
    if (!latest.list || !latest.list->driverStandings) co_return;
    driverStandings = std::move(*latest.list->driverStandings);
}

dispatch::Task<void> SeasonViewController::loadTeamStandings() {
    std::uint64_t generation = seasonGeneration_;
    auto latest = co_await latestStandings(standingsSeason(shownSeason_) + "/constructorStandings.json");
    if (!isShownSeason(generation)) co_return;
    standingsCouldNotLoad[1] = latest.failure;
    standingsRounds[1] = latest.list ? latest.list->round : std::string();
    if (!latest.list || !latest.list->constructorStandings) co_return;
    teamStandings = std::move(*latest.list->constructorStandings);
}

std::vector<std::string> SeasonViewController::newsFeedURLs() {
    std::vector<std::string> addresses;
    for (const auto& source : NewsViewController::sources()) addresses.push_back(source.url);
    return addresses;
}

dispatch::Task<void> SeasonViewController::loadNews() {
    const std::array<std::vector<Article> SeasonViewController::*, 5> fields{
        &SeasonViewController::newsArticles, &SeasonViewController::newsArticles2,
        &SeasonViewController::newsArticles3, &SeasonViewController::newsArticles4,
        &SeasonViewController::newsArticles5,
    };
    auto self = std::static_pointer_cast<SeasonViewController>(shared_from_this());
    auto addresses = newsFeedURLs();
    // The feeds are read side by side, so a slow one (bounded by the reader's time-out) holds no other back.
    for (std::size_t feed = 0; feed < fields.size(); ++feed) {
        auto url = foundation::URL::fromString(addresses[feed]);
        if (!url) continue;
        dispatch::spawn(dispatch::Queue::main(), [self, url = *url, field = fields[feed]]() -> dispatch::Task<void> {
            RSSParser parser;
            auto articles = co_await parser.parse(url);
            // Every article is kept: the reader lets nothing of the channel into the first one.
            if (articles) (*self).*field = std::move(*articles);
        });
    }
    co_return;
}

void SeasonViewController::newsTapped() {
    playTapFeedback();
    auto news = std::make_shared<NewsViewController>();
    news->newsArticles = newsArticles;
    news->newsArticles2 = newsArticles2;
    news->newsArticles3 = newsArticles3;
    news->newsArticles4 = newsArticles4;
    news->newsArticles5 = newsArticles5;
    setUpPresentedSheet(*news, SheetHeights::largeOnly);
    present(news, true);
}

void SeasonViewController::standingsTapped() {
    playTapFeedback();
    // With no season shown there is no race to have been run: what is said is why there is no season.
    if (shownSeason_.empty()) {
        showStatus(seasonFailure_.value_or("No standings yet: the season is still loading."));
        return;
    }
    if (!lastHeldRaceIndex()) {
        showStatus("No standings yet: the " + shownSeason_ + " season's first race has not been run.");
        return;
    }
    auto standings = std::make_shared<StandingsViewController>();
    standings->fromSeason = true;
    // Each list is after the round its document names; the last race held when it names none. A list
    // that lags the last race held says that the standings after it are missing, and why.
    const auto& races = GlobalStruct::races();
    auto last = races.begin() + *lastHeldRaceIndex();
    for (std::size_t list = 0; list < 2; ++list) {
        // A list that could not be loaded is the one published with the other: after the same round.
        std::string round = standingsRounds[list];
        if (round.empty() && standingsCouldNotLoad[list]) round = standingsRounds[1 - list];
        auto after = std::ranges::find(races, round, &RacesDetailsModel::round);
        if (round.empty() || GlobalStruct::racesSeason() != shownSeason_ || after == races.end())
            after = last;
        std::string lag;
        if (after < last)
            lag = "Standings after the " + last->raceName +
                  (GlobalStruct::offlineSeasons() ? " are not recorded in the offline season." : " are not published yet.");
        standings->fromSeasonRaces[list] = {after->raceName, after->circuit.circuitName,
                                            after->circuit.location.locality + ", " + after->circuit.location.country, lag};
    }
    standings->driverImageDictionary = driverImageDictionary;
    standings->driverColDictionary = driverColDictionary;
    standings->eventType = 0;
    standings->raceResults = raceResults;
    standings->year = year;
    standings->driverStandings = driverStandings;
    standings->teamStandings = teamStandings;
    standings->couldNotLoad = standingsCouldNotLoad;
    setUpPresentedSheet(*standings, SheetHeights::largeOnly);
    present(standings, true);
}
