// A TimingData stream for a replayed race that has none recorded, from what its recording holds: the
// running order of TimingAppData's "Line" updates, each car's laps from its stints (bounded by the
// race's lap of LapCount) and its pit stops from the number of stints. Gaps, intervals, lap times,
// sectors and speeds were not recorded and are left out (the app shows them as not available).
#include <algorithm>

#include "SnapshotSupport.h"
#include "livefeed/StreamFold.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

using std::chrono::milliseconds;

struct CarTiming {
  std::int64_t line = 0;
  std::int64_t laps = 0;
  std::int64_t pitStops = 0;

  friend bool operator==(const CarTiming&, const CarTiming&) = default;
};

std::int64_t integerAt(const Json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

// A car of the folded TimingAppData: its place in the running order, its laps (every stint's laps
// less those its tyres had when fitted) and its stops (one fewer than its stints).
CarTiming carTiming(const Json& line, std::int64_t raceLap) {
  CarTiming car{.line = integerAt(line, "Line")};
  const Json stints = line.value("Stints", Json::array());
  std::int64_t count = 0;
  for (const auto& [index, stint] : stints.items()) {
    if (!stint.is_object()) continue;
    ++count;
    car.laps += std::max<std::int64_t>(0, integerAt(stint, "TotalLaps") - integerAt(stint, "StartLaps"));
  }
  car.laps = std::min(car.laps, raceLap);
  car.pitStops = std::max<std::int64_t>(0, count - 1);
  return car;
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
              {"NumberOfLaps", car.laps},
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
  if (now.laps != before.laps) delta["NumberOfLaps"] = now.laps;
  if (now.pitStops != before.pitStops) delta["NumberOfPitStops"] = now.pitStops;
  return delta;
}

}  // namespace

std::string derivedTimingStream(const std::string& appDataStream, const std::string& lapCountStream) {
  auto appData = livefeed::parseStream(appDataStream);
  auto lapCount = livefeed::parseStream(lapCountStream);
  std::vector<milliseconds> moments;
  for (const auto& update : appData.updates) moments.push_back(update.elapsed);
  for (const auto& update : lapCount.updates) moments.push_back(update.elapsed);
  std::ranges::sort(moments);
  moments.erase(std::unique(moments.begin(), moments.end()), moments.end());

  livefeed::StreamReplay cars(std::move(appData));
  livefeed::StreamReplay laps(std::move(lapCount));
  std::map<std::string, CarTiming> shown;
  bool opened = false;
  std::string text = "\xEF\xBB\xBF";
  for (milliseconds moment : moments) {
    const Json& carState = cars.stateAt(moment);
    const Json& lapState = laps.stateAt(moment);
    const Json lines = carState.is_object() ? carState.value("Lines", Json::object()) : Json::object();
    std::int64_t raceLap = lapState.is_object() ? integerAt(lapState, "CurrentLap") : 0;
    Json delta = Json::object();
    for (const auto& [number, line] : lines.items()) {
      if (!line.is_object()) continue;
      CarTiming now = carTiming(line, raceLap);
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

std::expected<void, std::string> produceDerivedTiming(const BuildContext& context, SeasonSnapshot& snapshot) {
  for (const auto& replay : context.options.replays) {
    std::string folder = "livetiming/" + replay.sessionPath;
    if (snapshot.contains(folder + "TimingData.jsonStream")) continue;  // a recording wins
    const SnapshotFile* appData = snapshot.find(folder + "TimingAppData.jsonStream");
    const SnapshotFile* lapCount = snapshot.find(folder + "LapCount.jsonStream");
    if (!appData || !lapCount) continue;
    snapshot.add(folder + "TimingData.jsonStream",
                 {derivedTimingStream(appData->bytes, lapCount->bytes), Origin::derived,
                  {folder + "TimingAppData.jsonStream", folder + "LapCount.jsonStream"},
                  "no TimingData was recorded: positions from TimingAppData's Line updates, each car's laps "
                  "from its stints (TotalLaps less StartLaps, never above LapCount's CurrentLap), pit stops "
                  "from its stints less one, at the recorded times; gaps, intervals, lap times, sectors and "
                  "speeds were not recorded and are left out; for the live replay (replay.tsv)"});
  }
  return {};
}

}  // namespace offline_season
