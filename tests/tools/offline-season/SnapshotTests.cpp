#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <unistd.h>

#include "offline_season/ResultsDerivation.h"
#include "offline_season/SnapshotBuilder.h"

#include "ReadAll.h"

namespace {

namespace fs = std::filesystem;

const fs::path committed = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season";

std::set<std::string> filesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).generic_string());
  return files;
}

// The recorded data is not part of a checkout: SORVANE_RECORDED_FIXTURES names it, else the
// shared folder beside the project is tried.
std::optional<fs::path> recordedFixtures() {
  if (const char* configured = std::getenv("SORVANE_RECORDED_FIXTURES"))
    return fs::exists(fs::path(configured) / "MANIFEST.tsv") ? std::optional(fs::path(configured)) : std::nullopt;
  fs::path beside = fs::path(SORVANE_SOURCE_DIR).parent_path() / "shared/fixtures";
  if (fs::exists(beside / "MANIFEST.tsv")) return beside;
  return std::nullopt;
}

TEST(CommittedSnapshot, ListsTheOriginOfEveryFile) {
  std::set<std::string> listed;
  std::istringstream lines(readAll(committed / "SOURCES.tsv"));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with('#') || line.starts_with("path\t")) continue;
    auto path = line.substr(0, line.find('\t'));
    auto origin = line.substr(path.size() + 1, line.find('\t', path.size() + 1) - path.size() - 1);
    EXPECT_TRUE(origin == "recorded" || origin == "derived" || origin == "generated") << line;
    listed.insert(path);
  }
  EXPECT_EQ(listed, filesUnder(committed));
}

TEST(CommittedSnapshot, IsWhatTheBuilderWritesFromTheRecordedData) {
  auto fixtures = recordedFixtures();
  if (!fixtures) {
    const char* configured = std::getenv("SORVANE_RECORDED_FIXTURES");
    GTEST_SKIP() << "recorded data not reachable: no MANIFEST.tsv in "
                 << (configured ? fs::path(configured) : fs::path(SORVANE_SOURCE_DIR).parent_path() / "shared/fixtures").string()
                 << (configured ? " (SORVANE_RECORDED_FIXTURES)" : " (set SORVANE_RECORDED_FIXTURES to name another folder)");
  }

  offline_season::BuildOptions options;
  options.fixtures = *fixtures;
  options.existingMedia = committed;  // spoken clips differ between speech-synthesiser versions
  auto snapshot = offline_season::buildSnapshot(options, offline_season::defaultProducers());
  ASSERT_TRUE(snapshot) << snapshot.error();
  fs::path output = fs::temp_directory_path() / ("offline-season-" + std::to_string(::getpid()));
  ASSERT_TRUE(snapshot->writeTo(output));

  auto written = filesUnder(output);
  EXPECT_EQ(written, filesUnder(committed));
  for (const auto& path : written)
    EXPECT_TRUE(readAll(output / path) == readAll(committed / path)) << path << " differs";
  fs::remove_all(output);
}

// The standings the snapshot serves for the current season, as (round, leader's points) of the
// drivers' and the constructors' tables, when built with `now`.
std::vector<std::pair<std::string, std::string>> currentStandings(const fs::path& fixtures, const std::string& now) {
  offline_season::BuildOptions options;
  options.fixtures = fixtures;
  options.existingMedia = committed;
  options.now = now;
  // The results service alone: the standings are its files.
  auto snapshot = offline_season::buildSnapshot(options, {offline_season::produceResultsApi});
  if (!snapshot) return {{"error", snapshot.error()}};
  std::vector<std::pair<std::string, std::string>> served;
  for (const std::string path :
       {"results-api/current/driverStandings.json", "results-api/current/constructorStandings.json",
        "results-api/2023/driverStandings.json", "results-api/2023/constructorStandings.json"}) {
    const auto* file = snapshot->find(path);
    if (!file) {
      served.emplace_back("none", path);
      continue;
    }
    auto document = offline_season::Json::parse(file->bytes);
    const auto& list = document["MRData"]["StandingsTable"]["StandingsLists"][0];
    const auto& rows = list.contains("DriverStandings") ? list["DriverStandings"] : list["ConstructorStandings"];
    served.emplace_back(list["round"].get<std::string>(), rows[0]["points"].get<std::string>());
  }
  return served;
}

TEST(SnapshotBuilder, ServesTheStandingsAfterTheLastFinishedRoundItCanDerive) {
  auto fixtures = recordedFixtures();
  if (!fixtures) GTEST_SKIP() << "recorded data not reachable (set SORVANE_RECORDED_FIXTURES)";
  using Served = std::vector<std::pair<std::string, std::string>>;
  // The default now: rounds 1-3 finished, round 3's result recorded for its first two places only,
  // so the standings are those after round 2.
  EXPECT_EQ(currentStandings(*fixtures, offline_season::BuildOptions{}.now),
            (Served{{"2", "44"}, {"2", "87"}, {"2", "44"}, {"2", "87"}}));
  // Between the Bahrain and Saudi Arabian races: after round 1, not the later rounds already derived.
  EXPECT_EQ(currentStandings(*fixtures, "2023-03-12T12:00:00Z"),
            (Served{{"1", "25"}, {"1", "43"}, {"1", "25"}, {"1", "43"}}));
  // After the Saudi Arabian race.
  EXPECT_EQ(currentStandings(*fixtures, "2023-03-20T12:00:00Z"),
            (Served{{"2", "44"}, {"2", "87"}, {"2", "44"}, {"2", "87"}}));
}

// After a session the feed may hand its driver list to another series: later updates rename the cars
// and delete their teams and names. The static list is the session's own cars, each still whole.
TEST(SnapshotBuilder, DriverListKeepsTheSessionsCarsWhenTheFeedMovesOnToAnotherSeries) {
  const fs::path fixtures = fs::temp_directory_path() / ("driver-list-fixtures-" + std::to_string(::getpid()));
  const std::string session = "livetiming/2023/2023-07-23_Hungarian_Grand_Prix/2023-07-21_Practice_1/";
  fs::create_directories(fixtures / session);
  std::ofstream(fixtures / "MANIFEST.tsv") << "# recorded files\n";
  std::ofstream(fixtures / "livetiming/2023/Index.json") << "{\"Year\":2023,\"Meetings\":[]}";
  std::ofstream(fixtures / session / "DriverList.jsonStream")
      << "00:00:07.078{\"1\":{\"RacingNumber\":\"1\",\"FullName\":\"Max VERSTAPPEN\",\"Line\":1,"
         "\"TeamName\":\"Red Bull Racing\",\"LastName\":\"Verstappen\"},"
         "\"2\":{\"RacingNumber\":\"2\",\"FullName\":\"Logan SARGEANT\",\"Line\":2,\"TeamName\":\"Williams\","
         "\"LastName\":\"Sargeant\"}}\r\n"
         "00:15:02.771{\"1\":{\"Line\":2},\"2\":{\"Line\":1}}\r\n"
         "01:37:38.294{\"1\":{\"FullName\":\"Paul ARON\",\"Line\":1,\"_deleted\":[\"TeamName\",\"LastName\"]}}\r\n"
         "01:37:40.000{\"2\":{\"Line\":3}}\r\n";

  offline_season::BuildOptions options;
  options.fixtures = fixtures;
  options.replays.clear();
  auto snapshot = offline_season::buildSnapshot(options, {offline_season::produceLiveTiming});
  fs::remove_all(fixtures);
  ASSERT_TRUE(snapshot) << snapshot.error();
  const auto* list = snapshot->find(session + "DriverList.json");
  ASSERT_NE(list, nullptr);
  auto cars = offline_season::Json::parse(list->bytes.substr(list->bytes.find('{')));
  EXPECT_EQ(cars["1"].value("FullName", ""), "Max VERSTAPPEN");
  EXPECT_EQ(cars["1"].value("TeamName", ""), "Red Bull Racing");
  EXPECT_EQ(cars["1"].value("Line", 0), 2);
  EXPECT_EQ(cars["2"].value("LastName", ""), "Sargeant");
  EXPECT_EQ(cars["2"].value("Line", 0), 1);
  EXPECT_NE(list->how.find("the first 2 of 4 updates"), std::string::npos) << list->how;
}

TEST(SnapshotBuilder, ReportsMissingRecordedData) {
  offline_season::BuildOptions options;
  options.fixtures = fs::temp_directory_path() / "no-such-recorded-data";
  auto snapshot = offline_season::buildSnapshot(options, offline_season::defaultProducers());
  ASSERT_FALSE(snapshot);
  EXPECT_NE(snapshot.error().find("MANIFEST.tsv"), std::string::npos);
}

}  // namespace
