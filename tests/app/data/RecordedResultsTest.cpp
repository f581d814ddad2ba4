#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "RecordedDecoding.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/RaceModels.h"
#include "data/StandingsModels.h"
#include "data/StatusModels.h"

namespace {

namespace fs = std::filesystem;
using modeltest::decodeByTable;

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
    if (!fs::exists(root)) GTEST_SKIP() << modeltest::missingSharedFixtures(root);
    expectEveryDocumentDecodes(root);
}

}  // namespace
