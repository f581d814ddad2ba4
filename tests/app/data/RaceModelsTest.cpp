#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "data/RaceModels.h"

namespace {

using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

json driver() {
    return {{"driverId", "max_verstappen"}, {"url", "http://example.org/max"}, {"givenName", "Max"},
            {"familyName", "Verstappen"}, {"dateOfBirth", "1997-09-30"}, {"nationality", "Dutch"}};
}

json constructor() {
    return {{"constructorId", "red_bull"}, {"url", "http://example.org/rb"}, {"name", "Red Bull"}, {"nationality", "Austrian"}};
}

// A race record carrying every optional part, inside its envelope.
json raceDocument() {
    json race = {
        {"season", "2023"}, {"round", "1"}, {"url", "http://example.org/bahrain"}, {"raceName", "Bahrain Grand Prix"},
        {"Circuit", {{"circuitId", "bahrain"}, {"url", "http://example.org/sakhir"}, {"circuitName", "Bahrain International Circuit"},
                     {"Location", {{"lat", "26.0325"}, {"long", "50.5106"}, {"locality", "Sakhir"}, {"country", "Bahrain"}}}}},
        {"date", "2023-03-05"}, {"time", "15:00:00Z"},
        {"Results", json::array({{{"number", "1"}, {"position", "1"}, {"points", "25"}, {"Driver", driver()},
                                  {"Constructor", constructor()}, {"grid", "1"}, {"laps", "57"}, {"status", "Finished"},
                                  {"Time", {{"millis", "5636736"}, {"time", "1:33:56.736"}}},
                                  {"FastestLap", {{"rank", "6"}, {"lap", "44"}, {"Time", {{"time", "1:36.236"}}},
                                                  {"AverageSpeed", {{"units", "kph"}, {"speed", "202.452"}}}}}}})},
        {"QualifyingResults", json::array({{{"number", "1"}, {"position", "1"}, {"Driver", driver()}, {"Constructor", constructor()},
                                            {"Q1", "1:31.295"}, {"Q2", "1:30.503"}, {"Q3", "1:29.708"}}})},
        {"PitStops", json::array({{{"driverId", "max_verstappen"}, {"lap", "14"}, {"stop", "1"}, {"time", "18:23:39"}, {"duration", "22.450"}}})},
        {"Laps", json::array({{{"number", "1"}, {"Timings", json::array({{{"driverId", "max_verstappen"}, {"position", "1"}, {"time", "1:39.019"}}})}}})},
        {"FirstPractice", {{"date", "2023-03-03"}, {"time", "11:30:00Z"}}},
        {"Sprint", {{"date", "2023-03-04"}, {"time", "15:00:00Z"}}},
    };
    return {{"MRData", {{"xmlns", ""}, {"series", "f1"}, {"RaceTable", {{"season", "2023"}, {"Races", json::array({race})}}}}}};
}

const std::string race = "/MRData/RaceTable/Races/0";

TEST(RaceModels, raceRecordFieldsFollowTheirRequiredAndOptionalRules) {
    modeltest::expectEditOutcomes<RaceModel>(raceDocument(), race, {
        {"complete record", {}, decodes},
        {"season as a number", {{"/season", 2023}}, FailureKind::typeMismatch},
        {"round as a number", {{"/round", 1}}, FailureKind::typeMismatch},
        {"time null", {{"/time", nullptr}}, FailureKind::valueNotFound},
        {"time absent", {{"/time", {}}}, FailureKind::keyNotFound},
        {"Sprint absent", {{"/Sprint", {}}}, decodes},
        {"Sprint null", {{"/Sprint", nullptr}}, decodes},
        {"circuit spelled in lower case", {{"/Circuit", {}}, {"/circuit", json::object()}}, FailureKind::keyNotFound},
        {"Results holding an object", {{"/Results", json::object()}}, FailureKind::typeMismatch},
        {"unknown keys at every level", {{"/extra", 1}, {"/Circuit/Location/alt", "3"}, {"/Results/0/positionText", "1"}}, decodes},
    });
}

TEST(RaceModels, resultQualifyingStopAndLapPartsFollowTheirRules) {
    modeltest::expectEditOutcomes<RaceModel>(raceDocument(), race, {
        {"result without Time", {{"/Results/0/Time", {}}}, decodes},
        {"result without FastestLap", {{"/Results/0/FastestLap", {}}}, decodes},
        {"fastest lap with only rank and lap", {{"/Results/0/FastestLap/Time", {}}, {"/Results/0/FastestLap/AverageSpeed", {}}}, decodes},
        {"result without Driver", {{"/Results/0/Driver", {}}}, FailureKind::keyNotFound},
        {"result without Constructor", {{"/Results/0/Constructor", {}}}, FailureKind::keyNotFound},
        {"result position as a number", {{"/Results/0/position", 1}}, FailureKind::typeMismatch},
        {"result with lower-case driver key", {{"/Results/0/Driver", {}}, {"/Results/0/driver", driver()}}, FailureKind::keyNotFound},
        {"result driver without date of birth", {{"/Results/0/Driver/dateOfBirth", {}}}, FailureKind::keyNotFound},
        {"result constructor without nationality", {{"/Results/0/Constructor/nationality", {}}}, FailureKind::keyNotFound},
        {"speed as a number", {{"/Results/0/FastestLap/AverageSpeed/speed", 202.4}}, FailureKind::typeMismatch},
        {"qualifying only in the first part", {{"/QualifyingResults/0/Q2", {}}, {"/QualifyingResults/0/Q3", {}}}, decodes},
        {"pit stop without duration", {{"/PitStops/0/duration", {}}}, FailureKind::keyNotFound},
        {"lap with no timings", {{"/Laps/0/Timings", json::array()}}, decodes},
        {"lap without Timings", {{"/Laps/0/Timings", {}}}, FailureKind::keyNotFound},
        {"session with neither date nor time", {{"/FirstPractice", json::object()}}, decodes},
        {"session time null", {{"/FirstPractice/time", nullptr}}, decodes},
    });
}

TEST(RaceModels, optionalPartsKeepWhatTheDocumentSays) {
    json document = raceDocument();
    auto decoded = modeltest::decode<RaceModel>(modeltest::edited(document, race, {
        {"/Results", json::array()},
        {"/Laps", {}},
        {"/Sprint", nullptr},
        {"/QualifyingResults/0/Q1", {}},
        {"/QualifyingResults/0/q1", "1:31.295"},
    }));
    ASSERT_TRUE(decoded) << decoded.error().description();
    const auto& record = decoded->data.raceTable.races.at(0);
    ASSERT_TRUE(record.raceResults);
    EXPECT_TRUE(record.raceResults->empty());  // present but empty differs from absent
    EXPECT_FALSE(record.laps);
    EXPECT_FALSE(record.sprint);
    EXPECT_FALSE(record.qualifyingResults->at(0).Q1);
    EXPECT_EQ(record.qualifyingResults->at(0).Q3, "1:29.708");
    EXPECT_EQ(record.circuit.location.long_, "50.5106");
}

TEST(RaceModels, nestedValuesLandInTheirFields) {
    json document = raceDocument();
    document[json::json_pointer(race + "/Results/0/FastestLap")].erase("AverageSpeed");
    auto decoded = modeltest::decode<RaceModel>(document.dump());
    ASSERT_TRUE(decoded) << decoded.error().description();
    const auto& result = decoded->data.raceTable.races.at(0).raceResults->at(0);
    EXPECT_EQ(result.driver.familyName, "Verstappen");
    EXPECT_EQ(result.constructor.name, "Red Bull");
    EXPECT_EQ(result.time->millis, "5636736");
    EXPECT_FALSE(result.fastestLap->time->millis);
    EXPECT_EQ(result.fastestLap->time->time, "1:36.236");
    EXPECT_FALSE(result.fastestLap->averageSpeed);
    const auto& lap = decoded->data.raceTable.races.at(0).laps->at(0);
    EXPECT_EQ(lap.timings.at(0).time, "1:39.019");
}

TEST(RaceModels, emptyRacesDecodeAndEnvelopeLevelsAreRequired) {
    modeltest::expectEditOutcomes<RaceModel>(raceDocument(), "/MRData", {
        {"empty Races", {{"/RaceTable/Races", json::array()}}, decodes},
        {"no Races", {{"/RaceTable/Races", {}}}, FailureKind::keyNotFound},
        {"no RaceTable", {{"/RaceTable", {}}}, FailureKind::keyNotFound},
    });
    EXPECT_FALSE(modeltest::decode<RaceModel>(R"({"mrdata":{"RaceTable":{"Races":[]}}})"));
}

TEST(RaceModels, emptyBodyAndErrorPageFailButAByteOrderMarkIsSkipped) {
    EXPECT_EQ(modeltest::decode<RaceModel>("").error().kind, FailureKind::dataCorrupted);
    EXPECT_EQ(modeltest::decode<RaceModel>("<html>Bad gateway</html>").error().kind, FailureKind::dataCorrupted);
    auto withMark = modeltest::decode<RaceModel>("\xEF\xBB\xBF" + raceDocument().dump());
    ASSERT_TRUE(withMark) << withMark.error().description();
    EXPECT_EQ(withMark->data.raceTable.races.size(), 1u);
}

TEST(RaceModels, encodingLeavesOutEmptyOptionalPartsAndDecodesAgain) {
    json document = raceDocument();
    document[json::json_pointer(race)].erase("Sprint");
    auto decoded = modeltest::decode<RaceModel>(document.dump());
    ASSERT_TRUE(decoded);
    auto encoded = foundation::JSONEncoder{}.encode(decoded->data.raceTable.races.at(0));
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->view().find("\"Sprint\""), std::string_view::npos);
    EXPECT_NE(encoded->view().find("\"FirstPractice\""), std::string_view::npos);
    EXPECT_NE(encoded->view().find("\"long\":\"50.5106\""), std::string_view::npos);
    modeltest::expectStableRoundTrip(*decoded);
}

}  // namespace
