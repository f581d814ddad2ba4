// Live-timing session files that no recording has, re-arranged from the recorded ones of the same
// session: TyreStintSeries, TopThree and ChampionshipPrediction.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "SnapshotSupport.h"
#include "livefeed/StreamFold.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

constexpr const char* stintKeys[] = {"Compound", "New", "TyresNotChanged", "TotalLaps", "StartLaps"};

Json stintOf(const Json& recorded) {
  Json stint = Json::object();
  for (const char* key : stintKeys)
    if (recorded.contains(key)) stint[key] = recorded[key];
  return stint;
}

// A recorded stints value (the whole array, or a delta patching elements by index) reduced to the
// keys the tyre series carries; nothing when no such key is left.
std::optional<Json> stintsDelta(const Json& recorded) {
  Json reduced = recorded.is_array() ? Json::array() : Json::object();
  if (recorded.is_array()) {
    for (const Json& element : recorded)
      if (element.is_object()) reduced.push_back(stintOf(element));
    return reduced;  // an empty list is the state before the first stint, worth keeping
  }
  if (!recorded.is_object()) return std::nullopt;
  for (const auto& [index, element] : recorded.items()) {
    if (!element.is_object()) continue;
    Json stint = stintOf(element);
    if (!stint.empty()) reduced[index] = std::move(stint);
  }
  if (reduced.empty()) return std::nullopt;
  return reduced;
}

std::expected<void, std::string> addTyreStints(const BuildContext& context, SeasonSnapshot& snapshot) {
  for (const auto& folder : sessionFoldersWith(snapshot, context.options.season, "TimingAppData.json")) {
    auto appData = snapshotDocument(snapshot, folder + "TimingAppData.json");
    if (!appData) return std::unexpected(folder + "TimingAppData.json is not JSON");
    Json stints = Json::object();
    const Json lines = appData->value("Lines", Json::object());
    for (const auto& [number, line] : lines.items()) {
      if (!line.is_object() || !line.contains("Stints")) continue;
      Json list = Json::array();
      for (const Json& stint : line["Stints"]) list.push_back(stintOf(stint));
      stints[number] = std::move(list);
    }
    std::string source = folder + "TimingAppData.json";
    snapshot.add(folder + "TyreStintSeries.json",
                 {livefeed::keyframeText(Json{{"Stints", stints}}), Origin::derived, {source},
                  "each car's Stints of the folded TimingAppData (Compound, New, TyresNotChanged, "
                  "TotalLaps, StartLaps as recorded), keyed by racing number"});

    // A replayed session needs the series as a stream too, or the live screen would see the end.
    std::string sessionPath = folder.substr(std::string("livetiming/").size());
    std::string streamPath = folder + "TimingAppData.jsonStream";
    const SnapshotFile* recordedStream = snapshot.find(streamPath);
    if (!recordedStream) continue;
    bool replayed = std::ranges::any_of(context.options.replays,
                                        [&](const auto& replay) { return replay.sessionPath == sessionPath; });
    if (!replayed) continue;
    std::string text = "\xEF\xBB\xBF";
    for (const auto& update : livefeed::parseStream(recordedStream->bytes).updates) {
      Json delta = Json::object();
      const Json lines = update.delta.value("Lines", Json::object());
      for (const auto& [number, line] : lines.items())
        if (line.is_object() && line.contains("Stints"))
          if (auto reduced = stintsDelta(line["Stints"])) delta[number] = std::move(*reduced);
      if (!delta.empty()) text += livefeed::streamLine(update.elapsed, Json{{"Stints", delta}});
    }
    snapshot.add(folder + "TyreStintSeries.jsonStream",
                 {std::move(text), Origin::derived, {streamPath},
                  "the Stints updates of the recorded TimingAppData stream at their recorded times, "
                  "reduced to the tyre series' keys; for the live replay (replay.tsv)"});
  }
  return {};
}

std::string text(const Json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string{};
}

// The lap time and gaps a line shows: a knock-out qualifying line reads the last part it set a time
// in, a practice line its best lap, a race line its last lap and race gaps.
struct LineTimes {
  std::string lapTime, diffToAhead, diffToLeader;
};

LineTimes timesOf(const Json& line, bool race) {
  if (race)
    return {text(line.value("LastLapTime", Json::object()), "Value"),
            text(line.value("IntervalToPositionAhead", Json::object()), "Value"), text(line, "GapToLeader")};
  const Json parts = line.value("BestLapTimes", Json::array());
  const Json stats = line.value("Stats", Json::array());
  if (parts.is_array() && stats.is_array() && !parts.empty()) {
    std::size_t part = 0;
    for (std::size_t i = 0; i < parts.size(); ++i)
      if (parts[i].is_object() && !text(parts[i], "Value").empty()) part = i;
    Json stat = part < stats.size() && stats[part].is_object() ? stats[part] : Json::object();
    return {text(parts[part], "Value"), text(stat, "TimeDifftoPositionAhead"), text(stat, "TimeDiffToFastest")};
  }
  return {text(line.value("BestLapTime", Json::object()), "Value"), text(line, "TimeDiffToPositionAhead"),
          text(line, "TimeDiffToFastest")};
}

std::expected<void, std::string> addTopThree(const BuildContext& context, SeasonSnapshot& snapshot) {
  for (const auto& folder : sessionFoldersWith(snapshot, context.options.season, "TimingData.json")) {
    if (snapshot.contains(folder + "TopThree.json")) continue;  // recorded
    auto drivers = sessionDrivers(snapshot, folder);
    auto timing = snapshotDocument(snapshot, folder + "TimingData.json");
    auto info = snapshotDocument(snapshot, folder + "SessionInfo.json");
    if (drivers.empty() || !timing || !timing->contains("Lines")) continue;
    bool race = info && info->value("Type", "") == "Race";

    std::vector<Json> leading;
    for (const auto& [number, line] : (*timing)["Lines"].items())
      if (line.is_object() && line.value("Line", 0) >= 1 && line.value("Line", 0) <= 3) leading.push_back(line);
    std::ranges::sort(leading, {}, [](const Json& line) { return line.value("Line", 0); });
    if (leading.size() != 3) continue;

    Json lines = Json::array();
    for (const Json& line : leading) {
      auto driver = drivers.find(text(line, "RacingNumber"));
      if (driver == drivers.end()) break;
      LineTimes times = timesOf(line, race);
      Json last = line.value("LastLapTime", Json::object());
      lines.push_back(Json{{"Position", text(line, "Position")},
                           {"ShowPosition", line.value("ShowPosition", true)},
                           {"RacingNumber", driver->second.racingNumber},
                           {"Tla", driver->second.tla},
                           {"BroadcastName", driver->second.broadcastName},
                           {"FullName", driver->second.fullName},
                           {"Team", driver->second.teamName},
                           {"TeamColour", driver->second.teamColour},
                           {"LapTime", times.lapTime},
                           {"LapState", 0},
                           {"DiffToAhead", line.value("Line", 0) == 1 ? "" : times.diffToAhead},
                           {"DiffToLeader", line.value("Line", 0) == 1 ? "" : times.diffToLeader},
                           {"OverallFastest", last.value("OverallFastest", false)},
                           {"PersonalFastest", last.value("PersonalFastest", false)}});
    }
    if (lines.size() != 3) continue;
    snapshot.add(folder + "TopThree.json",
                 {livefeed::keyframeText(Json{{"Withheld", timing->value("Withheld", false)}, {"Lines", lines}}),
                  Origin::derived,
                  {folder + "TimingData.json", folder + "DriverList.json"},
                  "the three first lines of the folded TimingData with names, team and colour from the "
                  "session's driver list; times and gaps as recorded (race: last lap and race gaps, "
                  "qualifying: the last part's best lap and its gaps); LapState, not recorded, is 0"});
  }
  return {};
}

// A results-API standings list of the given round, or nothing when the snapshot has none.
std::optional<Json> driverStandingsAfter(const SeasonSnapshot& snapshot, const std::string& season, int round) {
  auto document = snapshotDocument(snapshot, "results-api/" + season + "/" + std::to_string(round) +
                                                 "/driverStandings.json");
  if (!document) return std::nullopt;
  Json lists = (*document)["MRData"].value("StandingsTable", Json::object()).value("StandingsLists", Json::array());
  if (lists.empty() || !lists[0].contains("DriverStandings")) return std::nullopt;
  return lists[0]["DriverStandings"];
}

double numberOf(const std::string& value) {
  double number = 0;
  std::from_chars(value.data(), value.data() + value.size(), number);
  return number;
}

std::int64_t wholeNumberOf(const std::string& value) { return static_cast<std::int64_t>(numberOf(value)); }

struct Standing {
  std::int64_t position = 0;
  double points = 0;
};

// Team totals from a driver standings list: a team's points are its drivers' points (every 2023 driver
// scored for one team only), places by points, ties by the team's best-placed driver.
std::vector<std::pair<std::string, Standing>> teamStandings(
    const Json& driverStandings, const std::map<std::string, std::string>& teamOfDriver) {
  std::vector<std::pair<std::string, Standing>> teams;
  for (const Json& line : driverStandings) {
    auto team = teamOfDriver.find(line["Driver"].value("driverId", ""));
    if (team == teamOfDriver.end()) continue;
    auto found = std::ranges::find(teams, team->second, &std::pair<std::string, Standing>::first);
    if (found == teams.end()) found = teams.insert(teams.end(), {team->second, {}});
    found->second.points += numberOf(line.value("points", "0"));
  }
  std::ranges::stable_sort(teams, std::greater{}, [](const auto& team) { return team.second.points; });
  for (std::size_t i = 0; i < teams.size(); ++i) teams[i].second.position = static_cast<std::int64_t>(i + 1);
  return teams;
}

std::expected<void, std::string> addChampionshipPredictions(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  auto races = calendarRaces(snapshot, season);
  for (const auto& folder : sessionFoldersWith(snapshot, season, "DriverList.json")) {
    auto info = snapshotDocument(snapshot, folder + "SessionInfo.json");
    if (!info || info->value("Type", "") != "Race" || info->value("Name", "") != "Race") continue;
    std::string meeting = (*info)["Meeting"].value("Name", "");
    auto race = std::ranges::find_if(races, [&](const Json& r) { return r.value("raceName", "") == meeting; });
    if (race == races.end()) continue;
    int round = roundOf(*race);
    auto before = driverStandingsAfter(snapshot, season, round - 1);
    auto after = driverStandingsAfter(snapshot, season, round);
    std::string resultsPath = "results-api/" + season + "/" + std::to_string(round) + "/results.json";
    auto results = snapshotDocument(snapshot, resultsPath);
    if (!before || !after || !results) continue;

    // Racing numbers and live-timing team names by driver, from the race's own result.
    auto drivers = sessionDrivers(snapshot, folder);
    std::map<std::string, std::string> numberOfDriver, teamOfDriver;
    for (const Json& row : (*results)["MRData"]["RaceTable"]["Races"][0].value("Results", Json::array())) {
      std::string id = row["Driver"].value("driverId", "");
      std::string number = row.value("number", "");
      numberOfDriver[id] = number;
      if (auto driver = drivers.find(number); driver != drivers.end()) teamOfDriver[id] = driver->second.teamName;
    }
    auto standingOf = [](const Json& list, const std::string& id) -> std::optional<Standing> {
      for (const Json& line : list)
        if (line["Driver"].value("driverId", "") == id)
          return Standing{wholeNumberOf(line.value("position", "0")), numberOf(line.value("points", "0"))};
      return std::nullopt;
    };

    Json driverEntries = Json::object();
    for (const Json& line : *after) {
      std::string id = line["Driver"].value("driverId", "");
      auto number = numberOfDriver.find(id);
      auto current = standingOf(*before, id);
      if (number == numberOfDriver.end() || !current) continue;
      driverEntries[number->second] = Json{{"RacingNumber", number->second},
                                          {"CurrentPosition", current->position},
                                          {"PredictedPosition", wholeNumberOf(line.value("position", "0"))},
                                          {"CurrentPoints", current->points},
                                          {"PredictedPoints", numberOf(line.value("points", "0"))}};
    }
    Json teamEntries = Json::object();
    auto teamsBefore = teamStandings(*before, teamOfDriver);
    for (const auto& [team, predicted] : teamStandings(*after, teamOfDriver)) {
      auto current = std::ranges::find(teamsBefore, team, &std::pair<std::string, Standing>::first);
      if (current == teamsBefore.end()) continue;
      teamEntries[team] = Json{{"TeamName", team},
                               {"CurrentPosition", current->second.position},
                               {"PredictedPosition", predicted.position},
                               {"CurrentPoints", current->second.points},
                               {"PredictedPoints", predicted.points}};
    }
    std::string previous = "results-api/" + season + "/" + std::to_string(round - 1) + "/driverStandings.json";
    std::string next = "results-api/" + season + "/" + std::to_string(round) + "/driverStandings.json";
    snapshot.add(folder + "ChampionshipPrediction.json",
                 {livefeed::keyframeText(Json{{"Drivers", driverEntries}, {"Teams", teamEntries}}),
                  Origin::derived,
                  {previous, next, resultsPath, folder + "DriverList.json"},
                  "current = recorded standings before the race, predicted = recorded standings after "
                  "it; racing numbers from the race result; team points summed from their drivers' "
                  "points, ties by the team's best-placed driver"});
  }
  return {};
}

}  // namespace

std::expected<void, std::string> produceSessionDocuments(const BuildContext& context, SeasonSnapshot& snapshot) {
  if (auto stints = addTyreStints(context, snapshot); !stints) return stints;
  if (auto topThree = addTopThree(context, snapshot); !topThree) return topThree;
  return addChampionshipPredictions(context, snapshot);
}

}  // namespace offline_season
