#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "offline_season/ResultsDerivation.h"

#include "ReadAll.h"

namespace {

using offline_season::Json;
using offline_season::StandingsKind;

Json fixture(const std::string& name) {
  return Json::parse(readAll(std::string(SORVANE_TEST_FIXTURES) + "/offline-season/" + name));
}

// The two recordings were made years apart: the reference data attached to each row (Wikipedia
// links, a driver's permanent number at recording time) drifted, the results did not.
Json withoutReferenceDrift(Json race) {
  for (auto& rows : race.items()) {
    if (!rows.value().is_array()) continue;
    for (auto& row : rows.value()) {
      if (row.contains("Constructor")) row["Constructor"].erase("url");
      if (row.contains("Driver")) row["Driver"].erase("permanentNumber");
    }
  }
  return race;
}

void expectSameRound(const Json& derived, const Json& recorded) {
  const Json& ours = derived["MRData"];
  const Json& theirs = recorded["MRData"];
  for (const char* key : {"series", "limit", "offset", "total"}) EXPECT_EQ(ours[key], theirs[key]) << key;
  EXPECT_EQ(ours["RaceTable"]["season"], theirs["RaceTable"]["season"]);
  EXPECT_EQ(ours["RaceTable"]["round"], theirs["RaceTable"]["round"]);
  ASSERT_EQ(ours["RaceTable"]["Races"].size(), 1u);
  EXPECT_EQ(withoutReferenceDrift(ours["RaceTable"]["Races"][0]),
            withoutReferenceDrift(theirs["RaceTable"]["Races"][0]));
  // Same members in the same order as the service's own one-round answer.
  std::vector<std::string> ourKeys, theirKeys;
  for (auto& item : ours.items()) ourKeys.push_back(item.key());
  for (auto& item : theirs.items()) theirKeys.push_back(item.key());
  EXPECT_EQ(ourKeys, theirKeys);
}

TEST(RoundFromSeason, MatchesTheRecordedOneRoundRaceResult) {
  auto derived = offline_season::roundFromSeason(fixture("2023-results.json"), 1);
  ASSERT_TRUE(derived) << derived.error();
  expectSameRound(*derived, fixture("2023-1-results.json"));
  EXPECT_EQ((*derived)["MRData"]["url"], "http://testserver/ergast/f1/2023/1/results.json");
}

TEST(RoundFromSeason, MatchesTheRecordedOneRoundSprintResult) {
  auto derived = offline_season::roundFromSeason(fixture("2023-sprint.json"), 4);
  ASSERT_TRUE(derived) << derived.error();
  expectSameRound(*derived, fixture("2023-4-sprint.json"));
}

TEST(RoundFromSeason, RefusesRoundsThePageDoesNotHoldWhole) {
  auto season = fixture("2023-results.json");  // 30 of 440 rows: round 1 whole, round 2 cut
  EXPECT_FALSE(offline_season::roundFromSeason(season, 2));
  EXPECT_FALSE(offline_season::roundFromSeason(season, 3));
  // A later page may begin in the middle of its first round.
  season["MRData"]["offset"] = "30";
  EXPECT_FALSE(offline_season::roundFromSeason(season, 1));
  // The last round of the last page is whole.
  season["MRData"]["offset"] = "0";
  season["MRData"]["total"] = "30";
  EXPECT_TRUE(offline_season::roundFromSeason(season, 2));
}

TEST(RoundFromSeason, RefusesDocumentsWithoutAPagedRaceTable) {
  EXPECT_FALSE(offline_season::roundFromSeason(Json::parse("{}"), 1));
  EXPECT_FALSE(offline_season::roundFromSeason(
      Json::parse(R"({"MRData":{"limit":"30","offset":"0","total":"0","RaceTable":{}}})"), 1));
  EXPECT_FALSE(offline_season::roundFromSeason(
      Json::parse(R"({"MRData":{"limit":"30","offset":"0","RaceTable":{"Races":[]}}})"), 1));
  auto wrongTypes = offline_season::roundFromSeason(
      Json::parse(R"({"MRData":{"limit":"30","offset":"0","total":"1","url":7,
                     "RaceTable":{"Races":[{"round":"1","Results":[{}]}]}}})"), 1);
  ASSERT_FALSE(wrongTypes);
  EXPECT_NE(wrongTypes.error().find("unexpected document"), std::string::npos);
}

TEST(OpeningStandings, ConstructorsMatchTheRecordedStandingsAfterRoundOne) {
  auto derived = offline_season::standingsAfterOpeningRound(fixture("2023-1-results.json"),
                                                            StandingsKind::constructors);
  ASSERT_TRUE(derived) << derived.error();
  const Json recorded = fixture("2023-1-constructorStandings.json")["MRData"];
  const Json& ours = (*derived)["MRData"];
  EXPECT_EQ(ours["total"], recorded["total"]);
  const Json& ourRows = ours["StandingsTable"]["StandingsLists"][0]["ConstructorStandings"];
  const Json& theirRows = recorded["StandingsTable"]["StandingsLists"][0]["ConstructorStandings"];
  ASSERT_EQ(ourRows.size(), theirRows.size());
  for (std::size_t index = 0; index < ourRows.size(); ++index) {
    for (const char* key : {"position", "positionText", "points", "wins"})
      EXPECT_EQ(ourRows[index][key], theirRows[index][key]) << index << " " << key;
    EXPECT_EQ(ourRows[index]["Constructor"]["constructorId"], theirRows[index]["Constructor"]["constructorId"]);
  }
}

TEST(OpeningStandings, DriversRankByPointsThenFinish) {
  auto derived = offline_season::standingsAfterOpeningRound(fixture("2023-1-results.json"),
                                                            StandingsKind::drivers);
  ASSERT_TRUE(derived) << derived.error();
  const Json& list = (*derived)["MRData"]["StandingsTable"]["StandingsLists"][0];
  EXPECT_EQ(list["round"], "1");
  const Json& rows = list["DriverStandings"];
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows[0]["Driver"]["driverId"], "max_verstappen");
  EXPECT_EQ(rows[0]["points"], "25");
  EXPECT_EQ(rows[0]["wins"], "1");
  EXPECT_EQ(rows[0]["Constructors"][0]["constructorId"], "red_bull");
  const Json results = fixture("2023-1-results.json")["MRData"]["RaceTable"]["Races"][0]["Results"];
  // In a single race nobody outscores someone who finished ahead of them.
  for (std::size_t index = 0; index < rows.size(); ++index)
    EXPECT_EQ(rows[index]["Driver"]["driverId"], results[index]["Driver"]["driverId"]) << index;
}

// A page of the service holding rows of round `round`: {position, driver, team, points}.
Json pageWith(int round, const char* rowKey, std::vector<std::tuple<int, std::string, std::string, std::string>> rows) {
  Json race = {{"season", "2023"}, {"round", std::to_string(round)}, {rowKey, Json::array()}};
  for (const auto& [position, driver, team, points] : rows)
    race[rowKey].push_back({{"position", std::to_string(position)}, {"points", points},
                            {"Driver", {{"driverId", driver}}}, {"Constructor", {{"constructorId", team}}}});
  return {{"MRData", {{"url", "https://api.test/ergast/f1/2023/results.json"}, {"limit", "30"},
                      {"RaceTable", {{"season", "2023"}, {"Races", Json::array({race})}}}}}};
}

TEST(LaterStandings, RoundsCountOnlyWhenTheirPagesHoldEveryScoringRow) {
  using offline_season::RoundKind;
  // Round 2 spread over two pages: winner to P2 on one, P3 (nothing scored) on another.
  const std::vector<Json> pages{pageWith(2, "Results", {{1, "a", "x", "25"}, {2, "b", "y", "18"}}),
                                pageWith(2, "Results", {{3, "c", "y", "0"}, {2, "b", "y", "18"}})};
  auto rows = offline_season::scoringRowsOfRound(pages, 2, RoundKind::race);
  ASSERT_TRUE(rows) << rows.error();
  const Json& race = (*rows)["MRData"]["RaceTable"]["Races"][0];
  ASSERT_EQ(race["Results"].size(), 3u);
  EXPECT_EQ(race["Results"][2]["Driver"]["driverId"], "c");
  EXPECT_EQ((*rows)["MRData"]["url"], "https://api.test/ergast/f1/2023/2/results.json");

  // Only the top two: whoever came third may have scored.
  EXPECT_FALSE(offline_season::scoringRowsOfRound({pages[0]}, 2, RoundKind::race));
  // A gap before the row that scored nothing.
  EXPECT_FALSE(offline_season::scoringRowsOfRound({pageWith(2, "Results", {{1, "a", "x", "25"}, {3, "c", "y", "0"}})},
                                                  2, RoundKind::race));
  // Two recordings that disagree, and a round no page holds.
  EXPECT_FALSE(offline_season::scoringRowsOfRound({pages[0], pageWith(2, "Results", {{2, "c", "y", "18"}})}, 2,
                                                  RoundKind::race));
  EXPECT_FALSE(offline_season::scoringRowsOfRound(pages, 2, RoundKind::sprint));
}

TEST(LaterStandings, SumRacesAndSprintsAndRankAMissingRowBehindEveryRecordedOne) {
  using offline_season::RoundKind;
  auto one = [](const Json& page, int round, RoundKind kind) {
    return *offline_season::scoringRowsOfRound({page}, round, kind);
  };
  // "b" and "d" end level on points and best finish (P2); "b" has no row in round 2's race (it
  // retired, unrecorded), so "d"'s P3 wins the count-back. A sprint adds points but no win.
  const std::vector<Json> rounds{
      one(pageWith(1, "Results", {{1, "a", "x", "25"}, {2, "b", "y", "1"}, {3, "d", "y", "0"}}), 1, RoundKind::race),
      one(pageWith(2, "SprintResults", {{1, "b", "y", "8"}, {2, "a", "x", "0"}}), 2, RoundKind::sprint),
      one(pageWith(2, "Results", {{1, "a", "x", "25"}, {2, "d", "y", "9"}, {3, "e", "z", "0"}}), 2, RoundKind::race)};
  auto drivers = offline_season::standingsAfterRounds(rounds, 2, StandingsKind::drivers);
  ASSERT_TRUE(drivers) << drivers.error();
  const Json& list = (*drivers)["MRData"]["StandingsTable"]["StandingsLists"][0];
  EXPECT_EQ(list["round"], "2");
  std::vector<std::tuple<std::string, std::string, std::string>> table;
  for (const Json& row : list["DriverStandings"])
    table.emplace_back(row["Driver"]["driverId"], row["points"], row["wins"]);
  EXPECT_EQ(table, (std::vector<std::tuple<std::string, std::string, std::string>>{
                       {"a", "50", "2"}, {"d", "9", "0"}, {"b", "9", "0"}, {"e", "0", "0"}}));
  auto teams = offline_season::standingsAfterRounds(rounds, 2, StandingsKind::constructors);
  ASSERT_TRUE(teams);
  EXPECT_EQ((*teams)["MRData"]["StandingsTable"]["StandingsLists"][0]["ConstructorStandings"][0]["points"], "50");
  EXPECT_EQ((*teams)["MRData"]["StandingsTable"]["StandingsLists"][0]["ConstructorStandings"][1]["points"], "18");
  // A result of a round after the one asked for is refused.
  EXPECT_FALSE(offline_season::standingsAfterRounds(rounds, 1, StandingsKind::drivers));
}

TEST(OpeningStandings, RefusesLaterRounds) {
  auto later = fixture("2023-4-sprint.json");
  EXPECT_FALSE(offline_season::standingsAfterOpeningRound(later, StandingsKind::drivers));
  EXPECT_FALSE(offline_season::standingsAfterOpeningRound(Json::parse("[]"), StandingsKind::drivers));
}

}  // namespace

namespace {

Json snapshotDocument(const std::string& path) {
  std::ifstream in(std::string(SORVANE_SOURCE_DIR) + "/data/offline-season/" + path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return Json::parse(bytes.str());
}

TEST(LapFromRace, CutsTheRecordedOneLapAnswerOutOfTheRacesLapsPage) {
  auto page = snapshotDocument("results-api/2023/1/laps.limit=1200.json");  // laps 1 to 5 of 57
  auto derived = offline_season::lapFromRace(page, 1);
  ASSERT_TRUE(derived) << derived.error();
  EXPECT_EQ(*derived, snapshotDocument("results-api/2023/1/laps/1.json"));

  auto third = offline_season::lapFromRace(page, 3);
  ASSERT_TRUE(third) << third.error();
  EXPECT_EQ((*third)["MRData"]["url"], "https://api.jolpi.ca/ergast/f1/2023/1/laps/3.json");
  EXPECT_EQ((*third)["MRData"]["total"], "20");
  EXPECT_EQ((*third)["MRData"]["RaceTable"]["Races"][0]["Laps"][0]["number"], "3");
}

TEST(LapFromRace, RefusesLapsThePageCutsOrDoesNotHold) {
  auto page = snapshotDocument("results-api/2023/1/laps.limit=1200.json");
  EXPECT_FALSE(offline_season::lapFromRace(page, 5)) << "the page ends inside lap 5, as far as it can tell";
  EXPECT_FALSE(offline_season::lapFromRace(page, 9));
  page["MRData"]["offset"] = "100";
  EXPECT_FALSE(offline_season::lapFromRace(page, 1));
  EXPECT_FALSE(offline_season::lapFromRace(Json::parse("{}"), 1));
  EXPECT_FALSE(offline_season::lapFromRace(Json::parse(R"({"MRData":{"offset":"0","total":"1"}})"), 1));
  EXPECT_FALSE(offline_season::lapFromRace(Json::parse(R"({"MRData":{"offset":"0","total":"1","RaceTable":{"Races":7}}})"), 1));
}

}  // namespace
