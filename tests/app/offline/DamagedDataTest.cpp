#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cells/StateCell.h"
#include "foundation/Print.h"
#include "gfx/TextMeasurer.h"
#include "live/LiveViewController.h"
#include "live/SheetTestSupport.h"
#include "standings-news/StandingsViewController.h"
#include "weekend/WeekendTestSupport.h"

// The offline season from a copy of the data folder with some of its files damaged the ways a user's
// copy gets damaged: cut short, overwritten with garbage, missing. Each screen that reads a damaged
// file says so where the data would be, and the console names the address and what went wrong.

namespace fs = std::filesystem;

namespace {

constexpr const char* miamiRace = "2023/2023-05-07_Miami_Grand_Prix/2023-05-07_Race/";

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A copy of the checkout's data folder, removed when the suite ends.
class DataCopy {
public:
    DataCopy() {
        std::string pattern = (fs::temp_directory_path() / "sorvane-damaged-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        root_ = pattern;
        fs::copy(OfflineSettings::defaultDataDirectory() / "offline-season", root_ / "offline-season",
                 fs::copy_options::recursive);
    }
    ~DataCopy() {
        std::error_code ignored;
        if (!root_.empty()) fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }
    fs::path operator/(const std::string& relative) const { return root_ / "offline-season" / relative; }

private:
    fs::path root_;
};

DataCopy*& dataCopy() {
    static DataCopy* copy = nullptr;
    return copy;
}

class DamagedSeason : public weekendtest::OfflineWeekend {
protected:
    static void SetUpTestSuite() {
        dataCopy() = new DataCopy;
        const DataCopy& data = *dataCopy();
        // Bahrain's race results cut in half, its qualifying missing, its standings garbage.
        auto results = readFile(data / "results-api/2023/1/results.json");
        writeFile(data / "results-api/2023/1/results.json", results.substr(0, results.size() / 2));
        fs::remove(data / "results-api/2023/1/qualifying.json");
        writeFile(data / "results-api/2023/1/driverStandings.json", "\x1f\x8b garbage \xff\xfe");
        startSeasonFrom(data.root());
    }
    static void TearDownTestSuite() {
        OfflineWeekend::TearDownTestSuite();
        delete dataCopy();
        dataCopy() = nullptr;
    }

    void SetUp() override {
        OfflineWeekend::SetUp();
        gfx::setTextMeasurer(nullptr);  // real text, for the pictures
    }

    // The phone as it shows now, for people to look at (build/<preset>/gallery).
    void picture(const std::string& name) {
        settle();
        host.snapshot();
        std::filesystem::create_directories(SORVANE_GALLERY_DIR);
        EXPECT_TRUE(host.writePng(std::string(SORVANE_GALLERY_DIR) + "/" + name + ".png"));
    }

    // The race screen of Bahrain, presented, once every load has ended (the team radio is the last).
    std::shared_ptr<PastDetailsViewController> openBahrain() {
        auto screen = screenFor(1);
        present(screen);
        EXPECT_TRUE(waitFor([&] { return !screen->driverRadio.empty(); }));
        settle();
        return screen;
    }
};

TEST_F(DamagedSeason, aRaceScreenSaysWhichResultsCouldNotBeLoaded) {
    foundation::ConsoleCapture console;
    auto screen = openBahrain();
    ASSERT_TRUE(screen->raceResults.empty());
    ASSERT_TRUE(screen->qualifyingResults.empty());

    ui::TableView& race = *screen->tableView[0];
    ASSERT_EQ(screen->numberOfRows(race, 2), 1);
    auto state = rowOf<StateCell>(*screen, race, 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The race results could not be loaded.");
    picture("damaged-race");
    // Choosing the row does nothing: it stands for no driver.
    screen->didSelectRow(race, {2, 0});
    EXPECT_TRUE(screen->selectedRows.empty());

    auto qualifying = rowOf<StateCell>(*screen, *screen->tableView[1], 2, 0);
    ASSERT_TRUE(qualifying);
    EXPECT_EQ(qualifying->title->text(), "The qualifying results could not be loaded.");
    EXPECT_EQ(qualifying->detail->text(), "The offline season holds it damaged.") << "lost from the copy, not unrecorded";

    // The rest of the weekend still shows.
    EXPECT_FALSE(screen->driverRadio.empty());
    EXPECT_FALSE(screen->raceMessages.empty());

    const std::string lines = console.text();
    // A file lost from the copy is damage, never a document the season did not record.
    EXPECT_NE(lines.find("Could not load http://ergast.com/api/f1/2023/1/qualifying.json: 500 Internal Server Error\n"),
              std::string::npos) << lines;
    EXPECT_NE(lines.find("Error decoding result: http://ergast.com/api/f1/2023/1/results.json: "), std::string::npos)
        << lines;
    // An error page is never decoded as a document.
    EXPECT_EQ(lines.find("'<'"), std::string::npos) << lines;
}

TEST_F(DamagedSeason, theStandingsSheetSaysItsListCouldNotBeLoaded) {
    auto screen = openBahrain();
    EXPECT_TRUE(screen->standingsCouldNotLoad[0]);
    EXPECT_FALSE(screen->standingsCouldNotLoad[1]);

    screen->presentStandings(0);
    auto sheet = std::dynamic_pointer_cast<StandingsViewController>(screen->presentedViewController());
    ASSERT_TRUE(sheet);
    settle();
    ui::TableView& drivers = *sheet->tableView[0];
    ASSERT_EQ(sheet->numberOfRows(drivers, 2), 1);
    auto state = rowOf<StateCell>(*sheet, drivers, 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The drivers' standings could not be loaded.");
    picture("damaged-standings");

    // The constructors' standings loaded: their rows show, no state row.
    sheet->selectEventType(1);
    EXPECT_GT(sheet->numberOfRows(drivers, 2), 1);
    EXPECT_FALSE(rowOf<StateCell>(*sheet, drivers, 2, 0));
    sheet->dismiss(false);
    settle();
}

TEST_F(DamagedSeason, theLiveScreenSaysTheTimingIsMissing) {
    foundation::ConsoleCapture console;
    auto screen = std::make_shared<LiveViewController>();
    screen->races = {race(5)};
    screen->year = "2023";
    screen->raceRound = 5;
    screen->path = miamiRace;  // a session recorded without its timing file
    present(screen);
    ASSERT_TRUE(waitFor([&] { return screen->timingCouldNotLoad && !screen->timingReadInFlight(); }));
    settle();

    ui::TableView& table = *screen->tableView[0];
    ASSERT_EQ(screen->numberOfRows(table, LiveViewController::driverSection), 1);
    auto state = rowOf<StateCell>(*screen, table, LiveViewController::driverSection, 0);
    ASSERT_TRUE(state);
    // The session was recorded without it: a gap, said as one.
    EXPECT_EQ(state->title->text(), "Live timing");
    EXPECT_EQ(state->detail->text(), "Not recorded in the offline season");
    picture("damaged-live");
    EXPECT_NE(console.text().find("Could not load https://livetiming.formula1.com/static/" + std::string(miamiRace) +
                                  "TimingData.json: 404 Not Found"),
              std::string::npos);
}

// On the undamaged season the files the snapshot lacks are reported as missing, never decoded.
using UndamagedSeason = weekendtest::OfflineWeekend;

TEST_F(UndamagedSeason, openingARaceDecodesNoErrorPage) {
    foundation::ConsoleCapture console;
    auto screen = open(1);
    EXPECT_FALSE(screen->resultsCouldNotLoad[0]);
    EXPECT_EQ(console.text().find("Error decoding result"), std::string::npos) << console.text();
    root->dismiss(false);
    settle();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

int statusOf(const std::shared_ptr<net::ProtocolRegistry>& registry, const std::string& host, const std::string& address) {
    auto handler = registry->handlerFor(host);
    if (!handler) return 0;
    auto answer = (*handler)(net::Request(*foundation::URL::fromString(address)));
    return answer ? answer->response.statusCode : -1;
}

// A start over a folder with whole services missing still serves the others: it warns, and the hosts
// of what is missing answer as servers that are down, so nothing reaches the network.
TEST(DamagedStart, missingFoldersAndABadReplayLineTurnOffOnlyTheirServices) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    fs::remove_all(data / "flags");
    fs::remove_all(data / "livetiming");
    {
        std::ofstream replay(data / "replay.tsv", std::ios::app);
        replay << "2023/broken line without an origin\n";
    }
    auto registry = std::make_shared<net::ProtocolRegistry>();
    OfflineSettings settings;
    settings.dataDirectory = data.root();
    auto started = OfflineSeason::start(settings, ServiceHosts{}, registry);
    ASSERT_TRUE(started) << started.error();

    const std::string warnings = joined(started->warnings());
    EXPECT_NE(warnings.find("live timing will not load"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("flag pictures will not load"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("unreadable line \"2023/broken line without an origin\" left out"), std::string::npos)
        << warnings;

    const ServiceHosts hosts;
    EXPECT_EQ(statusOf(registry, hosts.resultsAPI, "http://" + hosts.resultsAPI + "/api/f1/2023.json"), 200);
    EXPECT_EQ(statusOf(registry, hosts.liveTiming, "https://" + hosts.liveTiming + "/static/2023/Index.json"), 503);
    EXPECT_EQ(statusOf(registry, hosts.flagImages, "https://" + hosts.flagImages + "/2/svg/1f1e7-1f1ed.svg"), 503);
    EXPECT_EQ(statusOf(registry, hosts.fiaNews, "https://" + hosts.fiaNews + "/rss/press-release"), 200);
    started->stop();
}

// A file the season lists but the copy lost answers 500, a feed's index too; a document it never
// recorded still answers 404. Without the listing, no file is known to be lost.
TEST(DamagedStart, aFileLostFromTheCopyIsDamageAndOneNeverRecordedIsNotFound) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    fs::remove(data / "results-api/2023/1/qualifying.json");
    fs::remove(data / "rss/autosport/rss/f1/news/index.xml");
    auto registry = std::make_shared<net::ProtocolRegistry>();
    OfflineSettings settings;
    settings.dataDirectory = data.root();
    const ServiceHosts hosts;
    {
        auto started = OfflineSeason::start(settings, hosts, registry);
        ASSERT_TRUE(started) << started.error();
        EXPECT_EQ(statusOf(registry, hosts.resultsAPI, "http://" + hosts.resultsAPI + "/api/f1/2023/1/qualifying.json"), 500);
        EXPECT_EQ(statusOf(registry, hosts.autosportNews, "https://" + hosts.autosportNews + "/rss/f1/news/"), 500);
        EXPECT_EQ(statusOf(registry, hosts.resultsAPI, "http://" + hosts.resultsAPI + "/api/f1/2023/3/results.json"), 404);
        EXPECT_EQ(statusOf(registry, hosts.resultsAPI, "http://" + hosts.resultsAPI + "/api/f1/2023/1/results.json"), 200);
        started->stop();
    }
    fs::remove(data / "SOURCES.tsv");
    auto started = OfflineSeason::start(settings, hosts, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_NE(joined(started->warnings()).find("SOURCES.tsv: a file lost from the season is told as one it never recorded"),
              std::string::npos) << joined(started->warnings());
    EXPECT_EQ(statusOf(registry, hosts.resultsAPI, "http://" + hosts.resultsAPI + "/api/f1/2023/1/qualifying.json"), 404);
    started->stop();
}

// The offline season over a copy, answering into a registry of its own; late warnings go to `told`.
std::expected<OfflineSeason, std::string> startOver(const DataCopy& data, const std::shared_ptr<net::ProtocolRegistry>& registry,
                                                    std::vector<std::string>* told = nullptr) {
    OfflineSettings settings;
    settings.dataDirectory = data.root();
    if (told) settings.reportLateWarning = [told](const std::string& warning) { told->push_back(warning); };
    return OfflineSeason::start(settings, ServiceHosts{}, registry);
}

// Each replay line naming a folder outside the data is left out alone; live timing still serves.
TEST(DamagedStart, replayLinesLeavingTheFolderAreLeftOutOneByOne) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    {
        std::ofstream replay(data / "replay.tsv", std::ios::app);
        replay << "../2023/\t2023-03-05T14:01:01Z\n/2023/\t2023-03-05T14:01:01Z\n";
    }
    auto registry = std::make_shared<net::ProtocolRegistry>();
    auto started = startOver(data, registry);
    ASSERT_TRUE(started) << started.error();
    const std::string warnings = joined(started->warnings());
    EXPECT_NE(warnings.find("replayed session ../2023/ leaves the folder: left out"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("replayed session /2023/ leaves the folder: left out"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("live timing will not load"), std::string::npos) << warnings;
    const std::string host = ServiceHosts{}.liveTiming;
    EXPECT_EQ(statusOf(registry, host, "https://" + host + "/static/2023/Index.json"), 200);
    started->stop();
}

// A replay.tsv too large to read is not read at the start: nothing replays, the rest serves.
TEST(DamagedStart, aReplayFileTooLargeToReadOnlyStopsTheReplay) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    fs::resize_file(data / "replay.tsv", (std::uintmax_t(64) << 20) + 1);  // sparse: no disk is used
    auto registry = std::make_shared<net::ProtocolRegistry>();
    auto started = startOver(data, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_NE(joined(started->warnings()).find("replay.tsv: no session is replayed"), std::string::npos);
    const std::string host = ServiceHosts{}.liveTiming;
    EXPECT_EQ(statusOf(registry, host, "https://" + host + "/static/2023/Index.json"), 200);
    started->stop();
}

// A file past what a transfer may gather is refused unread (a sparse file: no disk is used).
TEST(DamagedStart, aFileTooLargeToAnswerIsRefusedWithAWarning) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    fs::resize_file(data / "results-api/2023.json", (std::uintmax_t(64) << 20) + 1);
    auto registry = std::make_shared<net::ProtocolRegistry>();
    std::vector<std::string> told;
    auto started = startOver(data, registry, &told);
    ASSERT_TRUE(started) << started.error();
    const std::string host = ServiceHosts{}.resultsAPI;
    EXPECT_EQ(statusOf(registry, host, "http://" + host + "/api/f1/2023.json"), 503);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("2023.json is larger than the 64 MiB an answer may carry"), std::string::npos) << told[0];
    started->stop();
}

TEST(DamagedStart, anUnreadableReplayFileOnlyStopsTheReplay) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    fs::remove(data / "replay.tsv");
    auto registry = std::make_shared<net::ProtocolRegistry>();
    OfflineSettings settings;
    settings.dataDirectory = data.root();
    auto started = OfflineSeason::start(settings, ServiceHosts{}, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_NE(joined(started->warnings()).find("no session is replayed"), std::string::npos);
    EXPECT_EQ(statusOf(registry, ServiceHosts{}.liveTiming,
                       "https://" + ServiceHosts{}.liveTiming + "/static/2023/Index.json"), 200);
    started->stop();
}

// A damaged replayed stream does not hold up the start: it is found, and told, when its topic is first
// asked for.
TEST(DamagedStart, aDamagedReplayedStreamIsToldWhenItsTopicIsFirstAskedFor) {
    DataCopy data;
    ASSERT_FALSE(data.root().empty());
    const std::string sprint = "livetiming/2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/";
    std::ofstream(data / (sprint + "LapCount.jsonStream"), std::ios::trunc) << "not a stream\n";
    auto registry = std::make_shared<net::ProtocolRegistry>();
    std::vector<std::string> told;  // the requests below are answered on this thread
    OfflineSettings settings;
    settings.dataDirectory = data.root();
    settings.reportLateWarning = [&](const std::string& warning) { told.push_back(warning); };
    auto started = OfflineSeason::start(settings, ServiceHosts{}, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_EQ(joined(started->warnings()), "");
    EXPECT_TRUE(told.empty());

    const std::string host = ServiceHosts{}.liveTiming;
    const std::string topic = "https://" + host + "/static/" + sprint.substr(std::string("livetiming/").size());
    EXPECT_EQ(statusOf(registry, host, topic + "LapCount.json"), 503);
    EXPECT_EQ(statusOf(registry, host, topic + "TimingData.json"), 200);
    EXPECT_NE(joined(told).find("LapCount.jsonStream holds no update"), std::string::npos) << joined(told);
    started->stop();
}

TEST(DamagedStart, theUndamagedSeasonStartsWithoutWarnings) {
    auto registry = std::make_shared<net::ProtocolRegistry>();
    OfflineSettings settings;
    settings.dataDirectory = OfflineSettings::defaultDataDirectory();
    auto started = OfflineSeason::start(settings, ServiceHosts{}, registry);
    ASSERT_TRUE(started) << started.error();
    EXPECT_EQ(joined(started->warnings()), "");
    started->stop();
}

}  // namespace
