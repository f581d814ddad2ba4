#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/RaceModels.h"
#include "data/StandingsModels.h"
#include "data/StatusModels.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"

// Which of the app's models reads a recorded document, by its file name or its table.
namespace modeltest {

namespace fs = std::filesystem;
using namespace livetiming;

// The timing-app state carries each car's stints in the same form as the tyre stint file.
struct TimingAppLine {
    std::vector<StintModel> stints;
    static constexpr auto codingKeys = std::tuple{foundation::field("Stints", &TimingAppLine::stints)};
};
struct TimingAppData {
    std::map<std::string, TimingAppLine> lines;
    static constexpr auto codingKeys = std::tuple{foundation::field("Lines", &TimingAppData::lines)};
};

template <class T>
inline std::string decodingError(std::string_view bytes) {
    auto result = modeltest::decode<T>(bytes);
    return result ? std::string{} : result.error().description();
}

template <class Container>
inline std::string validItemsError(std::string_view bytes) {
    auto result = foundation::JSONDecoder{}.decodeValidItems<Container>(foundation::Data::fromString(bytes));
    return result ? std::string{} : result.error().description();
}

// The decoder of each file kind the app models; "" when the name is no such kind.
inline std::function<std::string(std::string_view)> decoderFor(const std::string& stem) {
    if (stem == "Index" || stem.starts_with("Index20")) return decodingError<EventsModel>;
    if (stem == "DriverList") return validItemsError<DriverList>;
    if (stem == "TeamRadio") return decodingError<TeamRadioModel>;
    if (stem == "WeatherData") return decodingError<WeatherModel>;
    if (stem == "TimingData") return decodingError<TimingData>;
    if (stem == "TopThree") return decodingError<TopThreeModel>;
    if (stem == "ChampionshipPrediction") return decodingError<PredictionsModel>;
    if (stem == "RaceControlMessages") return decodingError<RaceControlMessageModel>;
    if (stem == "TyreStintSeries") return decodingError<TyresModel>;
    if (stem == "TimingAppData") return decodingError<TimingAppData>;
    return {};
}

struct Outcome {
    std::string table;          // the table key inside MRData, "" when there is none
    std::string error;          // empty when the document decoded
};

// Decodes a recorded body with the model family its table names.
inline Outcome decodeByTable(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    auto json = nlohmann::json::parse(bytes, nullptr, false, true);
    Outcome outcome;
    if (json.is_object() && json.contains("MRData") && json["MRData"].is_object()) {
        for (const auto& [key, value] : json["MRData"].items()) {
            if (key.ends_with("Table")) outcome.table = key;
        }
    }
    auto describe = [](const auto& result) { return result ? std::string{} : result.error().description(); };
    if (outcome.table == "RaceTable") outcome.error = describe(modeltest::decode<RaceModel>(bytes));
    else if (outcome.table == "StandingsTable") outcome.error = describe(modeltest::decode<StandingModel>(bytes));
    else if (outcome.table == "CircuitTable") outcome.error = describe(modeltest::decode<CircuitModel>(bytes));
    else if (outcome.table == "ConstructorTable") outcome.error = describe(modeltest::decode<ConstructorModel>(bytes));
    else if (outcome.table == "DriverTable") outcome.error = describe(modeltest::decode<DriverModel>(bytes));
    else if (outcome.table == "StatusTable") outcome.error = describe(modeltest::decode<StatusModel>(bytes));
    return outcome;
}

}  // namespace modeltest
