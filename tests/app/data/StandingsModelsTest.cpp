#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "data/StandingsModels.h"

namespace {

using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

const json mclaren = {{"constructorId", "mclaren"}, {"url", "http://example.org"}, {"name", "McLaren"}, {"nationality", "British"}};

json standingsDocument() {
    json driverLine = {{"position", "1"}, {"positionText", "1"}, {"points", "25"}, {"wins", "1"},
                       {"Driver", {{"driverId", "norris"}, {"url", "u"}, {"givenName", "Lando"}, {"familyName", "Norris"},
                                   {"dateOfBirth", "1999-11-13"}, {"nationality", "British"}}},
                       {"Constructors", json::array({mclaren})}};
    json constructorLine = {{"position", "1"}, {"points", "43"}, {"wins", "1"}, {"Constructor", mclaren}};
    json list = {{"season", "2025"}, {"round", "1"}, {"DriverStandings", json::array({driverLine})},
                 {"ConstructorStandings", json::array({constructorLine})}};
    return {{"MRData", {{"StandingsTable", {{"season", "2025"}, {"round", "1"}, {"StandingsLists", json::array({list})}}}}}};
}

TEST(StandingsModels, tablesAndLinesFollowTheirRequiredAndOptionalRules) {
    modeltest::expectEditOutcomes<StandingModel>(standingsDocument(), "/MRData/StandingsTable", {
        {"complete", {}, decodes},
        {"table without round", {{"/round", {}}}, decodes},
        {"championship table without round", {{"/StandingsLists/0/round", {}}}, FailureKind::keyNotFound},
        {"no championship tables", {{"/StandingsLists", json::array()}}, decodes},
        {"neither kind of line", {{"/StandingsLists/0/DriverStandings", {}}, {"/StandingsLists/0/ConstructorStandings", {}}}, decodes},
        {"driver line with no constructors", {{"/StandingsLists/0/DriverStandings/0/Constructors", json::array()}}, decodes},
        {"driver line without constructors", {{"/StandingsLists/0/DriverStandings/0/Constructors", {}}}, FailureKind::keyNotFound},
        {"driver line with singular constructor",
         {{"/StandingsLists/0/DriverStandings/0/Constructors", {}}, {"/StandingsLists/0/DriverStandings/0/Constructor", mclaren}},
         FailureKind::keyNotFound},
        {"constructor line holding an array", {{"/StandingsLists/0/ConstructorStandings/0/Constructor", json::array({mclaren})}},
         FailureKind::typeMismatch},
        {"constructor line with plural key",
         {{"/StandingsLists/0/ConstructorStandings/0/Constructor", {}}, {"/StandingsLists/0/ConstructorStandings/0/Constructors", mclaren}},
         FailureKind::keyNotFound},
        {"points as a number", {{"/StandingsLists/0/DriverStandings/0/points", 25}}, FailureKind::typeMismatch},
        {"round of the table as a number", {{"/round", 1}}, FailureKind::typeMismatch},
    });
    EXPECT_FALSE(modeltest::decode<StandingModel>(R"({"MrData":{"StandingsTable":{"season":"2025","StandingsLists":[]}}})"));
}

TEST(StandingsModels, emptyDriverLinesStayPresentAndDistinctFromAbsent) {
    auto decoded = modeltest::decode<StandingModel>(modeltest::edited(standingsDocument(), "/MRData/StandingsTable/StandingsLists/0", {
        {"/DriverStandings", json::array()},
        {"/ConstructorStandings", {}},
    }));
    ASSERT_TRUE(decoded) << decoded.error().description();
    const auto& table = decoded->data.standingsTable.standings.at(0);
    ASSERT_TRUE(table.driverStandings);
    EXPECT_TRUE(table.driverStandings->empty());
    EXPECT_FALSE(table.constructorStandings);
}

TEST(StandingsModels, linesCarryTheirDriverAndConstructors) {
    auto decoded = modeltest::decode<StandingModel>(standingsDocument().dump());
    ASSERT_TRUE(decoded);
    const auto& table = decoded->data.standingsTable;
    EXPECT_EQ(table.round, "1");
    const auto& list = table.standings.at(0);
    EXPECT_EQ(list.driverStandings->at(0).driver.givenName, "Lando");
    EXPECT_EQ(list.driverStandings->at(0).constructors.at(0).name, "McLaren");
    EXPECT_EQ(list.constructorStandings->at(0).constructors.constructorId, "mclaren");
    modeltest::expectStableRoundTrip(*decoded);
}

}  // namespace
