// The generated kinds of the committed snapshot, read back with the app's own models.
#include <gtest/gtest.h>


#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "data/CircuitDetails.h"
#include "data/CountryFlags.h"
#include "foundation/DateFormatter.h"
#include "foundation/JSONDecoder.h"
#include "foundation/Locale.h"
#include "foundation/XMLParser.h"
#include "gfx/Image.h"
#include "livefeed/StreamFold.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "offline_season/SnapshotBuilder.h"

#include "ReadAll.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using std::chrono::milliseconds;
using std::chrono::seconds;

const fs::path snapshot = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season";
const std::string bahrainRace = "livetiming/2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/";
const std::string bakuMeeting = "livetiming/2023/2023-04-30_Azerbaijan_Grand_Prix/";
const std::string miamiRace = "livetiming/2023/2023-05-07_Miami_Grand_Prix/2023-05-07_Race/";

Json document(const std::string& path) {
  std::string text = readAll(snapshot / path);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  return Json::parse(text);
}

template <class Model>
Model decoded(const std::string& path) {
  auto model = foundation::JSONDecoder{}.decode<Model>(foundation::Data::fromString(readAll(snapshot / path)));
  EXPECT_TRUE(model) << path << ": " << (model ? "" : model.error().debugDescription);
  return model ? *model : Model{};
}

std::vector<std::string> filesNamed(const std::string& name) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(snapshot / "livetiming"))
    if (entry.path().filename() == name) found.push_back(fs::relative(entry.path(), snapshot).generic_string());
  std::ranges::sort(found);
  return found;
}

// An address's path as a snapshot file: "images" + the path with its escaped blanks ("%20") undone.
std::string imageFile(std::string urlPath) {
  for (auto at = urlPath.find("%20"); at != std::string::npos; at = urlPath.find("%20")) urlPath.replace(at, 3, " ");
  return "images" + urlPath;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

bool startsLikeMp3(const std::string& bytes) {
  if (bytes.starts_with("ID3")) return true;
  return bytes.size() > 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         (static_cast<unsigned char>(bytes[1]) & 0xE0) == 0xE0;
}

TEST(GeneratedPolls, OnePollPerRaceWithTheRecordedWinnersOfFinishedRaces) {
  auto polls = decoded<livetiming::DriverOfTheDayModel>("polls/v1/polls/index.json");
  Json races = document("results-api/2023.json")["MRData"]["RaceTable"]["Races"];
  ASSERT_EQ(polls.data.size(), races.size());
  for (std::size_t i = 0; i < races.size(); ++i) EXPECT_EQ(polls.data[i].grandPrixName, races[i]["raceName"]);

  // Rounds 1 and 2 are over by now and their winners recorded; round 3 has no recorded result.
  Json bahrain = document("results-api/2023/1/results.json")["MRData"]["RaceTable"]["Races"][0]["Results"][0];
  Json jeddah;
  Json seasonResults = document("results-api/2023/results.json");
  for (const Json& race : seasonResults["MRData"]["RaceTable"]["Races"])
    if (race["round"] == "2") jeddah = race["Results"][0];
  ASSERT_EQ(jeddah["position"], "1");
  for (auto [index, row] : {std::pair{0, bahrain}, std::pair{1, jeddah}}) {
    ASSERT_TRUE(polls.data[index].winner) << index;
    const auto& winner = *polls.data[index].winner;
    EXPECT_EQ(std::to_string(winner.number), row["number"].get<std::string>());
    Json driver = document(bahrainRace + "DriverList.json")[row["number"].get<std::string>()];
    EXPECT_EQ(winner.lastName, driver["LastName"]);
    EXPECT_EQ(winner.teamColour, driver["TeamColour"]);
    for (const auto& address : {winner.headshotURL, winner.bodyshotURL})
      EXPECT_TRUE(gfx::Image::fromData(foundation::Data::fromString(
          readAll(snapshot / imageFile(address.substr(address.find('/', 8)))))))
          << address;
    EXPECT_TRUE(fs::exists(snapshot / ("flags" + winner.flagURL.substr(winner.flagURL.find("/2/svg/")))));
  }
  for (std::size_t i = 2; i < polls.data.size(); ++i) EXPECT_FALSE(polls.data[i].winner) << i;
}

TEST(GeneratedSessionFiles, TyreStintsAreTheRecordedTimingAppDataStints) {
  auto sources = filesNamed("TimingAppData.json");
  ASSERT_GE(sources.size(), 5u);
  for (const auto& source : sources) {
    auto series = decoded<livetiming::TyresModel>(folderOf(source) + "TyreStintSeries.json");
    Json lines = document(source)["Lines"];
    ASSERT_EQ(series.stints.size(), lines.size()) << source;
    for (const auto& [number, line] : lines.items()) {
      const auto& stints = series.stints[number];
      ASSERT_EQ(stints.size(), line["Stints"].size()) << source << " car " << number;
      for (std::size_t i = 0; i < stints.size(); ++i) {
        const Json& recorded = line["Stints"][i];
        EXPECT_EQ(stints[i].compound, recorded["Compound"]);
        EXPECT_EQ(stints[i].isNew, recorded["New"] == "true");
        EXPECT_EQ(stints[i].totalLaps, recorded["TotalLaps"]);
        EXPECT_EQ(stints[i].startLaps, recorded["StartLaps"]);
      }
    }
  }
}

TEST(GeneratedSessionFiles, ReplayedTyreStreamEndsInTheStaticSeries) {
  std::string folder = bakuMeeting + "2023-04-29_Sprint/";
  auto stream = livefeed::parseStream(readAll(snapshot / (folder + "TyreStintSeries.jsonStream")));
  EXPECT_EQ(stream.skippedLines, 0u);
  ASSERT_FALSE(stream.updates.empty());
  EXPECT_EQ(livefeed::foldAll(stream), document(folder + "TyreStintSeries.json"));
  // At the snapshot's now (lap 3 of 17) the cars have run far fewer laps on their tyres than at the end.
  auto lapsOnTyres = [](const Json& series) {
    std::int64_t laps = 0;
    for (const auto& [number, stints] : series["Stints"].items())
      for (const Json& stint : stints) laps += stint.value("TotalLaps", 0);
    return laps;
  };
  livefeed::StreamReplay replay(std::move(stream));
  std::int64_t lapsAtNow = lapsOnTyres(replay.stateAt(std::chrono::minutes{50}));
  EXPECT_GT(lapsAtNow, 0);
  EXPECT_LT(lapsAtNow * 3, lapsOnTyres(document(folder + "TyreStintSeries.json")));
}

TEST(GeneratedSessionFiles, TopThreeIsTheLeadingTimingLinesWithTheirDrivers) {
  for (const char* session : {"2023-04-28_Qualifying/", "2023-04-29_Sprint_Shootout/", "2023-04-29_Sprint/"}) {
    std::string folder = bakuMeeting + session;
    auto topThree = decoded<livetiming::TopThreeModel>(folder + "TopThree.json");
    ASSERT_EQ(topThree.lines.size(), 3u) << folder;
    Json timing = document(folder + "TimingData.json")["Lines"];
    Json drivers = document(folder + "DriverList.json");
    for (std::size_t i = 0; i < 3; ++i) {
      const auto& line = topThree.lines[i];
      EXPECT_EQ(line.position, std::to_string(i + 1));
      EXPECT_EQ(timing[line.racingNumber]["Line"], static_cast<int>(i + 1)) << folder << line.racingNumber;
      EXPECT_EQ(line.tla, drivers[line.racingNumber]["Tla"]);
      EXPECT_EQ(line.teamColour, drivers[line.racingNumber]["TeamColour"]);
      EXPECT_FALSE(line.lapTime.empty()) << folder;
    }
  }
}

TEST(GeneratedSessionFiles, PredictionsAreTheRecordedStandingsBeforeAndAfterTheRace) {
  auto predictions = decoded<livetiming::PredictionsModel>(miamiRace + "ChampionshipPrediction.json");
  Json before = document("results-api/2023/4/driverStandings.json")["MRData"]["StandingsTable"]["StandingsLists"][0];
  Json after = document("results-api/2023/5/driverStandings.json")["MRData"]["StandingsTable"]["StandingsLists"][0];
  ASSERT_EQ(predictions.drivers.size(), after["DriverStandings"].size());
  const auto& leader = predictions.drivers.at(document("results-api/2023/5/results.json")["MRData"]["RaceTable"]
                                                  ["Races"][0]["Results"][0]["number"]);
  EXPECT_EQ(leader.predictedPosition, 1);
  EXPECT_EQ(leader.predictedPoints, std::stod(after["DriverStandings"][0]["points"].get<std::string>()));
  double pointsBefore = 0, pointsAfter = 0;
  for (const auto& [number, driver] : predictions.drivers) {
    pointsBefore += driver.currentPoints;
    pointsAfter += driver.predictedPoints;
  }
  double recordedBefore = 0;
  for (const Json& line : before["DriverStandings"]) recordedBefore += std::stod(line["points"].get<std::string>());
  EXPECT_EQ(pointsBefore, recordedBefore);
  double teamPoints = 0;
  for (const auto& [name, team] : predictions.teams) teamPoints += team.predictedPoints;
  EXPECT_EQ(teamPoints, pointsAfter);  // every point scored by a driver counts for the driver's team
  EXPECT_EQ(predictions.teams.size(), 10u);
}

TEST(GeneratedTeamRadio, CapturesNameRecordedCarsAndTheirClipsAreMp3) {
  auto radio = decoded<livetiming::TeamRadioModel>(bahrainRace + "TeamRadio.json");
  ASSERT_GE(radio.captures.size(), 5u);
  ASSERT_LE(radio.captures.size(), 10u);
  Json drivers = document(bahrainRace + "DriverList.json");
  foundation::DateFormatter formatter;
  formatter.setLocale(foundation::Locale("en_US_POSIX"));
  formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSSZ");
  for (const auto& capture : radio.captures) {
    ASSERT_TRUE(drivers.contains(capture.racingNumber)) << capture.racingNumber;
    EXPECT_TRUE(formatter.date(capture.utc)) << capture.utc;
    std::string prefix = "TeamRadio/" + drivers[capture.racingNumber]["Reference"].get<std::string>() + "_" +
                         capture.racingNumber + "_2023030";
    EXPECT_TRUE(capture.path.starts_with(prefix) && capture.path.ends_with(".mp3")) << capture.path;
    std::string clip = readAll(snapshot / (bahrainRace + capture.path));
    EXPECT_TRUE(startsLikeMp3(clip)) << capture.path;
    EXPECT_LT(clip.size(), 20'000u) << capture.path;
  }
}

TEST(GeneratedTeamRadio, ReplayedSessionGetsItsCapturesOneByOne) {
  std::string folder = bakuMeeting + "2023-04-29_Sprint/";
  auto stream = livefeed::parseStream(readAll(snapshot / (folder + "TeamRadio.jsonStream")));
  ASSERT_GE(stream.updates.size(), 5u);
  EXPECT_EQ(stream.skippedLines, 0u);
  EXPECT_EQ(livefeed::foldAll(stream), document(folder + "TeamRadio.json"));
  // The replay starts at lap 3 (now): the first capture is already out, the last one not yet.
  livefeed::StreamReplay replay(std::move(stream));
  EXPECT_EQ(replay.stateAt(std::chrono::minutes{50})["Captures"].size(), 1u);
  auto radio = decoded<livetiming::TeamRadioModel>(folder + "TeamRadio.json");
  for (const auto& capture : radio.captures)
    EXPECT_TRUE(startsLikeMp3(readAll(snapshot / (folder + capture.path)))) << capture.path;
}

TEST(GeneratedRaceControlMessages, ReplayedSessionGetsItsTrackStatusChangesAndTheChequeredFlag) {
  std::string folder = bakuMeeting + "2023-04-29_Sprint/";
  auto messages = decoded<livetiming::RaceControlMessageModel>(folder + "RaceControlMessages.json").messages;
  ASSERT_EQ(messages.size(), 13u);  // twelve recorded status changes and the finish
  EXPECT_EQ(messages.front().message, "YELLOW FLAG ON TRACK");
  EXPECT_EQ(messages.front().flag, "YELLOW");
  EXPECT_EQ(messages[10].message, "SAFETY CAR DEPLOYED");
  EXPECT_EQ(messages[10].category, "SafetyCar");
  EXPECT_EQ(messages[10].lap, 3);
  EXPECT_EQ(messages.back().flag, "CHEQUERED");
  EXPECT_EQ(messages.back().lap, 17);
  // The recorded "Started" status falls on the scheduled start, 13:30 UTC.
  EXPECT_EQ(messages[8].utc, "2023-04-29T13:31:40");

  auto stream = livefeed::parseStream(readAll(snapshot / (folder + "RaceControlMessages.jsonStream")));
  EXPECT_EQ(stream.skippedLines, 0u);
  EXPECT_EQ(livefeed::foldAll(stream), document(folder + "RaceControlMessages.json"));
  // Bahrain's messages are recorded and stay as they were.
  EXPECT_EQ(decoded<livetiming::RaceControlMessageModel>(bahrainRace + "RaceControlMessages.json").messages.size(), 73u);
}

TEST(GeneratedPictures, HeadshotsAndCircuitMapsDecodeAtTheAddressesTheAppBuilds) {
  std::set<std::string> addresses;
  for (const auto& list : filesNamed("DriverList.json")) {
    Json entries = document(list);
    for (const auto& [number, entry] : entries.items())
      if (entry.is_object() && entry.contains("HeadshotUrl") && entry.contains("LastName")) {
        std::string url = entry["HeadshotUrl"];
        addresses.insert(imageFile(url.substr(url.find('/', 8), url.find(".transform") - url.find('/', 8))));
      }
  }
  ASSERT_GE(addresses.size(), 20u);
  auto places = foundation::JSONDecoder{}.decode<circuitDetailsModel>(
      foundation::Data::fromString(CircuitDetailsJSON::shared().circuitDetailsJSON));
  ASSERT_TRUE(places);
  for (const auto& [locality, place] : places->places) {
    std::string path = offline_season::circuitMapUrlPath(place.name);
    ASSERT_NE(path.find("Circuit%20maps%2016x9/"), std::string::npos);
    addresses.insert(imageFile(path));
  }
  for (const auto& path : addresses) {
    std::string bytes = readAll(snapshot / path);
    ASSERT_FALSE(bytes.empty()) << path;
    EXPECT_TRUE(gfx::Image::fromData(foundation::Data::fromString(bytes))) << path;
    EXPECT_LT(bytes.size(), 10'000u) << path;
  }
}

TEST(GeneratedFlags, EveryRaceCountryOfTheSeasonHasItsFlag) {
  auto flags = foundation::JSONDecoder{}.decode<std::vector<CountryFlagsModel>>(
      foundation::Data::fromString(CountryFlagsJSON::shared().countryFlagsJSON));
  ASSERT_TRUE(flags);
  Json calendar = document("results-api/2023.json");
  for (const Json& race : calendar["MRData"]["RaceTable"]["Races"]) {
    const CountryFlagsModel* flag = flagForCountry(*flags, race["Circuit"]["Location"]["country"].get<std::string>());
    ASSERT_NE(flag, nullptr) << race["raceName"];
    std::string svg = readAll(snapshot / ("flags" + flag->flag.substr(flag->flag.find("/2/svg/"))));
    EXPECT_NE(svg.find("<svg"), std::string::npos) << flag->flag;
  }
  EXPECT_TRUE(fs::exists(snapshot / "flags/LICENSE-flag-icons"));
  EXPECT_TRUE(fs::exists(snapshot / "flags/2/svg/1f3f4-e0067-e0062-e0073-e0063-e0074-e007f.svg"));  // Scotland
}

// Collects each item's title and pubDate text, as the app's reader does.
class FeedItems : public foundation::XMLParserDelegate {
public:
  struct Item {
    std::string title, link, pubDate;
  };
  std::vector<Item> items;

  void didStartElement(foundation::XMLParser&, const std::string& name, const std::map<std::string, std::string>&) override {
    if (name == "item") items.emplace_back();
    text_.clear();
  }
  void foundCharacters(foundation::XMLParser&, std::string_view characters) override { text_ += characters; }
  void didEndElement(foundation::XMLParser&, const std::string& name) override {
    if (items.empty()) return;
    if (name == "title") items.back().title = text_;
    if (name == "link") items.back().link = text_;
    if (name == "pubDate") items.back().pubDate = text_;
  }

private:
  std::string text_;
};

TEST(GeneratedNews, FiveFeedsTellEachDatedStoryOnce) {
  foundation::DateFormatter formatter;
  formatter.setLocale(foundation::Locale("en_US_POSIX"));
  formatter.setDateFormat("E, dd MMM yyyy HH:mm:ss Z");
  std::vector<std::string> titles;
  for (const char* feed : {"rss/fia/rss/press-release", "rss/autosport/rss/f1/news/index.xml", "rss/gpblog/en/rss",
                           "rss/bbc/sport/formula1/rss.xml", "rss/shiftf1/rss"}) {
    foundation::XMLParser parser(foundation::Data::fromString(readAll(snapshot / feed)));
    auto items = std::make_shared<FeedItems>();
    parser.setDelegate(items);
    ASSERT_TRUE(parser.parse()) << feed;
    ASSERT_GE(items->items.size(), 2u) << feed;
    for (const auto& item : items->items) {
      EXPECT_TRUE(formatter.date(item.pubDate)) << feed << ": " << item.pubDate;
      EXPECT_TRUE(item.link.starts_with("https://")) << item.link;
      EXPECT_EQ(std::ranges::count(titles, item.title), 0) << item.title << " is in two feeds";
      titles.push_back(item.title);
    }
  }
}

TEST(GeneratedTeamRadio, ClipsAreSpokenAgainWhenTheMediaToolsArePresent) {
  if (std::system("command -v espeak-ng >/dev/null 2>&1 && command -v lame >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "espeak-ng or lame not installed";
  const char* configured = std::getenv("SORVANE_RECORDED_FIXTURES");
  fs::path fixtures = configured ? fs::path(configured) : fs::path(SORVANE_SOURCE_DIR).parent_path() / "shared/fixtures";
  if (!fs::exists(fixtures / "MANIFEST.tsv"))
    GTEST_SKIP() << "recorded data not reachable: no " << (fixtures / "MANIFEST.tsv").string()
                 << " (set SORVANE_RECORDED_FIXTURES, or put the shared folder beside the checkout)";

  offline_season::BuildOptions options;
  options.fixtures = fixtures;
  options.withMedia = true;
  auto built = offline_season::buildSnapshot(options, {offline_season::produceResultsApi, offline_season::produceLiveTiming,
                                                       offline_season::produceTeamRadio});
  ASSERT_TRUE(built) << built.error();
  int clips = 0;
  for (const auto& [path, file] : built->files())
    if (path.ends_with(".mp3")) {
      ++clips;
      EXPECT_TRUE(startsLikeMp3(file.bytes)) << path;
      EXPECT_TRUE(fs::exists(snapshot / path)) << path << " is not committed";
    }
  EXPECT_GE(clips, 5);
}

// The TimingData stream derived for a replayed race without one: positions, laps and stops from what
// the recording holds, read back with the app's own timing model.
livetiming::TimingData timingOf(const Json& state) {
  auto decoded = foundation::JSONDecoder{}.decode<livetiming::TimingData>(foundation::Data::fromString(state.dump()));
  EXPECT_TRUE(decoded) << (decoded ? "" : decoded.error().debugDescription);
  return decoded ? *decoded : livetiming::TimingData{};
}

std::string line(milliseconds elapsed, const Json& delta) { return livefeed::streamLine(elapsed, delta); }

TEST(DerivedTiming, PlacesLapsAndStopsFollowTheRecordedRunningOrderStintsAndLapCount) {
  // Two cars: "1" starts on used tyres (3 laps on them), "44" on new ones; "44" stops after lap 2.
  std::string appData =
      line(milliseconds{1000}, Json::parse(R"({"Lines":{"1":{"RacingNumber":"1","Stints":[]},"44":{"RacingNumber":"44","Stints":[]}}})")) +
      line(milliseconds{2000}, Json::parse(R"({"Lines":{"1":{"Line":2},"44":{"Line":1}}})")) +
      line(seconds{10}, Json::parse(R"({"Lines":{"1":{"Stints":[{"TotalLaps":3,"StartLaps":3}]},"44":{"Stints":[{"TotalLaps":0,"StartLaps":0}]}}})")) +
      line(seconds{100}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":4}}},"44":{"Stints":{"0":{"TotalLaps":1}}}}})")) +
      line(seconds{190}, Json::parse(R"({"Lines":{"1":{"Line":1,"Stints":{"0":{"TotalLaps":5}}},"44":{"Line":2,"Stints":{"0":{"TotalLaps":2}}}}})")) +
      line(seconds{200}, Json::parse(R"({"Lines":{"44":{"Stints":{"1":{"TotalLaps":0,"StartLaps":0}}}}})")) +
      // A stint count that runs past the race's lap (a recording glitch) is held to it.
      line(seconds{280}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":9}}},"44":{"Stints":{"1":{"TotalLaps":1}}}}})"));
  std::string lapCount = line(milliseconds{500}, Json::parse(R"({"CurrentLap":1,"TotalLaps":3})")) +
                         line(seconds{95}, Json::parse(R"({"CurrentLap":2})")) +
                         line(seconds{185}, Json::parse(R"({"CurrentLap":3})"));

  auto stream = livefeed::parseStream(offline_season::derivedTimingStream("\xEF\xBB\xBF" + appData, "\xEF\xBB\xBF" + lapCount));
  EXPECT_EQ(stream.skippedLines, 0u);
  ASSERT_FALSE(stream.updates.empty());
  EXPECT_EQ(stream.updates.front().elapsed, milliseconds{1000}) << "the cars appear when the recording names them";
  livefeed::StreamReplay replay(std::move(stream));

  auto start = timingOf(replay.stateAt(seconds{5}));
  ASSERT_EQ(start.lines.size(), 2u);
  EXPECT_EQ(start.lines["44"].position, "1");
  EXPECT_EQ(start.lines["1"].position, "2");
  EXPECT_EQ(start.lines["1"].numberOfLaps, 0);
  EXPECT_FALSE(start.lines["1"].intervalToPositionAhead) << "no gap was recorded, none is made up";
  EXPECT_FALSE(start.lines["1"].gapToLeader);
  EXPECT_FALSE(start.lines["1"].lastLapTime.value);

  auto lapOne = timingOf(replay.stateAt(seconds{150}));
  EXPECT_EQ(lapOne.lines["1"].numberOfLaps, 1) << "laps on used tyres count from when they were fitted";
  EXPECT_EQ(lapOne.lines["44"].numberOfLaps, 1);
  EXPECT_EQ(lapOne.lines["44"].numberOfPitStops, 0);

  auto afterStop = timingOf(replay.stateAt(seconds{250}));
  EXPECT_EQ(afterStop.lines["1"].position, "1");
  EXPECT_EQ(afterStop.lines["44"].position, "2");
  EXPECT_EQ(afterStop.lines["44"].numberOfPitStops, 1);
  EXPECT_EQ(afterStop.lines["44"].numberOfLaps, 2);

  auto end = timingOf(replay.stateAt(seconds{300}));
  EXPECT_EQ(end.lines["1"].numberOfLaps, 3) << "never above the race's lap";
  EXPECT_EQ(end.lines["44"].numberOfLaps, 3) << "both stints' laps";
}

TEST(DerivedTiming, ACarWhoseStintsStopCountingReachesItsClassifiedLaps) {
  // "1" counts every lap; "23" (on the leader's lap at the end) and "4" (one lap down) lose their
  // stint counts after lap 1. The race runs four laps.
  std::string appData =
      line(milliseconds{1000}, Json::parse(R"({"Lines":{"1":{"Line":1,"Stints":[{"TotalLaps":0,"StartLaps":0}]},
                                                        "23":{"Line":2,"Stints":[{"TotalLaps":0,"StartLaps":0}]},
                                                        "4":{"Line":3,"Stints":[{"TotalLaps":0,"StartLaps":0}]}}})")) +
      line(seconds{100}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":1}}},
                                                  "23":{"Stints":{"0":{"TotalLaps":1}}},
                                                  "4":{"Stints":{"0":{"TotalLaps":1}}}}})")) +
      line(seconds{200}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":2}}}}})")) +
      line(seconds{300}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":3}}}}})")) +
      line(seconds{400}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":4}}}}})"));
  std::string lapCount = line(milliseconds{500}, Json::parse(R"({"CurrentLap":1,"TotalLaps":4})")) +
                         line(seconds{95}, Json::parse(R"({"CurrentLap":2})")) +
                         line(seconds{195}, Json::parse(R"({"CurrentLap":3})")) +
                         line(seconds{295}, Json::parse(R"({"CurrentLap":4})"));
  const std::map<std::string, std::int64_t> classified{{"1", 4}, {"23", 4}, {"4", 3}};
  livefeed::StreamReplay replay(
      livefeed::parseStream(offline_season::derivedTimingStream("\xEF\xBB\xBF" + appData, "\xEF\xBB\xBF" + lapCount,
                                                                classified)));

  auto lapOne = timingOf(replay.stateAt(seconds{150}));
  EXPECT_EQ(lapOne.lines["23"].numberOfLaps, 1) << "the recorded stints hold while they count";
  auto lapTwo = timingOf(replay.stateAt(seconds{250}));
  EXPECT_EQ(lapTwo.lines["23"].numberOfLaps, 2) << "on the leader's lap: the leader's laps";
  EXPECT_EQ(lapTwo.lines["4"].numberOfLaps, 1) << "a lap down, its recorded lap still holds";
  auto lapThree = timingOf(replay.stateAt(seconds{350}));
  EXPECT_EQ(lapThree.lines["23"].numberOfLaps, 3);
  EXPECT_FALSE(lapThree.lines["4"].numberOfLaps) << "lapped: not known, not made up";
  auto end = timingOf(replay.stateAt(seconds{450}));
  EXPECT_EQ(end.lines["1"].numberOfLaps, 4);
  EXPECT_EQ(end.lines["23"].numberOfLaps, 4);
  EXPECT_EQ(end.lines["4"].numberOfLaps, 3) << "the classified count at the finish";

  // Without a result nothing is completed: the stints' laps stay.
  livefeed::StreamReplay alone(
      livefeed::parseStream(offline_season::derivedTimingStream("\xEF\xBB\xBF" + appData, "\xEF\xBB\xBF" + lapCount)));
  EXPECT_EQ(timingOf(alone.stateAt(seconds{450})).lines["23"].numberOfLaps, 1);
}

TEST(DerivedTiming, BahrainsRaceReplaysFromTheCommittedStreamAndEndsInTheClassifiedOrder) {
  auto stream = livefeed::parseStream(readAll(snapshot / (bahrainRace + "TimingData.jsonStream")));
  EXPECT_EQ(stream.skippedLines, 0u);
  ASSERT_GT(stream.updates.size(), 400u) << "every change of the running order and of a car's laps";
  livefeed::StreamReplay replay(std::move(stream));

  // Half an hour after the start (01:02:36 into the streams) the cars are some laps in.
  auto running = timingOf(replay.stateAt(std::chrono::hours{1} + std::chrono::minutes{32}));
  ASSERT_EQ(running.lines.size(), 20u);
  auto leader = std::ranges::find(running.lines, "1", [](const auto& entry) { return entry.second.position; });
  ASSERT_NE(leader, running.lines.end());
  EXPECT_GT(*leader->second.numberOfLaps, 10);
  EXPECT_LT(*leader->second.numberOfLaps, 57);

  auto end = timingOf(livefeed::foldAll(livefeed::parseStream(readAll(snapshot / (bahrainRace + "TimingData.jsonStream")))));
  EXPECT_EQ(end.lines["1"].position, "1");
  EXPECT_EQ(end.lines["1"].numberOfLaps, 57);
  EXPECT_EQ(end.lines["1"].numberOfPitStops, 2);
  EXPECT_EQ(end.lines["11"].position, "2");
  EXPECT_EQ(end.lines["14"].position, "3");
  EXPECT_EQ(end.lines["81"].numberOfLaps, 13) << "Piastri stopped on lap 13";
  // Every car ends on the laps the race's result classifies it with, Albon's last stint (no laps
  // recorded) included.
  const Json results = Json::parse(readAll(snapshot / "results-api/2023/1/results.json"));
  for (const Json& row : results["MRData"]["RaceTable"]["Races"][0]["Results"])
    EXPECT_EQ(end.lines[row["number"].get<std::string>()].numberOfLaps, std::stoll(row["laps"].get<std::string>()))
        << "car " << row["number"];
}

}  // namespace
