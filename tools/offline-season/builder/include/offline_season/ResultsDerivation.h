#pragma once

#include <expected>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Documents of the results API derived from other recorded responses of the same service.
namespace offline_season {

using Json = nlohmann::ordered_json;

// The one-round answer ("<season>/<round>/results.json", ".../qualifying.json", ".../sprint.json")
// cut out of a season-wide answer of the same kind, in the envelope the service gives a one-round
// query: offset "0", total = that round's rows, RaceTable with "season", "round" and the one race.
// Fails when the page does not hold every row of the round (the service pages by rows, so a round
// cut at either end of the page is incomplete) or when the round is not in it.
std::expected<Json, std::string> roundFromSeason(const Json& seasonDocument, int round);

// The one-lap answer ("<season>/<round>/laps/<lap>.json") cut out of a page of a race's laps
// ("<season>/<round>/laps.json"), in the envelope of a one-lap query. Fails like roundFromSeason when
// the page does not hold every timing of the lap (a lap at either end of a page that is not the whole
// answer) or when the lap is not in it.
std::expected<Json, std::string> lapFromRace(const Json& lapsDocument, int lap);

// Championship standings after a season's first round, from that round's recorded race result:
// points and wins as scored, ties broken by the better finish. Only the first round can be done this
// way: later rounds need every earlier result.
enum class StandingsKind { drivers, constructors };
std::expected<Json, std::string> standingsAfterOpeningRound(const Json& roundResults,
                                                            StandingsKind kind);

// Championship standings after `round`, from one-round race and sprint results of rounds 1 to
// `round` (as scoringRowsOfRound gives them): points as the rows record them, wins and the count-back
// from the races (a driver without a row in a race scored nothing there and finished behind every
// recorded row), ties broken by the better finishes.
std::expected<Json, std::string> standingsAfterRounds(const std::vector<Json>& roundResults, int round,
                                                      StandingsKind kind);

// One round's race or sprint rows gathered from recorded pages of the service (season-wide pages,
// one-round pages, filtered queries), as a one-round document holding every recorded row in finishing
// order. Fails unless the rows run without a gap from the winner down to one that scored nothing
// (then they hold every point of the round), or when two pages disagree on a position.
enum class RoundKind { race, sprint };
std::expected<Json, std::string> scoringRowsOfRound(const std::vector<Json>& pages, int round, RoundKind kind);

}  // namespace offline_season
