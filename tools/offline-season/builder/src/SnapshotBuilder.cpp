#include "offline_season/SnapshotBuilder.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "livefeed/StreamFold.h"
#include "offline_season/ResultsDerivation.h"
#include "SnapshotSupport.h"

namespace offline_season {
namespace {

namespace fs = std::filesystem;
using std::chrono::sys_seconds;

constexpr const char* perRoundKinds[] = {"results", "qualifying", "sprint"};

// Rounds whose race had started at least three hours before `now` (the app's own margin for a
// weekend under way), from the season calendar.
int lastFinishedRound(const Json& calendar, sys_seconds now) {
  int last = 0;
  if (!calendar.contains("MRData")) return last;
  const Json& table = calendar["MRData"].value("RaceTable", Json::object());
  for (const Json& race : table.value("Races", Json::array())) {
    auto start = raceStart(race);
    if (!start || *start + std::chrono::hours{3} > now) continue;
    last = std::max(last, roundOf(race));
  }
  return last;
}

std::expected<void, std::string> copyRecorded(const BuildContext& context, SeasonSnapshot& snapshot,
                                              const std::string& fixturePath,
                                              const std::string& snapshotPath, std::string how) {
  auto bytes = context.read(fixturePath);
  if (!bytes) return std::unexpected(bytes.error());
  std::vector<std::string> sources{fixturePath};
  if (auto from = context.recordedFrom(fixturePath); !from.empty()) how += " (recorded from " + from + ")";
  snapshot.add(snapshotPath, {std::move(*bytes), Origin::recorded, std::move(sources), std::move(how)});
  return {};
}

// A subscribe reply marks each topic's state with "_kf": true, which the static tree never serves
// and which the app's dictionaries of cars cannot read; the marker is dropped, the rest kept as is.
std::expected<void, std::string> copyKeyframe(const BuildContext& context, SeasonSnapshot& snapshot,
                                              const std::string& fixturePath, const std::string& snapshotPath) {
  const std::string keyframe = "the topic's keyframe in the live service's subscribe reply (state before "
                               "the start; no byte-order mark)";
  auto bytes = context.read(fixturePath);
  if (!bytes) return std::unexpected(bytes.error());
  auto document = parsed(*bytes);
  if (!document || !document->is_object() || !document->contains("_kf"))
    return copyRecorded(context, snapshot, fixturePath, snapshotPath, "as recorded: " + keyframe);
  document->erase("_kf");
  snapshot.add(snapshotPath, {compact(*document), Origin::derived, {fixturePath},
                              keyframe + ", as recorded but without its \"_kf\" marker, which the "
                              "static tree never carries"});
  return {};
}

std::expected<void, std::string> addDerivedRounds(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  for (const char* kind : perRoundKinds) {
    std::string seasonPath = "results-api/" + season + "/" + kind + ".json";
    auto bytes = context.read(seasonPath);
    if (!bytes) continue;
    auto document = parsed(*bytes);
    if (!document) return std::unexpected(seasonPath + " is not JSON");
    const Json races = (*document)["MRData"]["RaceTable"].value("Races", Json::array());
    for (const Json& race : races) {
      int round = roundOf(race);
      if (round <= 0) continue;
      std::string path = "results-api/" + season + "/" + std::to_string(round) + "/" + kind + ".json";
      if (snapshot.contains(path)) continue;  // a recording of the exact query wins
      auto derived = roundFromSeason(*document, round);
      if (!derived) continue;  // an incomplete round is left out, never padded
      snapshot.add(path, {compact(*derived), Origin::derived, {seasonPath},
                          "round " + std::to_string(round) + " cut out of the season-wide " + kind +
                              " page, which holds all its rows; one-round envelope"});
    }
  }
  return {};
}

// One-lap answers cut out of the recorded pages of a race's laps, for the laps the page holds whole.
std::expected<void, std::string> addDerivedLaps(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string prefix = "results-api/" + context.options.season + "/";
  std::vector<std::string> pages;
  for (const auto& [path, file] : snapshot.files()) {
    if (!path.starts_with(prefix)) continue;
    auto name = path.substr(path.rfind('/') + 1);
    if (name == "laps.json" || name.starts_with("laps.limit=")) pages.push_back(path);
  }
  for (const std::string& pagePath : pages) {
    auto document = parsed(snapshot.find(pagePath)->bytes);
    if (!document) return std::unexpected(pagePath + " is not JSON");
    std::string folder = pagePath.substr(0, pagePath.rfind('/') + 1);
    for (int lap = 1;; ++lap) {
      auto derived = lapFromRace(*document, lap);
      if (!derived) {
        if (derived.error().find("not in this page") != std::string::npos) break;
        continue;  // a lap the page cuts is left out, never padded
      }
      std::string path = folder + "laps/" + std::to_string(lap) + ".json";
      if (snapshot.contains(path)) continue;  // a recording of the exact query wins
      snapshot.add(path, {compact(*derived), Origin::derived, {pagePath},
                          "lap " + std::to_string(lap) + " cut out of the race's recorded laps page, which "
                          "holds all its timings; one-lap envelope"});
    }
  }
  return {};
}

// Every recorded page of the results service that may hold race or sprint rows of `season`: season
// pages, one-round pages and filtered queries, the test servers' recordings among them.
struct RecordedPages {
  std::vector<std::string> paths;
  std::vector<Json> documents;  // documents[i] is the page at paths[i]
};

RecordedPages recordedResultPages(const BuildContext& context, const std::string& season) {
  RecordedPages pages;
  for (const std::string& path : context.listFiles("results-api")) {
    if (path.find("/" + season + "/") == std::string::npos || !path.ends_with(".json")) continue;
    auto bytes = context.read(path);
    if (!bytes) continue;
    auto document = parsed(*bytes);
    if (document && document->contains("MRData") && (*document)["MRData"].contains("RaceTable")) {
      pages.paths.push_back(path);
      pages.documents.push_back(std::move(*document));
    }
  }
  return pages;
}

// Standings after each round from the first on, for as long as every round so far has every scoring
// row of its race (and of its sprint, where the calendar has one) recorded somewhere. Standings
// recorded for a round are kept as they are.
std::expected<void, std::string> addDerivedStandings(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  const SnapshotFile* calendar = snapshot.find("results-api/" + season + ".json");
  if (!calendar) return {};
  auto calendarJson = parsed(calendar->bytes);
  if (!calendarJson || !calendarJson->contains("MRData")) return {};
  const RecordedPages pages = recordedResultPages(context, season);

  std::vector<Json> rounds;  // one-round results of rounds 1..round
  std::vector<std::string> sources;
  const Json& table = (*calendarJson)["MRData"].value("RaceTable", Json::object());
  int round = 0;
  for (const Json& race : table.value("Races", Json::array())) {
    if (roundOf(race) != ++round) break;
    std::vector<RoundKind> kinds{RoundKind::race};
    if (race.contains("Sprint")) kinds.push_back(RoundKind::sprint);
    bool complete = true;
    for (RoundKind kind : kinds) {
      auto rows = scoringRowsOfRound(pages.documents, round, kind);
      if (!rows) {
        complete = false;
        break;
      }
      rounds.push_back(std::move(*rows));
    }
    if (!complete) break;
    // The pages that hold rows of this round.
    for (std::size_t page = 0; page < pages.paths.size(); ++page) {
      const std::string& path = pages.paths[page];
      for (const Json& listed : pages.documents[page]["MRData"]["RaceTable"].value("Races", Json::array())) {
        const bool holdsRows = listed.contains("Results") || listed.contains("SprintResults");
        if (holdsRows && roundOf(listed) == round && std::ranges::find(sources, path) == sources.end())
          sources.push_back(path);
      }
    }
    for (auto [kind, name] : {std::pair{StandingsKind::drivers, "driverStandings.json"},
                              std::pair{StandingsKind::constructors, "constructorStandings.json"}}) {
      std::string path = "results-api/" + season + "/" + std::to_string(round) + "/" + name;
      if (snapshot.contains(path)) continue;
      auto standings = standingsAfterRounds(rounds, round, kind);
      if (!standings) return std::unexpected(path + ": " + standings.error());
      snapshot.add(path, {compact(*standings), Origin::derived, sources,
                          "standings after round " + std::to_string(round) +
                              ", from the recorded race and sprint results of rounds 1 to " +
                              std::to_string(round) +
                              " (points and wins as the rows record them, ties by the better finishes; rows a "
                              "page left out are below one that scored nothing); not recorded"});
    }
  }
  return {};
}

std::expected<void, std::string> addCurrentSeason(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  std::string calendarPath = "results-api/" + season + ".json";
  const SnapshotFile* calendar = snapshot.find(calendarPath);
  if (!calendar) return std::unexpected("no recorded calendar " + calendarPath);
  auto now = readInstant(context.options.now);
  if (!now) return std::unexpected("now is not an ISO 8601 UTC instant: " + context.options.now);
  auto calendarJson = parsed(calendar->bytes);
  if (!calendarJson) return std::unexpected(calendarPath + " is not JSON");

  snapshot.add("results-api/current.json",
               {calendar->bytes, Origin::derived, {calendarPath},
                "copy of " + calendarPath + ": " + season + " is the current season at now"});
  int finished = lastFinishedRound(*calendarJson, *now);
  for (const char* name : {"driverStandings.json", "constructorStandings.json"}) {
    for (int round = finished; round >= 1; --round) {
      std::string source = "results-api/" + season + "/" + std::to_string(round) + "/" + name;
      const SnapshotFile* standings = snapshot.find(source);
      if (!standings) continue;
      std::string how = "copy of " + source + ": standings after round " + std::to_string(round) +
                        ", the last round finished by now (round " + std::to_string(finished) +
                        ") whose standings the snapshot holds";
      // The season's own table answers as the service did at now, not with the recorded final one.
      SnapshotFile asOfNow{standings->bytes, Origin::derived, {source}, how};
      snapshot.add("results-api/" + season + "/" + name, asOfNow);
      snapshot.add(std::string("results-api/current/") + name, std::move(asOfNow));
      break;
    }
  }
  return {};
}

std::optional<std::string> sessionPathOf(const std::string& stateFolderInfo) {
  auto info = parsed(stateFolderInfo);
  if (!info || !info->contains("Path") || !(*info)["Path"].is_string()) return std::nullopt;
  return (*info)["Path"].get<std::string>();
}

}  // namespace

std::expected<std::string, std::string> BuildContext::read(const std::string& fixturePath) const {
  std::ifstream in(options.fixtures / fixturePath, std::ios::binary);
  if (!in) return std::unexpected("cannot read fixture " + fixturePath);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string BuildContext::recordedFrom(const std::string& fixturePath) const {
  auto found = std::ranges::find(manifest, fixturePath, &std::pair<std::string, std::string>::first);
  return found == manifest.end() ? std::string{} : found->second;
}

std::vector<std::string> BuildContext::listFiles(const std::string& fixtureDirectory) const {
  std::vector<std::string> files;
  std::error_code error;
  fs::path root = options.fixtures / fixtureDirectory;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file())
      files.push_back(fs::relative(it->path(), options.fixtures).generic_string());
  std::ranges::sort(files);
  return files;
}

std::expected<void, std::string> produceResultsApi(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  std::vector<std::string> recorded{"results-api/" + season + ".json"};
  std::ranges::copy(context.listFiles("results-api/" + season), std::back_inserter(recorded));
  for (const auto& fixturePath : recorded)
    if (auto copied = copyRecorded(context, snapshot, fixturePath, fixturePath, "as recorded"); !copied)
      return copied;
  if (auto derived = addDerivedRounds(context, snapshot); !derived) return derived;
  if (auto standings = addDerivedStandings(context, snapshot); !standings) return standings;
  if (auto laps = addDerivedLaps(context, snapshot); !laps) return laps;
  return addCurrentSeason(context, snapshot);
}

// How many leading updates of a driver list's stream describe the session's own cars: after a session
// the feed may hand the list to another series, deleting each car's team and names, and a folded state
// that includes that has no car the app can read.
static std::size_t sessionDriverUpdates(const livefeed::ParsedStream& stream) {
  for (std::size_t index = 0; index < stream.updates.size(); ++index) {
    const Json& delta = stream.updates[index].delta;
    if (!delta.is_object()) continue;
    for (const auto& [car, entry] : delta.items())
      if (entry.is_object() && entry.contains("_deleted")) return index;
  }
  return stream.updates.size();
}

std::expected<void, std::string> produceLiveTiming(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  std::string index = "livetiming/" + season + "/Index.json";
  if (auto copied = copyRecorded(context, snapshot, index, index, "as recorded"); !copied) return copied;

  auto isReplayed = [&](const std::string& sessionPath) {
    return std::ranges::any_of(context.options.replays,
                               [&](const auto& replay) { return replay.sessionPath == sessionPath; });
  };
  for (const auto& fixturePath : context.listFiles("livetiming/" + season)) {
    fs::path file(fixturePath);
    if (file.extension() != ".jsonStream") continue;
    auto bytes = context.read(fixturePath);
    if (!bytes) return std::unexpected(bytes.error());
    auto stream = livefeed::parseStream(*bytes);
    std::string folder = file.parent_path().generic_string();
    std::string keyframe = folder + "/" + file.stem().string() + ".json";
    std::string how = "final state: " + std::to_string(stream.updates.size()) + " updates of the stream folded";
    if (file.stem() == "DriverList") {
      // A list whose very first update deletes is left whole: there is no earlier state to keep.
      if (std::size_t kept = sessionDriverUpdates(stream); kept > 0 && kept < stream.updates.size()) {
        how = "final state of the session's own drivers: the first " + std::to_string(kept) + " of " +
              std::to_string(stream.updates.size()) +
              " updates of the stream folded; the later ones strip the cars' teams and names (the feed "
              "reused the list for another series after the session)";
        stream.updates.resize(kept);
      }
    }
    if (stream.skippedLines > 0) how += ", " + std::to_string(stream.skippedLines) + " unreadable lines skipped";
    snapshot.add(keyframe, {livefeed::keyframeText(livefeed::foldAll(stream)), Origin::derived,
                            {fixturePath}, std::move(how)});
    std::string sessionPath = folder.substr(std::string("livetiming/").size()) + "/";
    if (isReplayed(sessionPath)) {
      auto copied = copyRecorded(context, snapshot, fixturePath, fixturePath,
                                 "as recorded; kept for the live replay (replay.tsv)");
      if (!copied) return copied;
    }
  }

  // Keyframe state recorded from the live service's subscribe reply, one file per topic.
  for (const auto& infoPath : context.listFiles("livetiming/_signalr-state")) {
    if (fs::path(infoPath).filename() != "SessionInfo.json") continue;
    auto info = context.read(infoPath);
    if (!info) return std::unexpected(info.error());
    auto sessionPath = sessionPathOf(*info);
    if (!sessionPath || !sessionPath->starts_with(season + "/")) continue;
    std::string stateFolder = fs::path(infoPath).parent_path().generic_string();
    for (const auto& fixturePath : context.listFiles(stateFolder)) {
      std::string name = fs::path(fixturePath).filename().string();
      // Compressed car and position topics have no reader; the whole reply is split already.
      if (name.ends_with(".z.json") || name.starts_with("initial-state")) continue;
      std::string target = "livetiming/" + *sessionPath + name;
      if (snapshot.contains(target)) continue;
      auto copied = copyKeyframe(context, snapshot, fixturePath, target);
      if (!copied) return copied;
    }
  }
  return {};
}

// The other seasons the recordings hold that the year menu offers (2005 on), so it finds them
// offline: each calendar, the results recorded under it and the live-timing index when there is
// one. Nothing is derived.
std::expected<void, std::string> produceOtherSeasons(const BuildContext& context, SeasonSnapshot& snapshot) {
  std::vector<std::string> years;
  for (const auto& path : context.listFiles("results-api")) {
    fs::path file(path);
    std::string year = file.stem().string();
    bool isCalendar = file.parent_path() == "results-api" && file.extension() == ".json" && year.size() == 4 &&
                      std::ranges::all_of(year, [](char c) { return c >= '0' && c <= '9'; });
    constexpr const char* firstOfferedYear = "2005";
    if (isCalendar && year != context.options.season && year >= firstOfferedYear) years.push_back(year);
  }
  for (const auto& year : years) {
    std::vector<std::string> recorded{"results-api/" + year + ".json"};
    std::ranges::copy(context.listFiles("results-api/" + year), std::back_inserter(recorded));
    if (std::string index = "livetiming/" + year + "/Index.json"; fs::exists(context.options.fixtures / index))
      recorded.push_back(index);
    for (const auto& fixturePath : recorded)
      if (auto copied = copyRecorded(context, snapshot, fixturePath, fixturePath, "as recorded"); !copied)
        return copied;
  }
  return {};
}

std::vector<Producer> defaultProducers() {
  return {produceResultsApi, produceOtherSeasons, produceLiveTiming, produceSessionDocuments, produceDerivedTiming,
          produceTeamRadio,
          produceRaceControlMessages, produceImages, producePolls, produceFlags, produceNewsFeeds};
}

std::expected<SeasonSnapshot, std::string> buildSnapshot(const BuildOptions& options,
                                                         const std::vector<Producer>& producers) {
  BuildContext context{options, {}};
  auto manifestText = context.read("MANIFEST.tsv");
  if (!manifestText) return std::unexpected(manifestText.error());
  std::istringstream lines(*manifestText);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    std::vector<std::string> columns;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) columns.push_back(cell);
    if (columns.size() < 2) continue;
    std::string from = columns.size() > 2 && !columns[2].empty() ? columns[2] : columns[1];
    context.manifest.emplace_back(columns[0], std::move(from));
  }

  SeasonSnapshot snapshot;
  for (const auto& produce : producers) {
    std::expected<void, std::string> produced;
    try {
      produced = produce(context, snapshot);
    } catch (const Json::exception& error) {
      produced = std::unexpected(std::string("unexpected recorded document: ") + error.what());
    }
    if (!produced) return std::unexpected(produced.error());
  }

  snapshot.add("now.txt", {options.now + "\n", Origin::generated, {},
                           "the snapshot's now (see the header of this listing)"});
  std::string replay = "# session path\tstream origin (UTC): the instant at which the streams' elapsed time is 0\n";
  for (const auto& entry : options.replays) replay += entry.sessionPath + "\t" + entry.streamOrigin + "\n";
  snapshot.add("replay.tsv", {std::move(replay), Origin::generated, {},
                              "sessions replayed from their .jsonStream files, with their time origin"});

  std::vector<std::string> header = {
      "Origin of every file of the offline season, built by tools/offline-season (offline-season-builder).",
      "recorded: the bytes of the named fixture, unchanged. derived: computed from the named recorded",
      "files only, as described. generated: written by the tool. Fixture paths are relative to the",
      "project's recorded-data folder (see its SOURCES.md and MANIFEST.tsv).",
      "now = " + options.now + ": during the Azerbaijan sprint (round 4, Saturday). The app shows a",
      "weekend live from its race's or its sprint's start (date and time, UTC) until three hours later and",
      "gives the live screen the session that runs, here the Sprint, whose TimingData stream was recorded",
      "and is replayed with its Started status at the sprint's start; rounds 1-3 are finished and rounds",
      "5-22 upcoming. Bahrain's race (round 1) is replayed on its recording's own clock from a derived",
      "TimingData stream. Standings after rounds 1 and 2 are derived from the recorded race results of",
      "those rounds; round 3's result is recorded only for its first two places, so the current season's",
      "standings (current/ and " + options.season + "/) are those after round 2, the last round they can be derived for.",
  };
  std::string listing = snapshot.sourcesListing(header);
  snapshot.add("SOURCES.tsv", {std::move(listing), Origin::generated, {}, "this listing"});
  return snapshot;
}

}  // namespace offline_season
