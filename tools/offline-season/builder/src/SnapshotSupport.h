#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "offline_season/ResultsDerivation.h"
#include "offline_season/SeasonSnapshot.h"

// Helpers shared by the producers: reading the snapshot's own documents back, instants, names.
namespace offline_season {

// Parses JSON, a leading UTF-8 byte-order mark skipped; nothing for text that is not JSON.
std::optional<Json> parsed(const std::string& bytes);
// Compact UTF-8 dump, as the recorded documents are written.
std::string compact(const Json& value);
// The snapshot file at `path`, parsed; nothing when absent or not JSON.
std::optional<Json> snapshotDocument(const SeasonSnapshot& snapshot, const std::string& path);

// A race's "round" text as a number; 0 when it is not one.
int roundOf(const Json& race);
// "2023-04-30T00:30:00Z", with optional fractional seconds ("...:00.123Z").
std::optional<std::chrono::sys_seconds> readInstant(const std::string& text);
// The instant written by a strftime-style pattern (C locale, UTC): "%Y-%m-%dT%H:%M:%SZ" and so on.
std::string instantText(std::chrono::sys_seconds instant, const char* pattern = "%Y-%m-%dT%H:%M:%SZ");

// A session's "GmtOffset" ("03:00:00", "-05:00:00"): the circuit's local time less UTC.
std::chrono::seconds gmtOffset(const Json& sessionInfo);

// The season calendar's races (results-API "<season>.json"), in round order.
std::vector<Json> calendarRaces(const SeasonSnapshot& snapshot, const std::string& season);
std::optional<std::chrono::sys_seconds> raceStart(const Json& race);

// The recorded rows of one round's "results", "qualifying" or "sprint": from the round's own file,
// else from the season-wide page of that kind; `source` names the file they came from.
struct RoundRows {
  Json rows = Json::array();
  std::string source;
};
std::optional<RoundRows> recordedRoundRows(const SeasonSnapshot& snapshot, const std::string& season,
                                           int round, const std::string& kind);

// One recorded driver-list entry of the live-timing feed.
struct FeedDriver {
  std::string racingNumber, firstName, lastName, tla, broadcastName, fullName, teamName, teamColour,
      reference, countryCode, headshotUrl;
};

// The snapshot's live-timing session folders ("livetiming/2023/<meeting>/<session>/") holding
// `fileName`, in path (and so date) order.
std::vector<std::string> sessionFoldersWith(const SeasonSnapshot& snapshot, const std::string& season,
                                            const std::string& fileName);
// The driver list of a session folder, keyed by racing number; entries without a number are left out.
std::map<std::string, FeedDriver> sessionDrivers(const SeasonSnapshot& snapshot, const std::string& folder);
// Every driver of the season's recorded driver lists as of a day ("2023-03-19"): the latest list of a
// session held on or before that day wins, and numbers it lacks come from the earliest later list.
std::map<std::string, FeedDriver> seasonDriversAsOf(const SeasonSnapshot& snapshot, const std::string& season,
                                                    const std::string& day);

// The picture address the app asks for: the driver list's headshot address cut before ".transform".
std::string headshotAddress(const std::string& headshotUrl);
// Where a picture address lives in the snapshot: "images/" + its path, percent-decoded ("" when the
// address has no path).
std::string imagePath(const std::string& address);
// The same for the path part of an address alone ("/a/b%20c.png").
std::string imagePathOfUrlPath(std::string_view urlPath);

}  // namespace offline_season
