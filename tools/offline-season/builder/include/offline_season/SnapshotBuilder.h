#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "offline_season/SeasonSnapshot.h"

namespace offline_season {

struct BuildOptions {
  std::filesystem::path fixtures;  // the recorded data (results-api/, livetiming/, MANIFEST.tsv)
  std::string season = "2023";
  // The snapshot's "now" (ISO 8601, UTC): twenty minutes after the Azerbaijan sprint's start, inside
  // the three hours in which the app shows that weekend's sprint live (see docs/offline-season.md).
  std::string now = "2023-04-29T13:50:00Z";
  // Sessions replayed live from their streams, and the instant at which each stream's elapsed time
  // is zero. The sprint's recorded "Started" (45:16.3 into its streams) falls at the sprint's start
  // in the results API, 13:30, so at "now" it is twenty minutes into its running. Bahrain's race
  // keeps the recording's own clock: its messages' UTC times less their elapsed times.
  struct Replay {
    std::string sessionPath;  // relative to the static base, ending in "/"
    std::string streamOrigin;  // ISO 8601, UTC
  };
  std::vector<Replay> replays = {
      {"2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/", "2023-03-05T14:01:01Z"},
      {"2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/", "2023-04-29T12:44:44Z"}};
  // Team-radio clips are spoken and encoded (espeak-ng, lame) only when asked; otherwise the clips
  // of the snapshot in `existingMedia` are kept, so a rebuild needs no media tools.
  bool withMedia = false;
  std::filesystem::path existingMedia;
};

// What a producer sees while the snapshot is built.
struct BuildContext {
  const BuildOptions& options;
  // Bytes of a fixture file (path relative to the fixtures folder), or why it could not be read.
  std::expected<std::string, std::string> read(const std::string& fixturePath) const;
  // The recording's origin from MANIFEST.tsv: its URL, else its source repository; empty if unlisted.
  std::string recordedFrom(const std::string& fixturePath) const;
  std::vector<std::string> listFiles(const std::string& fixtureDirectory) const;  // sorted, recursive

  std::vector<std::pair<std::string, std::string>> manifest;  // fixture path -> recorded from
};

// One kind of service's part of the snapshot.
using Producer = std::function<std::expected<void, std::string>(const BuildContext&, SeasonSnapshot&)>;

std::expected<void, std::string> produceResultsApi(const BuildContext& context, SeasonSnapshot& snapshot);
std::expected<void, std::string> produceLiveTiming(const BuildContext& context, SeasonSnapshot& snapshot);
// TyreStintSeries, TopThree and ChampionshipPrediction from the recorded files of the same session.
std::expected<void, std::string> produceSessionDocuments(const BuildContext& context, SeasonSnapshot& snapshot);
// TimingData.jsonStream for a replayed session that has none recorded, from its TimingAppData and
// LapCount streams (see derivedTimingStream).
std::expected<void, std::string> produceDerivedTiming(const BuildContext& context, SeasonSnapshot& snapshot);
// The derived stream's text: each car's place from the running order's "Line", its laps from its
// stints (never above the race's lap), its stops from its stints less one, at the recorded moments.
// `classifiedLaps` (racing number -> laps of the race's result) completes a car whose stints end
// short of its classified laps: past them it follows the race's completed laps when it finished on
// the leader's lap, else it has no lap count (null) until the last moment, where it has the
// classified one.
std::string derivedTimingStream(const std::string& appDataStream, const std::string& lapCountStream,
                                const std::map<std::string, std::int64_t>& classifiedLaps = {});
std::expected<void, std::string> produceTeamRadio(const BuildContext& context, SeasonSnapshot& snapshot);
// Officials' messages of a replayed session that has none recorded, from its track and session status.
std::expected<void, std::string> produceRaceControlMessages(const BuildContext& context, SeasonSnapshot& snapshot);
// polls/v1/polls/index.json: the answer to "/v1/polls/".
std::expected<void, std::string> producePolls(const BuildContext& context, SeasonSnapshot& snapshot);
// images/: driver headshots and circuit maps, at the path of their address.
std::expected<void, std::string> produceImages(const BuildContext& context, SeasonSnapshot& snapshot);
// flags/2/svg/: the flag pictures of the app's country-flag list, from the recorded flag set.
std::expected<void, std::string> produceFlags(const BuildContext& context, SeasonSnapshot& snapshot);
// rss/<feed>/<path>: the five news feeds.
std::expected<void, std::string> produceNewsFeeds(const BuildContext& context, SeasonSnapshot& snapshot);
std::vector<Producer> defaultProducers();

// The path of the circuit map's address on the media host, for the circuit facts' `name`.
std::string circuitMapUrlPath(const std::string& circuitName);

// Runs the producers in order, then adds now.txt, replay.tsv and SOURCES.tsv.
std::expected<SeasonSnapshot, std::string> buildSnapshot(const BuildOptions& options,
                                                         const std::vector<Producer>& producers);

}  // namespace offline_season
