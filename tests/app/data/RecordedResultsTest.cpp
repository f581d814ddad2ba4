#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/RaceModels.h"
#include "data/StandingsModels.h"
#include "data/StatusModels.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    std::string table;          // the table key inside MRData, "" when there is none
    std::string error;          // empty when the document decoded
};

// Decodes a recorded body with the model family its table names.
Outcome decodeByTable(const fs::path& path) {
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

std::vector<fs::path> jsonFilesUnder(const fs::path& root) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().extension() == ".json") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Real answers that the models' strict rules refuse, with the reason each one fails.
const std::map<std::string, std::string> refusedRecordings{
    // Early seasons give no race start time, which every race record requires.
    {"1979.json", R"(keyNotFound("time", codingPath: "MRData.RaceTable.Races[0]")"},
    {"_variants/ergast-com-1950-m1rels/1950.json", R"(keyNotFound("time", codingPath: "MRData.RaceTable.Races[0]")"},
    // An unclassified driver's line has no "position".
    {"_variants/ergast-com-1950-m1rels/1950/driverStandings.json",
     R"(keyNotFound("position", codingPath: "MRData.StandingsTable.StandingsLists[0].DriverStandings[23]")"},
    // Status tables not narrowed to one round (or one season) leave out "round" (or "season").
    {"2023/status.json", R"(keyNotFound("round", codingPath: "MRData.StatusTable")"},
    {"_variants/jolpica-f1-tests-jolpica-testserver/2023/status.json", R"(keyNotFound("round", codingPath: "MRData.StatusTable")"},
    {"_variants/jolpica-f1-tests-ergast.com/2023/status/131.json", R"(keyNotFound("round", codingPath: "MRData.StatusTable")"},
    {"_variants/jolpica-f1-tests-ergast.com/constructors/brawn/circuits/monaco/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/constructors/brawn/grid/1/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/constructors/brawn/results/11/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/constructors/brawn/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/drivers/glock/constructors/toyota/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/drivers/piquet_jr/fastest/1/status.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/drivers/piquet_jr/status/1.json", R"(keyNotFound("season")"},
    {"_variants/jolpica-f1-tests-ergast.com/drivers/piquet_jr/status.json", R"(keyNotFound("season")"},
};

void expectEveryDocumentDecodes(const fs::path& root) {
    int decoded = 0;
    for (const auto& path : jsonFilesUnder(root)) {
        auto outcome = decodeByTable(path);
        if (outcome.table.empty() || outcome.table == "SeasonTable") continue;  // no model for these
        std::string name = fs::relative(path, root).generic_string();
        if (auto refused = refusedRecordings.find(name); refused != refusedRecordings.end()) {
            EXPECT_TRUE(outcome.error.starts_with(refused->second)) << name << ": " << outcome.error;
        } else {
            EXPECT_EQ(outcome.error, "") << name << " (" << outcome.table << ")";
            ++decoded;
        }
    }
    EXPECT_GT(decoded, 0);
}

TEST(RecordedResults, committedResponsesDecodeWithTheirTablesFamily) {
    expectEveryDocumentDecodes(modeltest::fixture("results-api"));
}

TEST(RecordedResults, everySharedRecordingDecodesWithItsTablesFamily) {
    fs::path root = modeltest::sharedFixtures() / "results-api";
    if (!fs::exists(root)) GTEST_SKIP() << "no shared recordings beside this checkout";
    expectEveryDocumentDecodes(root);
}

}  // namespace
