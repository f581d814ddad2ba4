#include "offline_season/ResultsDerivation.h"

#include <algorithm>
#include <charconv>
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

std::expected<Json, std::string> standingsUnguarded(const Json& roundResults, StandingsKind kind) {
  if (!roundResults.contains("MRData")) return std::unexpected("no MRData envelope");
  const Json& data = roundResults["MRData"];
  if (!data.contains("RaceTable") || !data["RaceTable"].contains("Races") ||
      data["RaceTable"]["Races"].size() != 1)
    return std::unexpected("not a one-round result");
  const Json& race = data["RaceTable"]["Races"][0];
  if (race.value("round", "") != "1") return std::unexpected("not the season's first round");
  if (!race.contains("Results") || !race["Results"].is_array() || race["Results"].empty())
    return std::unexpected("race without results");

  struct Entry {
    std::string id;
    Json driver;
    Json constructor;
    double points = 0;
    int wins = 0;
    std::vector<long long> finishes;  // best first: the count-back order
  };
  std::vector<Entry> entries;
  std::map<std::string, std::size_t> indexById;
  for (const Json& result : race["Results"]) {
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
    entry.wins += *position == 1 ? 1 : 0;
    entry.finishes.push_back(*position);
  }
  for (auto& entry : entries) std::ranges::sort(entry.finishes);
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
  list["season"] = race.value("season", "");
  list["round"] = "1";
  list[kind == StandingsKind::drivers ? "DriverStandings" : "ConstructorStandings"] = std::move(standings);
  Json table = Json::object();
  table["season"] = race.value("season", "");
  table["round"] = "1";
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
  return guarded([&] { return standingsUnguarded(roundResults, kind); });
}

}  // namespace offline_season
