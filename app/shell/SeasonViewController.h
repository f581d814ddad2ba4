#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/CountryFlags.h"
#include "data/Client.h"
#include "data/RaceModels.h"
#include "data/ResultModels.h"
#include "data/StandingsModels.h"
#include "dispatch/Task.h"
#include "foundation/Notification.h"
#include "livetiming/EventsModel.h"
#include "shell/RaceTiming.h"
#include "standings-news/Article.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/ViewController.h"

class RaceScreen;

// The season sheet: the races of the season shown (GlobalStruct::races()) with a countdown to the
// next one, a header with the season's title, the year menu and the news and standings buttons. The
// map presents it once and it stays for the app's life; every other screen is presented from it.
// It follows the notifications "upcomingRace", "selectedRace" and "updateTable", and posts
// "selectedRace" and "changedYear". Main thread.
//
// The season shown is the one of the races in GlobalStruct: the title, the year, the countdown, the
// driver list and the standings change when a load brings another season, never at the pick.
class SeasonViewController : public ui::ViewController,
                             public ui::TableViewDataSource,
                             public ui::TableViewDelegate {
public:
    using Dictionary = std::map<std::string, std::string>;

    static constexpr double headerHeight = 70;
    static constexpr double sheetCornerRadius = 18;

    // The years of the year menu, "2005" up to the current year.
    std::vector<std::string> allYears;
    // The season shown, handed to every race screen and to the standings sheet.
    std::string year;
    // The row of the next race, as the map last reported it.
    int upcomingRaceIndex = 0;

    std::shared_ptr<ui::Button> yearButton = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Label> navTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> newsButton = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> standingsButton = std::make_shared<ui::Button>();
    std::shared_ptr<ui::TableView> tableView = std::make_shared<ui::TableView>();
    // Above the list, which moves down for it, when a season could not be loaded or a tap could not
    // do what it offers: what is missing, in words.
    std::shared_ptr<ui::Label> statusLabel = std::make_shared<ui::Label>();
    static constexpr double statusHeight = 64;

    // Never filled: the standings sheet opened from here shows no race's results.
    std::vector<RaceResultsModel> raceResults;
    std::vector<DriverStandingsModel> driverStandings;
    std::vector<ConstructorStandingsModel> teamStandings;
    // Which of the two standings could not be loaded (0 drivers, 1 constructors), for the sheet's state row.
    std::array<std::optional<LoadFailure>, 2> standingsCouldNotLoad{};
    // The round each of the two standings is after, as their document says; empty when not known.
    std::array<std::string, 2> standingsRounds;
    std::vector<CountryFlagsModel> countryFlags;
    // Driver key (see DriverKey.h) to headshot address, team colour and racing number.
    Dictionary driverImageDictionary;
    Dictionary driverColDictionary;
    Dictionary driverNumDictionary;
    // The five news feeds, in the news sheet's order.
    std::vector<Article> newsArticles;
    std::vector<Article> newsArticles2;
    std::vector<Article> newsArticles3;
    std::vector<Article> newsArticles4;
    std::vector<Article> newsArticles5;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

    // Notification handlers.
    void upcomingRace(const foundation::Notification& notification);
    void selectedRace(const foundation::Notification& notification);
    void updateTable();

    // The map could not load a season: `year` for a pick, none for the season the app starts on, and
    // why (`failure`, as the state rows name it). Said on the sheet until a season arrives; the season
    // shown stays, and with none shown the header names the season asked for.
    void seasonCouldNotBeLoaded(const std::optional<std::string>& year, const std::optional<LoadFailure>& failure = std::nullopt);

    void newsTapped();
    // Opens the standings once a race of the season has been run; before that, or with no season
    // shown (the button dimmed), it says why there are none.
    void standingsTapped();
    // Shows `text` in the band above the list; `hideStatus` takes the band away.
    void showStatus(const std::string& text);
    void hideStatus();
    // Whether the year menu's `year` can load: offline, only the seasons the data holds.
    static bool yearLoads(const std::string& year);

    // The table.
    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, ui::IndexPath indexPath) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override;
    void didSelectRow(ui::TableView&, ui::IndexPath indexPath) override;
    std::shared_ptr<ui::ContextMenuConfiguration> contextMenuConfigurationForRow(ui::TableView&, ui::IndexPath indexPath,
                                                                                 ui::Point point) override;

    void setUpHeader();
    // The year menu with `selected` ticked (none when empty), opening at `shown` when nothing is ticked.
    void makeYearMenu(const std::string& selected, const std::string& shown = {});
    void setUpTable();

    // The round line of row `row`: "Round n", with the countdown or LIVE under it for the race ahead.
    std::string roundText(int row, foundation::Date now) const;

    // The race screen for race `index` as it would open now, filled in and with its sheet set up.
    std::shared_ptr<RaceScreen> makeRaceScreen(int index) const;
    // The live screen the row menu's test action opens.
    std::shared_ptr<RaceScreen> makeLiveScreen(int index) const;
    // Presents race `index` from the top of the key window's presentation chain.
    void openRaceScreen(int index);
    // The live-timing folder of the race itself (never the sprint) of the meeting named like the race;
    // empty without one.
    static std::string sessionPath(const RacesDetailsModel& race, const std::vector<livetiming::Meeting>& meetings);
    // The live screen's folder: the session that is live at `now`, the sprint within three hours of its
    // start, otherwise the race itself (never the sprint on race day, though the index types both "Race").
    static std::string liveSessionPath(const RacesDetailsModel& race, const std::vector<livetiming::Meeting>& meetings,
                                       foundation::Date now);

    // The preloads: the flags once; the driver list and standings of the season shown, again whenever
    // another season is shown; the news on every appearance.
    dispatch::Task<void> loadCountryFlags();
    dispatch::Task<void> loadDriverDictionaries();
    dispatch::Task<void> loadDriverStandings();
    dispatch::Task<void> loadTeamStandings();
    dispatch::Task<void> loadNews();

    // The five feeds' addresses, in order.
    static std::vector<std::string> newsFeedURLs();

private:
    // Picks up a season that a load brought in since the last look: title, year, menu, countdown row,
    // and the season's driver list and standings.
    void followShownSeason();
    void adoptSeasonTexts();
    void setStandingsButtonEnabled(bool enabled);
    // The row before the next race: the last one held; none before the season's first race.
    std::optional<int> lastHeldRaceIndex() const;
    std::shared_ptr<RaceScreen> makeScreen(int index, RacePhase phase) const;
    void startSeasonPreloads();
    // The session folder whose driver list stands for the season shown: its first race's.
    dispatch::Task<std::string> driverListSessionPath(std::string season);
    // Whether a load started for `generation` may still store.
    bool isShownSeason(std::uint64_t generation) const { return generation == seasonGeneration_; }

    std::string shownSeason_;
    // Why no season is shown, once a load has failed and until one arrives.
    std::optional<std::string> seasonFailure_;
    std::uint64_t seasonGeneration_ = 0;
    // The season for which "upcomingRace" last arrived.
    std::optional<std::string> upcomingRaceSeason_;
    // A race screen replaced by a pick: the race to open once the shown one has gone.
    std::optional<int> pendingRaceIndex_;
};
