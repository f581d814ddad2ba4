// The polls service's one document: a driver-of-the-day poll for every race of the calendar.
#include <algorithm>
#include <array>
#include <charconv>

#include "Pictures.h"
#include "SnapshotSupport.h"
#include "data/CountryFlags.h"
#include "foundation/JSONDecoder.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

// The driver list's three-letter nationality codes of the 2023 grid, as the app's flag list names
// those countries.
constexpr std::array<std::pair<std::string_view, std::string_view>, 19> countryOfCode{{
    {"ARG", "Argentina"}, {"AUS", "Australia"}, {"BRA", "Brazil"},  {"CAN", "Canada"},
    {"CHN", "China"},     {"DEN", "Denmark"},   {"ESP", "Spain"},   {"FIN", "Finland"},
    {"FRA", "France"},    {"GBR", "UK"},        {"GER", "Germany"}, {"ITA", "Italy"},
    {"JPN", "Japan"},     {"MEX", "Mexico"},    {"MON", "Monaco"},  {"NED", "Netherlands"},
    {"NZL", "New Zealand"}, {"THA", "Thailand"}, {"USA", "USA"},
}};

std::string flagAddress(const std::vector<CountryFlagsModel>& flags, const std::string& countryCode) {
  auto country = std::ranges::find(countryOfCode, countryCode, &std::pair<std::string_view, std::string_view>::first);
  if (country == countryOfCode.end()) return {};
  const CountryFlagsModel* entry = flagForCountry(flags, country->second);
  return entry ? entry->flag : std::string{};
}

// The recorded race winner of a round, by racing number, and the file that records it.
std::optional<std::pair<std::string, std::string>> raceWinner(const SeasonSnapshot& snapshot,
                                                              const std::string& season, int round) {
  auto result = recordedRoundRows(snapshot, season, round, "results");
  if (!result) return std::nullopt;
  for (const Json& row : result->rows)
    if (row.value("position", "") == "1") return std::pair{row.value("number", ""), result->source};
  return std::nullopt;
}

// Where the poll's body shot lies: beside the headshot, on the same host.
std::string bodyshotAddress(const std::string& headshot) {
  auto dot = headshot.rfind(".png");
  return dot == std::string::npos ? std::string{} : headshot.substr(0, dot) + "-bodyshot.png";
}

}  // namespace

std::expected<void, std::string> producePolls(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  auto now = readInstant(context.options.now);
  if (!now) return std::unexpected("now is not an ISO 8601 UTC instant: " + context.options.now);
  auto flags = foundation::JSONDecoder{}.decode<std::vector<CountryFlagsModel>>(
      foundation::Data::fromString(CountryFlagsJSON::shared().countryFlagsJSON));
  if (!flags) return std::unexpected("the app's country-flag list does not decode");

  Json polls = Json::array();
  std::vector<std::string> sources{"results-api/" + season + ".json"};
  std::string winners;
  for (const Json& race : calendarRaces(snapshot, season)) {
    Json poll{{"grandPrixName", race.value("raceName", "")}};
    auto start = raceStart(race);
    // The vote closes once the race is over, which the app takes as three hours after its start.
    bool finished = start && *start + std::chrono::hours{3} <= *now;
    auto winner = finished ? raceWinner(snapshot, season, roundOf(race)) : std::nullopt;
    auto drivers = seasonDriversAsOf(snapshot, season, race.value("date", ""));
    auto driver = winner ? drivers.find(winner->first) : drivers.end();
    if (driver != drivers.end()) {
      const FeedDriver& feed = driver->second;
      std::string headshot = headshotAddress(feed.headshotUrl);
      std::string bodyshot = bodyshotAddress(headshot);
      std::int64_t number = 0;
      std::from_chars(feed.racingNumber.data(), feed.racingNumber.data() + feed.racingNumber.size(), number);
      poll["winner"] = Json{{"firstName", feed.firstName},   {"lastName", feed.lastName},
                            {"teamName", feed.teamName},     {"teamColour", feed.teamColour},
                            {"number", number},              {"headshotURL", headshot},
                            {"bodyshotURL", bodyshot},       {"flagURL", flagAddress(*flags, feed.countryCode)}};
      if (std::string path = imagePath(bodyshot); !path.empty() && !snapshot.contains(path))
        snapshot.add(path, {bodyshotPng(feed), Origin::generated, {},
                            "placeholder body shot drawn by the tool for the poll winner " + feed.tla +
                                " (team colour, letters)"});
      if (std::ranges::find(sources, winner->second) == sources.end()) sources.push_back(winner->second);
      winners += (winners.empty() ? "" : ", ") + race.value("round", "") + ": " + feed.tla;
    }
    polls.push_back(std::move(poll));
  }
  sources.push_back("livetiming/" + season + "/*/*/DriverList.json");
  snapshot.add("polls/v1/polls/index.json",
               {compact(Json{{"data", polls}}), Origin::generated, sources,
                "one poll per calendar race, named by its raceName; races finished by now with a "
                "recorded result have the race winner as poll winner (" + winners +
                    "), names, team, colour and number from the recorded driver lists, pictures in "
                    "images/ and flags/; other polls open (no winner)"});
  return {};
}

}  // namespace offline_season
