// Team radio for the sessions the app opens: captures at recorded moments of the session, each clip
// a short spoken line of recorded facts (the driver's name and the lap), synthesised as MP3.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SnapshotSupport.h"
#include "livefeed/StreamFold.h"
#include "offline_season/SnapshotBuilder.h"

extern char** environ;

namespace offline_season {
namespace {

namespace fs = std::filesystem;
using std::chrono::sys_seconds;

constexpr std::size_t capturesPerSession = 8;
constexpr const char* speech = "espeak-ng -v en-us -s 160";
constexpr const char* encoding = "lame -m m -b 16 --resample 16";

struct Capture {
  sys_seconds utc;
  std::string racingNumber, spoken;
  std::chrono::milliseconds elapsed{0};  // into the session's streams, for a replayed session
};

bool run(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::expected<std::string, std::string> synthesise(const std::string& text) {
  fs::path folder = fs::temp_directory_path() / ("offline-season-radio-" + std::to_string(::getpid()));
  std::error_code error;
  fs::create_directories(folder, error);
  fs::path wave = folder / "clip.wav", mp3 = folder / "clip.mp3";
  bool made = run({"espeak-ng", "-v", "en-us", "-s", "160", "-w", wave.string(), text}) &&
              run({"lame", "--quiet", "-m", "m", "-b", "16", "--resample", "16", wave.string(), mp3.string()});
  std::string bytes;
  if (made) {
    std::ifstream in(mp3, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
  }
  fs::remove_all(folder, error);
  if (!made || bytes.empty()) return std::unexpected("cannot synthesise a team-radio clip (needs espeak-ng and lame)");
  return bytes;
}

// The clip's bytes: made now with --with-media, else those of the snapshot already on disk.
std::expected<std::string, std::string> clipBytes(const BuildOptions& options, const std::string& path,
                                                  const std::string& spoken) {
  if (options.withMedia) return synthesise(spoken);
  std::ifstream in(options.existingMedia / path, std::ios::binary);
  if (!in) return std::unexpected(path + " is not in " + options.existingMedia.string() + "; rebuild with --with-media");
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Evenly spread picks, first and last included.
template <class T>
std::vector<T> spread(const std::vector<T>& items, std::size_t count) {
  if (items.size() <= count) return items;
  std::vector<T> picked;
  for (std::size_t i = 0; i < count; ++i) picked.push_back(items[i * (items.size() - 1) / (count - 1)]);
  return picked;
}

// Race-control messages about one car, at their recorded time and lap.
std::vector<Capture> capturesFromMessages(const Json& messages, const std::map<std::string, FeedDriver>& drivers) {
  std::vector<Capture> captures;
  for (const Json& message : messages.value("Messages", Json::array())) {
    std::string number = message.value("RacingNumber", "");
    auto driver = drivers.find(number);
    std::string utcText = message.value("Utc", "");
    if (!utcText.ends_with('Z')) utcText += 'Z';  // this feed's message times carry no zone; they are UTC
    auto utc = readInstant(utcText);
    if (driver == drivers.end() || !utc || !message.contains("Lap")) continue;
    captures.push_back({*utc, number,
                        driver->second.lastName + ", lap " + std::to_string(message.value("Lap", 0)) + "."});
  }
  return captures;
}

// For a replayed session: the start of laps spread over the race, each with the car then running in
// the next place down (leader first), its place as the recorded timing showed it. The streams' clock is
// set on real time by the session's scheduled start falling at the recorded "Started" status.
std::vector<Capture> capturesFromLaps(const SeasonSnapshot& snapshot, const std::string& folder, const Json& info,
                                      const std::map<std::string, FeedDriver>& drivers) {
  const SnapshotFile* laps = snapshot.find(folder + "LapCount.jsonStream");
  const SnapshotFile* timing = snapshot.find(folder + "TimingData.jsonStream");
  const SnapshotFile* status = snapshot.find(folder + "SessionStatus.jsonStream");
  auto scheduled = readInstant(info.value("StartDate", "") + "Z");
  if (!laps || !timing || !status || !scheduled) return {};
  std::optional<std::chrono::milliseconds> started;
  for (const auto& update : livefeed::parseStream(status->bytes).updates)
    if (!started && update.delta.value("Status", "") == "Started") started = update.elapsed;
  if (!started) return {};
  std::vector<std::pair<std::chrono::milliseconds, int>> lapStarts;
  for (const auto& update : livefeed::parseStream(laps->bytes).updates)
    if (update.delta.contains("CurrentLap") && update.elapsed > *started)
      lapStarts.emplace_back(update.elapsed, update.delta.value("CurrentLap", 0));

  livefeed::StreamReplay replay(livefeed::parseStream(timing->bytes));
  std::vector<Capture> captures;
  int place = 1;
  for (const auto& [elapsed, lap] : spread(lapStarts, capturesPerSession)) {
    // A few seconds into the lap, once the timing has caught up with the line.
    auto moment = elapsed + std::chrono::seconds{20};
    const Json lines = replay.stateAt(moment).value("Lines", Json::object());
    for (const auto& [number, line] : lines.items()) {
      if (!line.is_object() || line.value("Position", "") != std::to_string(place) || !drivers.contains(number)) continue;
      auto utc = *scheduled - gmtOffset(info) + std::chrono::duration_cast<std::chrono::seconds>(moment - *started);
      captures.push_back({utc, number,
                          drivers.at(number).lastName + ", position " + std::to_string(place) + ", lap " +
                              std::to_string(lap) + ".",
                          moment});
      break;
    }
    ++place;
  }
  return captures;
}

}  // namespace

std::expected<void, std::string> produceTeamRadio(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  for (const auto& folder : sessionFoldersWith(snapshot, season, "SessionInfo.json")) {
    auto info = snapshotDocument(snapshot, folder + "SessionInfo.json");
    if (!info || info->value("Type", "") != "Race") continue;
    auto drivers = sessionDrivers(snapshot, folder);
    std::string sessionPath = folder.substr(std::string("livetiming/").size());
    auto replay = std::ranges::find(context.options.replays, sessionPath, &BuildOptions::Replay::sessionPath);
    bool replayed = replay != context.options.replays.end();
    std::vector<Capture> captures;
    std::vector<std::string> sources;
    std::string moments;
    // Recorded messages give the moments where there are any (this runs before messages are made up).
    if (auto messages = snapshotDocument(snapshot, folder + "RaceControlMessages.json")) {
      captures = spread(capturesFromMessages(*messages, drivers), capturesPerSession);
      sources = {folder + "RaceControlMessages.json"};
      moments = "at the times of recorded race-control messages about one car, spread over the session";
      // A replay keeps the recording's clock: a capture comes when its message does.
      auto origin = replayed ? readInstant(replay->streamOrigin) : std::nullopt;
      if (replayed && !origin) return std::unexpected("replay origin is not an ISO 8601 UTC instant: " + replay->streamOrigin);
      for (Capture& capture : captures)
        if (origin) capture.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(capture.utc - *origin);
    } else if (replayed) {
      captures = capturesFromLaps(snapshot, folder, *info, drivers);
      sources = {folder + "LapCount.jsonStream", folder + "TimingData.jsonStream", folder + "SessionStatus.jsonStream"};
      moments = "at the start of laps spread over the race, the cars in first, second, ... place as the recorded "
                "timing shows them; times from the scheduled start set at the recorded Started status";
    }
    if (captures.empty()) continue;
    sources.push_back(folder + "DriverList.json");
    sources.push_back(folder + "SessionInfo.json");

    Json list = Json::array();
    std::string stream = "\xEF\xBB\xBF";
    for (const Capture& capture : captures) {
      const FeedDriver& driver = drivers.at(capture.racingNumber);
      // Clip names carry the circuit's local time, as the feed's do.
      std::string clip = "TeamRadio/" + driver.reference + "_" + driver.racingNumber + "_" +
                         instantText(capture.utc + gmtOffset(*info), "%Y%m%d_%H%M%S") + ".mp3";
      Json entry{{"Utc", instantText(capture.utc, "%Y-%m-%dT%H:%M:%S.000Z")},
                 {"RacingNumber", capture.racingNumber},
                 {"Path", clip}};
      // The feed sends the first capture as a list and each later one as a patch at its index.
      Json delta = list.empty() ? Json{{"Captures", Json::array({entry})}}
                                : Json{{"Captures", {{std::to_string(list.size()), entry}}}};
      stream += livefeed::streamLine(capture.elapsed, delta);
      list.push_back(std::move(entry));
      auto bytes = clipBytes(context.options, folder + clip, capture.spoken);
      if (!bytes) return std::unexpected(bytes.error());
      snapshot.add(folder + clip, {std::move(*bytes), Origin::generated, sources,
                                   "spoken \"" + capture.spoken + "\" (" + speech + "), MP3 by " + encoding});
    }
    std::string how = std::to_string(list.size()) + " captures " + moments +
                      "; clip names from the driver list's Reference and number and the circuit's local time";
    snapshot.add(folder + "TeamRadio.json",
                 {livefeed::keyframeText(Json{{"Captures", list}}), Origin::generated, sources, how});
    if (replayed)
      snapshot.add(folder + "TeamRadio.jsonStream",
                   {std::move(stream), Origin::generated, sources, "the same captures as a stream, each at its moment; for the live replay (replay.tsv)"});
  }
  return {};
}

}  // namespace offline_season
