#include "SnapshotSupport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace offline_season {

std::optional<Json> parsed(const std::string& bytes) {
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return std::nullopt;
  return value;
}

std::string compact(const Json& value) {
  return value.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

std::optional<Json> snapshotDocument(const SeasonSnapshot& snapshot, const std::string& path) {
  const SnapshotFile* file = snapshot.find(path);
  return file ? parsed(file->bytes) : std::nullopt;
}

int roundOf(const Json& race) {
  const std::string text = race.value("round", "");
  int round = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), round);
  return error == std::errc{} && end == text.data() + text.size() ? round : 0;
}

std::optional<std::chrono::sys_seconds> readInstant(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &consumed) != 6)
    return std::nullopt;
  std::string_view rest = std::string_view(text).substr(static_cast<std::size_t>(consumed));
  if (rest.starts_with('.')) {
    rest.remove_prefix(1);
    while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') rest.remove_prefix(1);
  }
  if (rest != "Z") return std::nullopt;
  std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month(month),
                                   std::chrono::day(day)};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_seconds{std::chrono::sys_days{date}} + std::chrono::hours{hour} +
         std::chrono::minutes{minute} + std::chrono::seconds{second};
}

std::chrono::seconds gmtOffset(const Json& info) {
  int hours = 0, minutes = 0, seconds = 0;
  std::string text = info.value("GmtOffset", "00:00:00");
  bool negative = text.starts_with('-');
  std::sscanf(text.c_str() + (negative ? 1 : 0), "%d:%d:%d", &hours, &minutes, &seconds);
  std::chrono::seconds offset{hours * 3600 + minutes * 60 + seconds};
  return negative ? -offset : offset;
}

std::string instantText(std::chrono::sys_seconds instant, const char* pattern) {
  std::time_t seconds = static_cast<std::time_t>(instant.time_since_epoch().count());
  std::tm civil{};
  gmtime_r(&seconds, &civil);
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, pattern, &civil);  // names in the C locale
  return std::string(text, length);
}

std::vector<Json> calendarRaces(const SeasonSnapshot& snapshot, const std::string& season) {
  auto calendar = snapshotDocument(snapshot, "results-api/" + season + ".json");
  if (!calendar || !calendar->contains("MRData")) return {};
  Json races = (*calendar)["MRData"].value("RaceTable", Json::object()).value("Races", Json::array());
  std::vector<Json> list(races.begin(), races.end());
  std::ranges::stable_sort(list, {}, [](const Json& race) { return roundOf(race); });
  return list;
}

std::optional<std::chrono::sys_seconds> raceStart(const Json& race) {
  return readInstant(race.value("date", "") + "T" + race.value("time", "00:00:00Z"));
}

std::optional<RoundRows> recordedRoundRows(const SeasonSnapshot& snapshot, const std::string& season,
                                           int round, const std::string& kind) {
  const char* key = kind == "qualifying" ? "QualifyingResults" : kind == "sprint" ? "SprintResults" : "Results";
  for (std::string path : {"results-api/" + season + "/" + std::to_string(round) + "/" + kind + ".json",
                           "results-api/" + season + "/" + kind + ".json"}) {
    auto document = snapshotDocument(snapshot, path);
    if (!document || !document->contains("MRData")) continue;
    for (const Json& race : (*document)["MRData"].value("RaceTable", Json::object()).value("Races", Json::array()))
      if (roundOf(race) == round && race.contains(key) && !race[key].empty()) return RoundRows{race[key], path};
  }
  return std::nullopt;
}

std::vector<std::string> sessionFoldersWith(const SeasonSnapshot& snapshot, const std::string& season,
                                            const std::string& fileName) {
  std::vector<std::string> folders;
  const std::string prefix = "livetiming/" + season + "/";
  for (const auto& [path, file] : snapshot.files()) {
    if (!path.starts_with(prefix) || !path.ends_with("/" + fileName)) continue;
    std::string folder = path.substr(0, path.size() - fileName.size());
    if (std::ranges::count(folder.substr(prefix.size()), '/') == 2) folders.push_back(folder);
  }
  return folders;
}

std::map<std::string, FeedDriver> sessionDrivers(const SeasonSnapshot& snapshot, const std::string& folder) {
  std::map<std::string, FeedDriver> drivers;
  auto list = snapshotDocument(snapshot, folder + "DriverList.json");
  if (!list || !list->is_object()) return drivers;
  for (const auto& [key, entry] : list->items()) {
    if (!entry.is_object()) continue;
    auto text = [&](const char* name) {
      auto found = entry.find(name);
      return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string{};
    };
    FeedDriver driver{text("RacingNumber"), text("FirstName"),  text("LastName"),
                      text("Tla"),          text("BroadcastName"), text("FullName"),
                      text("TeamName"),     text("TeamColour"), text("Reference"),
                      text("CountryCode"),  text("HeadshotUrl")};
    if (driver.racingNumber.empty() || driver.lastName.empty()) continue;
    drivers.emplace(driver.racingNumber, std::move(driver));
  }
  return drivers;
}

std::map<std::string, FeedDriver> seasonDriversAsOf(const SeasonSnapshot& snapshot, const std::string& season,
                                                    const std::string& day) {
  std::map<std::string, FeedDriver> drivers;
  for (const auto& folder : sessionFoldersWith(snapshot, season, "DriverList.json")) {
    // ".../<meeting>/2023-03-05_Race/": the session folder starts with its day.
    std::string session = folder.substr(folder.rfind('/', folder.size() - 2) + 1);
    bool held = session.substr(0, day.size()) <= day;
    for (auto& [number, driver] : sessionDrivers(snapshot, folder)) {
      if (held) drivers.insert_or_assign(number, driver);
      else drivers.try_emplace(number, driver);
    }
  }
  return drivers;
}

std::string headshotAddress(const std::string& headshotUrl) {
  return headshotUrl.substr(0, headshotUrl.find(".transform"));
}

std::string imagePath(const std::string& address) {
  auto scheme = address.find("://");
  if (scheme == std::string::npos) return {};
  auto slash = address.find('/', scheme + 3);
  return slash == std::string::npos ? std::string{} : imagePathOfUrlPath(std::string_view(address).substr(slash));
}

std::string imagePathOfUrlPath(std::string_view urlPath) {
  if (urlPath.starts_with('/')) urlPath.remove_prefix(1);
  if (urlPath.empty()) return {};
  std::string path;
  for (std::size_t i = 0; i < urlPath.size(); ++i) {
    int value = 0;
    if (urlPath[i] == '%' && i + 2 < urlPath.size() &&
        std::from_chars(urlPath.data() + i + 1, urlPath.data() + i + 3, value, 16).ptr == urlPath.data() + i + 3) {
      path += static_cast<char>(value);
      i += 2;
    } else {
      path += urlPath[i];
    }
  }
  return "images/" + path;
}

}  // namespace offline_season
