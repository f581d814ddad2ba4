// A TimingData stream for a replayed race that has none recorded, from what its recording holds: the
// running order of TimingAppData's "Line" updates, each car's laps from its stints (bounded by the
// race's lap of LapCount) and its pit stops from the number of stints. Gaps, intervals, lap times,
// sectors and speeds were not recorded and are left out (the app shows them as not available).
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "SnapshotSupport.h"
#include "livefeed/StreamFold.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

using std::chrono::milliseconds;

struct CarTiming {
  std::int64_t line = 0;
  std::optional<std::int64_t> laps = 0;  // none: past what the recording holds of this car
  std::int64_t pitStops = 0;

  friend bool operator==(const CarTiming&, const CarTiming&) = default;
};

std::int64_t integerAt(const Json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

// A car of the folded TimingAppData: its place in the running order, its laps (every stint's laps
// less those its tyres had when fitted) and its stops (one fewer than its stints).
std::int64_t stintLaps(const Json& line) {
  std::int64_t laps = 0;
  const Json stints = line.value("Stints", Json::array());
  for (const auto& [index, stint] : stints.items()) {
    if (stint.is_object())
      laps += std::max<std::int64_t>(0, integerAt(stint, "TotalLaps") - integerAt(stint, "StartLaps"));
  }
  return laps;
}

CarTiming carTiming(const Json& line, std::int64_t raceLap) {
  CarTiming car{.line = integerAt(line, "Line")};
  std::int64_t count = 0;
  const Json stints = line.value("Stints", Json::array());
  for (const auto& [index, stint] : stints.items()) count += stint.is_object() ? 1 : 0;
  car.laps = std::min(stintLaps(line), raceLap);
  car.pitStops = std::max<std::int64_t>(0, count - 1);
  return car;
}

// A car whose stints stop counting before its classified laps (the recording lost its last stint's
// laps): once the leader has gone past them, a car classified on the leader's lap has the leader's
// completed laps; for a lapped one the count is not known until the finish, where it is the
// classified one.
struct ShortStints {
  std::int64_t recorded = 0;    // the laps its stints hold at the end
  std::int64_t classified = 0;  // the laps the result gives it
};

void completeLaps(CarTiming& car, const ShortStints& stints, std::int64_t leaderLaps, std::int64_t finalLap,
                  bool finished) {
  const std::int64_t lapsDown = finalLap - stints.classified;
  if (!finished && leaderLaps - lapsDown <= stints.recorded) return;
  if (finished) {
    car.laps = stints.classified;
  } else if (lapsDown == 0) {
    car.laps = std::min(leaderLaps, stints.classified);
  } else {
    car.laps.reset();
  }
}

Json speed() { return Json{{"Value", ""}, {"Status", 0}, {"OverallFastest", false}, {"PersonalFastest", false}}; }

// The whole line of a car as the feed first sends it, with nothing that was not recorded.
Json openingLine(const std::string& number, const CarTiming& car) {
  return Json{{"Line", car.line},
              {"Position", car.line > 0 ? std::to_string(car.line) : std::string()},
              {"ShowPosition", car.line > 0},
              {"RacingNumber", number},
              {"Retired", false},
              {"InPit", false},
              {"PitOut", false},
              {"Stopped", false},
              {"Status", 0},
              {"NumberOfLaps", car.laps ? Json(*car.laps) : Json()},
              {"NumberOfPitStops", car.pitStops},
              {"Sectors", Json::array()},
              {"Speeds", {{"I1", speed()}, {"I2", speed()}, {"FL", speed()}, {"ST", speed()}}},
              {"BestLapTime", Json::object()},
              {"LastLapTime", Json::object()}};
}

Json changedFields(const CarTiming& before, const CarTiming& now) {
  Json delta = Json::object();
  if (now.line != before.line) {
    delta["Line"] = now.line;
    delta["Position"] = now.line > 0 ? std::to_string(now.line) : std::string();
    delta["ShowPosition"] = now.line > 0;
  }
  if (now.laps != before.laps) delta["NumberOfLaps"] = now.laps ? Json(*now.laps) : Json();
  if (now.pitStops != before.pitStops) delta["NumberOfPitStops"] = now.pitStops;
  return delta;
}

}  // namespace

std::string derivedTimingStream(const std::string& appDataStream, const std::string& lapCountStream,
                                const std::map<std::string, std::int64_t>& classifiedLaps) {
  auto appData = livefeed::parseStream(appDataStream);
  auto lapCount = livefeed::parseStream(lapCountStream);
  std::vector<milliseconds> moments;
  for (const auto& update : appData.updates) moments.push_back(update.elapsed);
  for (const auto& update : lapCount.updates) moments.push_back(update.elapsed);
  std::ranges::sort(moments);
  moments.erase(std::unique(moments.begin(), moments.end()), moments.end());

  livefeed::StreamReplay cars(std::move(appData));
  livefeed::StreamReplay laps(std::move(lapCount));
  std::map<std::string, ShortStints> shortStints;
  std::int64_t finalLap = 0;
  if (!moments.empty()) {
    const Json& lapState = laps.stateAt(moments.back());
    finalLap = lapState.is_object() ? integerAt(lapState, "CurrentLap") : 0;
    const Json& carState = cars.stateAt(moments.back());
    const Json lines = carState.is_object() ? carState.value("Lines", Json::object()) : Json::object();
    for (const auto& [number, line] : lines.items()) {
      auto classified = classifiedLaps.find(number);
      if (!line.is_object() || classified == classifiedLaps.end() || classified->second > finalLap) continue;
      if (std::int64_t recorded = stintLaps(line); recorded < classified->second)
        shortStints[number] = {recorded, classified->second};
    }
  }
  std::map<std::string, CarTiming> shown;
  bool opened = false;
  std::string text = "\xEF\xBB\xBF";
  for (milliseconds moment : moments) {
    const Json& carState = cars.stateAt(moment);
    const Json& lapState = laps.stateAt(moment);
    const Json lines = carState.is_object() ? carState.value("Lines", Json::object()) : Json::object();
    std::int64_t raceLap = lapState.is_object() ? integerAt(lapState, "CurrentLap") : 0;
    std::vector<std::pair<std::string, CarTiming>> current;  // in the recording's order
    std::int64_t leaderLaps = 0;  // the most laps of a car whose stints count them all
    for (const auto& [number, line] : lines.items()) {
      if (!line.is_object()) continue;
      const CarTiming& car = current.emplace_back(number, carTiming(line, raceLap)).second;
      if (!shortStints.contains(number)) leaderLaps = std::max(leaderLaps, car.laps.value_or(0));
    }
    Json delta = Json::object();
    for (auto& [number, now] : current) {
      if (auto found = shortStints.find(number); found != shortStints.end())
        completeLaps(now, found->second, leaderLaps, finalLap, moment == moments.back());
      auto before = shown.find(number);
      if (before == shown.end()) {
        delta[number] = openingLine(number, now);
      } else if (Json changed = changedFields(before->second, now); !changed.empty()) {
        delta[number] = std::move(changed);
      }
      shown[number] = now;
    }
    if (delta.empty()) continue;
    Json update{{"Lines", std::move(delta)}};
    if (!opened) update["Withheld"] = false;
    opened = true;
    text += livefeed::streamLine(moment, update);
  }
  return text;
}

// The recorded race result of the calendar race run on the session's day ("<season>/<date>_<meeting>/
// <date>_Race/"): its path and each racing number's classified laps.
std::optional<std::pair<std::string, std::map<std::string, std::int64_t>>> raceResultOf(
    const BuildContext& context, const SeasonSnapshot& snapshot, const std::string& sessionPath) {
  const std::string session = sessionPath.substr(sessionPath.find('/') + 1);
  const std::string sessionFolder = session.substr(session.find('/') + 1);
  if (!sessionFolder.starts_with(sessionFolder.substr(0, 10) + "_Race/")) return std::nullopt;
  for (const Json& race : calendarRaces(snapshot, context.options.season)) {
    if (race.value("date", "") != sessionFolder.substr(0, 10)) continue;
    std::string path = "results-api/" + context.options.season + "/" + std::to_string(roundOf(race)) + "/results.json";
    auto document = snapshotDocument(snapshot, path);
    if (!document || !document->contains("MRData")) return std::nullopt;
    std::map<std::string, std::int64_t> laps;
    for (const Json& listed : (*document)["MRData"].value("RaceTable", Json::object()).value("Races", Json::array())) {
      for (const Json& row : listed.value("Results", Json::array())) {
        const std::string text = row.value("laps", "");
        std::int64_t count = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error == std::errc{} && end == text.data() + text.size() && !text.empty())
          laps[row.value("number", "")] = count;
      }
    }
    return std::pair{std::move(path), std::move(laps)};
  }
  return std::nullopt;
}

std::expected<void, std::string> produceDerivedTiming(const BuildContext& context, SeasonSnapshot& snapshot) {
  for (const auto& replay : context.options.replays) {
    std::string folder = "livetiming/" + replay.sessionPath;
    if (snapshot.contains(folder + "TimingData.jsonStream")) continue;  // a recording wins
    const SnapshotFile* appData = snapshot.find(folder + "TimingAppData.jsonStream");
    const SnapshotFile* lapCount = snapshot.find(folder + "LapCount.jsonStream");
    if (!appData || !lapCount) continue;
    std::vector<std::string> sources{folder + "TimingAppData.jsonStream", folder + "LapCount.jsonStream"};
    std::map<std::string, std::int64_t> classifiedLaps;
    if (auto result = raceResultOf(context, snapshot, replay.sessionPath)) {
      classifiedLaps = std::move(result->second);
      sources.push_back(std::move(result->first));
    }
    snapshot.add(folder + "TimingData.jsonStream",
                 {derivedTimingStream(appData->bytes, lapCount->bytes, classifiedLaps), Origin::derived,
                  std::move(sources),
                  "no TimingData was recorded: positions from TimingAppData's Line updates, each car's laps "
                  "from its stints (TotalLaps less StartLaps, never above LapCount's CurrentLap), pit stops "
                  "from its stints less one, at the recorded times; a car whose stints hold fewer laps than "
                  "the race's result classifies it with (Albon's last stint has none) follows the race's "
                  "completed laps past them when classified on the leader's lap, else has no lap count "
                  "(null) until the finish, where it has the classified one; gaps, intervals, lap times, "
                  "sectors and speeds were not recorded and are left out; for the live replay (replay.tsv)"});
  }
  return {};
}

}  // namespace offline_season
