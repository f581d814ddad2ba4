#include "offline_season/ResultsDerivation.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace offline_season {
namespace {

// The members of a race record that hold its rows, one kind per document.
constexpr const char* rowKeys[] = {"Results", "QualifyingResults", "SprintResults"};

std::optional<long long> wholeNumber(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  const auto& text = value.get_ref<const std::string&>();
  long long number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return number;
}

const char* rowKeyOf(const Json& race) {
  for (const char* key : rowKeys)
    if (race.contains(key) && race[key].is_array()) return key;
  return nullptr;
}

// ".../2023/results.json" -> ".../2023/5/results.json"
std::string oneRoundUrl(const std::string& seasonUrl, int round) {
  auto slash = seasonUrl.rfind('/');
  if (slash == std::string::npos) return seasonUrl;
  return seasonUrl.substr(0, slash) + "/" + std::to_string(round) + seasonUrl.substr(slash);
}

Json envelopeLike(const Json& source, const std::string& url, std::size_t total) {
  Json envelope = Json::object();
  for (const char* key : {"xmlns", "series"})
    if (source.contains(key)) envelope[key] = source[key];
  envelope["url"] = url;
  envelope["limit"] = source.value("limit", "30");
  envelope["offset"] = "0";
  envelope["total"] = std::to_string(total);
  return envelope;
}

// Points are sent as decimal text ("25", "0.5"); summed as doubles and written back the same way.
std::string pointsText(double points) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, points);
  return error == std::errc{} ? std::string(buffer, end) : "0";
}

std::optional<double> pointsOf(const Json& row) {
  if (!row.contains("points") || !row["points"].is_string()) return std::nullopt;
  const auto& text = row["points"].get_ref<const std::string&>();
  double points = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), points);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return points;
}

// A member of an unexpected JSON type makes nlohmann throw; it reaches callers as an error.
template <typename Work>
std::expected<Json, std::string> guarded(Work work) {
  try {
    return work();
  } catch (const Json::exception& error) {
    return std::unexpected(std::string("unexpected document: ") + error.what());
  }
}

std::expected<Json, std::string> roundFromSeasonUnguarded(const Json& seasonDocument, int round) {
  if (!seasonDocument.contains("MRData")) return std::unexpected("no MRData envelope");
  const Json& data = seasonDocument["MRData"];
  auto total = data.contains("total") ? wholeNumber(data["total"]) : std::nullopt;
  auto offset = data.contains("offset") ? wholeNumber(data["offset"]) : std::nullopt;
  auto limit = data.contains("limit") ? wholeNumber(data["limit"]) : std::nullopt;
  if (!total || !offset || !limit) return std::unexpected("envelope without total, offset or limit");
  if (!data.contains("RaceTable") || !data["RaceTable"].contains("Races") ||
      !data["RaceTable"]["Races"].is_array())
    return std::unexpected("no RaceTable.Races");
  const Json& races = data["RaceTable"]["Races"];

  std::size_t rowsInPage = 0;
  std::optional<std::size_t> found;
  for (std::size_t index = 0; index < races.size(); ++index) {
    const char* key = rowKeyOf(races[index]);
    if (!key) return std::unexpected("race without result rows");
    rowsInPage += races[index][key].size();
    if (wholeNumber(races[index].value("round", Json())) == round) found = index;
  }
  if (!found) return std::unexpected("round " + std::to_string(round) + " is not in this page");
  bool cutAtStart = *found == 0 && *offset > 0;
  bool cutAtEnd = *found + 1 == races.size() &&
                  static_cast<long long>(*offset + rowsInPage) < *total;
  if (cutAtStart || cutAtEnd)
    return std::unexpected("round " + std::to_string(round) + " is cut by the page boundary");

  const Json& race = races[*found];
  std::size_t rows = race[rowKeyOf(race)].size();
  if (static_cast<long long>(rows) > *limit)
    return std::unexpected("round has more rows than one page of the service");

  Json envelope = envelopeLike(data, oneRoundUrl(data.value("url", ""), round), rows);
  Json table = Json::object();
  table["season"] = data["RaceTable"].value("season", race.value("season", ""));
  table["round"] = std::to_string(round);
  table["Races"] = Json::array({race});
  envelope["RaceTable"] = std::move(table);
  return Json{{"MRData", std::move(envelope)}};
}

// The one race of a one-round document, or why it is not one.
std::expected<const Json*, std::string> oneRace(const Json& document) {
  if (!document.contains("MRData")) return std::unexpected("no MRData envelope");
  const Json& data = document["MRData"];
  if (!data.contains("RaceTable") || !data["RaceTable"].contains("Races") ||
      data["RaceTable"]["Races"].size() != 1)
    return std::unexpected("not a one-round result");
  return &data["RaceTable"]["Races"][0];
}

std::expected<Json, std::string> standingsUnguarded(const std::vector<Json>& roundResults, int round,
                                                    StandingsKind kind) {
  if (roundResults.empty()) return std::unexpected("no results");
  struct Entry {
    std::string id;
    Json driver;
    Json constructor;
    double points = 0;
    int wins = 0;
    std::vector<long long> finishes;  // race finishes, best first: the count-back order
  };
  std::vector<Entry> entries;
  std::map<std::string, std::size_t> indexById;
  const Json* race = nullptr;
  for (const Json& document : roundResults) {
    auto found = oneRace(document);
    if (!found) return std::unexpected(found.error());
    race = *found;
    auto roundOfRace = wholeNumber(race->value("round", Json()));
    if (!roundOfRace || *roundOfRace < 1 || *roundOfRace > round)
      return std::unexpected("a result of another round than 1 to " + std::to_string(round));
    const bool sprint = race->contains("SprintResults");
    const char* rowKey = sprint ? "SprintResults" : "Results";
    if (!race->contains(rowKey) || !(*race)[rowKey].is_array() || (*race)[rowKey].empty())
      return std::unexpected("race without results");
    for (const Json& result : (*race)[rowKey]) {
      auto points = pointsOf(result);
      auto position = result.contains("position") ? wholeNumber(result["position"]) : std::nullopt;
      if (!points || !position || !result.contains("Driver") || !result.contains("Constructor"))
        return std::unexpected("result row without points, position, driver or constructor");
      const Json& owner = kind == StandingsKind::drivers ? result["Driver"] : result["Constructor"];
      std::string id = owner.value(kind == StandingsKind::drivers ? "driverId" : "constructorId", "");
      if (id.empty()) return std::unexpected("result row without an identifier");
      auto [slot, inserted] = indexById.try_emplace(id, entries.size());
      if (inserted) entries.push_back({id, result["Driver"], result["Constructor"], 0, 0, {}});
      Entry& entry = entries[slot->second];
      entry.points += *points;
      // Wins and the count-back are the races' own: a sprint gives points only.
      if (sprint) continue;
      entry.constructor = result["Constructor"];  // the driver's latest team
      entry.wins += *position == 1 ? 1 : 0;
      entry.finishes.push_back(*position);
    }
  }
  const Json& data = roundResults.back()["MRData"];
  // A race without a row for an entry counts as a finish behind every recorded one.
  std::size_t races = 0;
  for (const auto& entry : entries) races = std::max(races, entry.finishes.size());
  for (auto& entry : entries) {
    entry.finishes.resize(races, std::numeric_limits<long long>::max());
    std::ranges::sort(entry.finishes);
  }
  std::ranges::stable_sort(entries, [](const Entry& a, const Entry& b) {
    if (a.points != b.points) return a.points > b.points;
    return a.finishes < b.finishes;
  });

  Json standings = Json::array();
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const Entry& entry = entries[index];
    Json row = Json::object();
    row["position"] = std::to_string(index + 1);
    row["positionText"] = std::to_string(index + 1);
    row["points"] = pointsText(entry.points);
    row["wins"] = std::to_string(entry.wins);
    if (kind == StandingsKind::drivers) {
      row["Driver"] = entry.driver;
      row["Constructors"] = Json::array({entry.constructor});
    } else {
      row["Constructor"] = entry.constructor;
    }
    standings.push_back(std::move(row));
  }

  std::string document = kind == StandingsKind::drivers ? "driverStandings.json" : "constructorStandings.json";
  std::string url = data.value("url", "");
  if (auto slash = url.rfind('/'); slash != std::string::npos) url = url.substr(0, slash + 1) + document;
  Json envelope = envelopeLike(data, url, standings.size());
  Json list = Json::object();
  list["season"] = race->value("season", "");
  list["round"] = std::to_string(round);
  list[kind == StandingsKind::drivers ? "DriverStandings" : "ConstructorStandings"] = std::move(standings);
  Json table = Json::object();
  table["season"] = race->value("season", "");
  table["round"] = std::to_string(round);
  table["StandingsLists"] = Json::array({std::move(list)});
  envelope["StandingsTable"] = std::move(table);
  return Json{{"MRData", std::move(envelope)}};
}

std::expected<Json, std::string> lapUnguarded(const Json& lapsDocument, int lap) {
  if (!lapsDocument.contains("MRData")) return std::unexpected("no MRData envelope");
  const Json& data = lapsDocument["MRData"];
  auto total = data.contains("total") ? wholeNumber(data["total"]) : std::nullopt;
  auto offset = data.contains("offset") ? wholeNumber(data["offset"]) : std::nullopt;
  if (!total || !offset) return std::unexpected("envelope without total or offset");
  if (!data.contains("RaceTable") || !data["RaceTable"].is_object() || !data["RaceTable"].contains("Races"))
    return std::unexpected("no RaceTable.Races");
  const Json& races = data["RaceTable"]["Races"];
  if (!races.is_array() || races.size() != 1) return std::unexpected("not one race's laps");
  const Json& race = races[0];
  const Json& laps = race.value("Laps", Json::array());
  std::size_t rowsInPage = 0;
  std::optional<std::size_t> found;
  for (std::size_t index = 0; index < laps.size(); ++index) {
    rowsInPage += laps[index].value("Timings", Json::array()).size();
    if (wholeNumber(laps[index].value("number", Json())) == lap) found = index;
  }
  if (!found) return std::unexpected("lap " + std::to_string(lap) + " is not in this page");
  bool cutAtStart = *found == 0 && *offset > 0;
  bool cutAtEnd = *found + 1 == laps.size() && static_cast<long long>(*offset + rowsInPage) < *total;
  if (cutAtStart || cutAtEnd) return std::unexpected("lap " + std::to_string(lap) + " is cut by the page boundary");

  std::string url = data.value("url", "");
  if (url.ends_with(".json")) url = url.substr(0, url.size() - 5) + "/" + std::to_string(lap) + ".json";
  Json envelope = envelopeLike(data, url, laps[*found].value("Timings", Json::array()).size());
  envelope["limit"] = "30";
  Json oneLap = race;
  oneLap["Laps"] = Json::array({laps[*found]});
  Json table = Json::object();
  table["season"] = data["RaceTable"].value("season", race.value("season", ""));
  table["round"] = data["RaceTable"].value("round", race.value("round", ""));
  table["Races"] = Json::array({std::move(oneLap)});
  envelope["RaceTable"] = std::move(table);
  return Json{{"MRData", std::move(envelope)}};
}

}  // namespace

std::expected<Json, std::string> lapFromRace(const Json& lapsDocument, int lap) {
  return guarded([&] { return lapUnguarded(lapsDocument, lap); });
}

std::expected<Json, std::string> roundFromSeason(const Json& seasonDocument, int round) {
  return guarded([&] { return roundFromSeasonUnguarded(seasonDocument, round); });
}

std::expected<Json, std::string> standingsAfterOpeningRound(const Json& roundResults,
                                                            StandingsKind kind) {
  return guarded([&]() -> std::expected<Json, std::string> {
    auto race = oneRace(roundResults);
    if (!race) return std::unexpected(race.error());
    if ((*race)->value("round", "") != "1") return std::unexpected("not the season's first round");
    return standingsUnguarded({roundResults}, 1, kind);
  });
}

std::expected<Json, std::string> standingsAfterRounds(const std::vector<Json>& roundResults, int round,
                                                      StandingsKind kind) {
  return guarded([&] { return standingsUnguarded(roundResults, round, kind); });
}

std::expected<Json, std::string> scoringRowsOfRound(const std::vector<Json>& pages, int round, RoundKind kind) {
  return guarded([&]() -> std::expected<Json, std::string> {
    const char* rowKey = kind == RoundKind::sprint ? "SprintResults" : "Results";
    std::map<long long, Json> rows;  // by position
    const Json* anyRace = nullptr;
    const Json* envelope = nullptr;
    for (const Json& page : pages) {
      if (!page.contains("MRData") || !page["MRData"].contains("RaceTable") ||
          !page["MRData"]["RaceTable"].contains("Races") || !page["MRData"]["RaceTable"]["Races"].is_array())
        continue;
      for (const Json& race : page["MRData"]["RaceTable"]["Races"]) {
        if (wholeNumber(race.value("round", Json())) != round || !race.contains(rowKey)) continue;
        if (!anyRace) {
          anyRace = &race;
          envelope = &page["MRData"];
        }
        for (const Json& row : race[rowKey]) {
          auto position = row.contains("position") ? wholeNumber(row["position"]) : std::nullopt;
          if (!position) return std::unexpected("a row without a position");
          auto [slot, inserted] = rows.try_emplace(*position, row);
          const Json& kept = slot->second;
          if (!inserted && (kept.value("Driver", Json::object()).value("driverId", "") !=
                                row.value("Driver", Json::object()).value("driverId", "") ||
                            kept.value("points", "") != row.value("points", "")))
            return std::unexpected("two recordings disagree on position " + std::to_string(*position));
        }
      }
    }
    if (!anyRace) return std::unexpected("round " + std::to_string(round) + " is not recorded");
    // Points fall with the finishing order, so rows from the winner down to one that scored nothing
    // hold every point of the round.
    Json ordered = Json::array();
    long long expected = 1;
    bool reachedNothing = false;
    for (auto& [position, row] : rows) {
      if (position == expected && !reachedNothing) {
        ++expected;
        reachedNothing = pointsOf(row) == 0.0;
      }
      ordered.push_back(row);
    }
    if (!reachedNothing)
      return std::unexpected("round " + std::to_string(round) + " lacks a row that scored (recorded down to P" +
                             std::to_string(expected - 1) + ")");
    Json race = *anyRace;
    race[rowKey] = std::move(ordered);
    const std::string season = race.value("season", "");
    std::string url = envelope->value("url", "");
    if (auto at = url.find("/" + season + "/"); at != std::string::npos)
      url = url.substr(0, at) + "/" + season + "/" + std::to_string(round) + "/" +
            (kind == RoundKind::sprint ? "sprint.json" : "results.json");
    Json result = envelopeLike(*envelope, url, race[rowKey].size());
    Json table = Json::object();
    table["season"] = season;
    table["round"] = std::to_string(round);
    table["Races"] = Json::array({std::move(race)});
    result["RaceTable"] = std::move(table);
    return Json{{"MRData", std::move(result)}};
  });
}

}  // namespace offline_season
