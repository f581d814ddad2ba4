#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "data/ResultModels.h"
#include "foundation/Date.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/EventsModel.h"

// The sessions of a race weekend as the finished-weekend screen tells them apart: by the session's
// type and name in the season index, never by a word inside its folder's path (a sprint shoot-out's
// path holds "Sprint" too).
namespace weekend {

// The session tabs after the race (1) and qualifying (2): the sprint or Practice 3, Practice 2,
// Practice 1.
enum class SessionKind { race, qualifying, sprint, sprintShootout, practice1, practice2, practice3, other };

SessionKind kindOf(const livetiming::Session& session);

// The meeting's first session of the kind, or none.
const livetiming::Session* findSession(const std::vector<livetiming::Session>& sessions, SessionKind kind);

// The live-timing folder of the race itself (type "Race" and not the sprint), or empty. On a sprint
// weekend the index lists the sprint first and types it "Race" as well.
std::string raceSessionPath(const RacesDetailsModel& race, const std::vector<livetiming::Meeting>& meetings);

// A session's start as the instant it is: the index writes the track's clock time
// ("2023-03-05T18:00:00") beside the track's offset from UTC ("03:00:00", "-04:00:00").
std::optional<foundation::Date> sessionStart(const livetiming::Session& session);

// A results-API session start ("yyyy-MM-dd" and "HH:mm:ssZ", UTC). None without both texts.
std::optional<foundation::Date> scheduledStart(const std::optional<std::string>& date, const std::optional<std::string>& time);

// A pit stop's duration in seconds: "23.456" or, over a minute, "1:02.345". None when it does not read.
std::optional<double> pitStopSeconds(const std::string& duration);

// The quickest stop by its duration; stops whose duration does not read never win. None for no stops.
std::optional<PitStopsModel> fastestPitStop(const std::vector<PitStopsModel>& stops);

// The result that set the race's fastest lap (rank "1"); none when no result carries it.
std::optional<RaceResultsModel> fastestLapResult(const std::vector<RaceResultsModel>& results);

// The polls service answers the polls of the season under way only, and a season runs within one
// calendar year: the polls at `now` are those of `now`'s year (UTC). Races of other seasons share
// their names with this season's, so only a race of that year has a poll.
bool pollsCover(const RacesDetailsModel& race, foundation::Date now);
// The first poll named as `race`, when the polls cover the race; none otherwise.
const livetiming::DriverOfTheDayDataModel* pollOf(const livetiming::DriverOfTheDayModel& polls,
                                                  const RacesDetailsModel& race, foundation::Date now);

}  // namespace weekend
