// Pictures the app fetches from image hosts: driver headshots, circuit maps and country flags.
#include <charconv>
#include <set>

#include "Pictures.h"
#include "SnapshotSupport.h"
#include "data/CircuitDetails.h"
#include "data/CountryFlags.h"
#include "foundation/JSONDecoder.h"
#include "offline_season/SnapshotBuilder.h"

namespace offline_season {
namespace {

// The folder of the flag set's 4:3 pictures in the recorded data, named by ISO code.
constexpr const char* recordedFlags = "flags/4x3/";

// "1f1e6-1f1e8" -> "ac"; the three subdivision sequences -> "gb-eng", "gb-sct", "gb-wls".
std::string isoCodeOfFlag(std::string_view codePoints) {
  if (codePoints == "1f3f4-e0067-e0062-e0065-e006e-e0067-e007f") return "gb-eng";
  if (codePoints == "1f3f4-e0067-e0062-e0073-e0063-e0074-e007f") return "gb-sct";
  if (codePoints == "1f3f4-e0067-e0062-e0077-e006c-e0073-e007f") return "gb-wls";
  std::string letters;
  while (!codePoints.empty()) {
    auto dash = codePoints.find('-');
    std::string_view part = codePoints.substr(0, dash);
    unsigned value = 0;
    auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value, 16);
    if (error != std::errc{} || end != part.data() + part.size() || value < 0x1F1E6 || value > 0x1F1FF) return {};
    letters += static_cast<char>('a' + (value - 0x1F1E6));
    codePoints = dash == std::string_view::npos ? std::string_view{} : codePoints.substr(dash + 1);
  }
  return letters.size() == 2 ? letters : std::string{};
}

}  // namespace

std::string circuitMapUrlPath(const std::string& circuitName) {
  return "/image/upload/f_auto/q_auto/v1677244987/content/dam/fom-website/2018-redesign-assets/"
         "Circuit%20maps%2016x9/" +
         circuitName + "_Circuit.png.transform/7col-retina/image.png";
}

std::expected<void, std::string> produceImages(const BuildContext& context, SeasonSnapshot& snapshot) {
  const std::string& season = context.options.season;
  std::set<std::string> drawn;
  for (const auto& folder : sessionFoldersWith(snapshot, season, "DriverList.json")) {
    for (const auto& [number, driver] : sessionDrivers(snapshot, folder)) {
      std::string path = imagePath(headshotAddress(driver.headshotUrl));
      if (path.empty() || !drawn.insert(path).second) continue;
      snapshot.add(path, {headshotPng(driver), Origin::generated, {folder + "DriverList.json"},
                          "placeholder portrait drawn by the tool: team colour " + driver.teamColour +
                              ", letters " + driver.tla + "; at the path of the recorded HeadshotUrl "
                              "cut before .transform, as the app asks for it"});
    }
  }

  auto places = foundation::JSONDecoder{}.decode<circuitDetailsModel>(
      foundation::Data::fromString(CircuitDetailsJSON::shared().circuitDetailsJSON));
  if (!places) return std::unexpected("the app's circuit facts do not decode");
  for (const auto& [locality, place] : places->places) {
    std::string path = imagePathOfUrlPath(circuitMapUrlPath(place.name));
    snapshot.add(path, {circuitCardPng(place.name), Origin::generated, {},
                        "neutral card drawn by the tool with the circuit facts' name \"" + place.name +
                            "\" (no track geometry is recorded)"});
  }
  return {};
}

std::expected<void, std::string> produceFlags(const BuildContext& context, SeasonSnapshot& snapshot) {
  auto flags = foundation::JSONDecoder{}.decode<std::vector<CountryFlagsModel>>(
      foundation::Data::fromString(CountryFlagsJSON::shared().countryFlagsJSON));
  if (!flags) return std::unexpected("the app's country-flag list does not decode");
  for (const auto& entry : *flags) {
    auto marker = entry.flag.rfind("/2/svg/");
    if (marker == std::string::npos || !entry.flag.ends_with(".svg")) continue;
    std::string file = entry.flag.substr(marker + 7);
    std::string iso = isoCodeOfFlag(std::string_view(file).substr(0, file.size() - 4));
    std::string source = std::string(recordedFlags) + iso + ".svg";
    std::string target = "flags/2/svg/" + file;
    if (iso.empty() || snapshot.contains(target)) continue;
    auto bytes = context.read(source);
    if (!bytes) continue;  // the flag set has no picture for this entry
    snapshot.add(target, {std::move(*bytes), Origin::recorded, {source},
                          "as recorded: the flag set's 4:3 picture of \"" + iso + "\", for the list's \"" +
                              entry.country + "\""});
  }
  auto licence = context.read("flags/LICENSE-flag-icons");
  if (!licence) return std::unexpected(licence.error());
  snapshot.add("flags/LICENSE-flag-icons", {std::move(*licence), Origin::recorded, {"flags/LICENSE-flag-icons"},
                                            "as recorded: the licence of the flag pictures"});
  return {};
}

}  // namespace offline_season
