// Race-control messages for a replayed session that has none recorded: the recorded track-status
// changes and the chequered flag, worded as the officials' feed words them, at their recorded moment
// and lap, as a static document and as a stream for the replay.
#include "SnapshotSupport.h"
#include "livefeed/StreamFold.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

using std::chrono::milliseconds;

std::string textAt(const Json& delta, const char* key) {
  return delta.is_object() && delta.contains(key) && delta[key].is_string() ? delta[key].get<std::string>() : std::string();
}

struct Wording {
  std::string category, message, flag;  // flag empty for a message without one
};

// The track status's "Message" as the officials' message of the change.
std::optional<Wording> trackStatusWording(const std::string& status) {
  if (status == "AllClear") return Wording{"Flag", "TRACK CLEAR", "CLEAR"};
  if (status == "Yellow") return Wording{"Flag", "YELLOW FLAG ON TRACK", "YELLOW"};
  if (status == "Red") return Wording{"Flag", "RED FLAG", "RED"};
  if (status == "SCDeployed") return Wording{"SafetyCar", "SAFETY CAR DEPLOYED", ""};
  if (status == "VSCDeployed") return Wording{"SafetyCar", "VIRTUAL SAFETY CAR DEPLOYED", ""};
  if (status == "VSCEnding") return Wording{"SafetyCar", "VIRTUAL SAFETY CAR ENDING", ""};
  return std::nullopt;
}

}  // namespace

std::expected<void, std::string> produceRaceControlMessages(const BuildContext& context, SeasonSnapshot& snapshot) {
  for (const auto& replay : context.options.replays) {
    std::string folder = "livetiming/" + replay.sessionPath;
    if (snapshot.contains(folder + "RaceControlMessages.json")) continue;  // recorded ones win
    const SnapshotFile* track = snapshot.find(folder + "TrackStatus.jsonStream");
    const SnapshotFile* status = snapshot.find(folder + "SessionStatus.jsonStream");
    const SnapshotFile* laps = snapshot.find(folder + "LapCount.jsonStream");
    auto info = snapshotDocument(snapshot, folder + "SessionInfo.json");
    if (!track || !status || !laps || !info) continue;
    auto scheduled = readInstant(info->value("StartDate", "") + "Z");
    std::optional<milliseconds> started;
    for (const auto& update : livefeed::parseStream(status->bytes).updates)
      if (!started && textAt(update.delta, "Status") == "Started") started = update.elapsed;
    if (!scheduled || !started) continue;

    // Every change with its moment, in the order of the streams' clock.
    std::vector<std::pair<milliseconds, Wording>> changes;
    // The first track status is the state when the recording began, not a change.
    auto trackUpdates = livefeed::parseStream(track->bytes).updates;
    for (std::size_t index = 1; index < trackUpdates.size(); ++index)
      if (auto wording = trackStatusWording(textAt(trackUpdates[index].delta, "Message")))
        changes.emplace_back(trackUpdates[index].elapsed, *wording);
    for (const auto& update : livefeed::parseStream(status->bytes).updates)
      if (textAt(update.delta, "Status") == "Finished") changes.emplace_back(update.elapsed, Wording{"Flag", "CHEQUERED FLAG", "CHEQUERED"});
    std::ranges::stable_sort(changes, {}, &std::pair<milliseconds, Wording>::first);
    if (changes.empty()) continue;

    livefeed::StreamReplay lapCount(livefeed::parseStream(laps->bytes));
    Json list = Json::array();
    std::string stream = "\xEF\xBB\xBF";
    for (const auto& [elapsed, wording] : changes) {
      // The streams' clock is set on real time by the scheduled start falling at "Started".
      auto utc = *scheduled - gmtOffset(*info) + std::chrono::floor<std::chrono::seconds>(elapsed - *started);
      Json entry = Json::object();
      entry["Utc"] = instantText(utc, "%Y-%m-%dT%H:%M:%S");
      const Json& laps = lapCount.stateAt(elapsed);
      entry["Lap"] = laps.is_object() ? std::max(1, laps.value("CurrentLap", 1)) : 1;
      entry["Category"] = wording.category;
      if (!wording.flag.empty()) {
        entry["Flag"] = wording.flag;
        entry["Scope"] = "Track";
      }
      entry["Message"] = wording.message;
      // The feed sends the first message as a list and each later one as a patch at its index.
      Json delta = list.empty() ? Json{{"Messages", Json::array({entry})}}
                                : Json{{"Messages", {{std::to_string(list.size()), entry}}}};
      stream += livefeed::streamLine(elapsed, delta);
      list.push_back(std::move(entry));
    }
    std::vector<std::string> sources{folder + "TrackStatus.jsonStream", folder + "SessionStatus.jsonStream",
                                     folder + "LapCount.jsonStream", folder + "SessionInfo.json"};
    std::string how = std::to_string(list.size()) + " messages: the recorded track-status changes and the "
                      "chequered flag (\"Finished\"), worded as the officials' feed words them, at their recorded "
                      "moment and lap; times from the scheduled start set at the recorded Started status";
    snapshot.add(folder + "RaceControlMessages.json",
                 {livefeed::keyframeText(Json{{"Messages", list}}), Origin::generated, sources, how});
    snapshot.add(folder + "RaceControlMessages.jsonStream",
                 {std::move(stream), Origin::generated, sources, "the same messages as a stream, each at its moment; for the live replay (replay.tsv)"});
  }
  return {};
}

}  // namespace offline_season
