#include <gtest/gtest.h>

#include <tuple>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TyresModel.h"

namespace {

using namespace livetiming;
using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

TEST(Predictions, placesAreWholeNumbersAndPointsAnyNumber) {
    json driver = {{"RacingNumber", "4"}, {"CurrentPosition", 1}, {"PredictedPosition", 1}, {"CurrentPoints", 25}, {"PredictedPoints", 50.5}};
    json team = {{"TeamName", "McLaren"}, {"CurrentPosition", 1}, {"PredictedPosition", 1}, {"CurrentPoints", 43}, {"PredictedPoints", 80}};
    modeltest::expectEditOutcomes<PredictionsModel>({{"Drivers", {{"4", driver}}}, {"Teams", {{"McLaren", team}}}}, "", {
        {"complete", {}, decodes},
        {"points with a fraction", {{"/Drivers/4/CurrentPoints", 12.5}}, decodes},
        {"points as a string", {{"/Drivers/4/CurrentPoints", "25"}}, FailureKind::typeMismatch},
        {"place with a fraction", {{"/Drivers/4/PredictedPosition", 1.5}}, FailureKind::dataCorrupted},
        {"empty dictionaries", {{"/Drivers", json::object()}, {"/Teams", json::object()}}, decodes},
        {"no Teams", {{"/Teams", {}}}, FailureKind::keyNotFound},
        {"team named by racing number", {{"/Teams/McLaren/TeamName", {}}, {"/Teams/McLaren/RacingNumber", "4"}}, FailureKind::keyNotFound},
        {"unknown keys", {{"/Drivers/4/Extra", 1}}, decodes},
    });
    auto predictions = modeltest::decode<PredictionsModel>(json{{"Drivers", {{"4", driver}}}, {"Teams", json::object()}}.dump());
    ASSERT_TRUE(predictions);
    EXPECT_DOUBLE_EQ(predictions->drivers.at("4").currentPoints, 25.0);
    EXPECT_DOUBLE_EQ(predictions->drivers.at("4").predictedPoints, 50.5);
    modeltest::expectStableRoundTrip(*predictions);
}

TEST(RaceControlMessages, lapAndFlagFieldsAreOptionalAndAMalformedMessageLosesOnlyItself) {
    json message = {{"Utc", "2025-03-16T03:25:03"}, {"Lap", 1}, {"Category", "Flag"}, {"Message", "YELLOW IN TRACK SECTOR 17"},
                    {"Flag", "YELLOW"}, {"Scope", "Sector"}, {"Sector", 17}};
    json later = message;
    later["Message"] = "CLEAR IN TRACK SECTOR 17";
    // Each edit applies to the first of two messages; the second always stays.
    const std::vector<std::tuple<std::string, std::vector<modeltest::Edit>, std::size_t>> cases{
        {"complete", {}, 2},
        {"no flag, scope or sector", {{"/Flag", {}}, {"/Scope", {}}, {"/Sector", {}}}, 2},
        {"sector null", {{"/Sector", nullptr}}, 2},
        {"no lap (practice and qualifying of older seasons)", {{"/Lap", {}}}, 2},
        {"lap null", {{"/Lap", nullptr}}, 2},
        {"unknown Status key", {{"/Status", "DISABLED"}}, 2},
        {"sector as a string", {{"/Sector", "17"}}, 1},
        {"lap as a string", {{"/Lap", "1"}}, 1},
        {"no text", {{"/Message", {}}}, 1},
    };
    for (const auto& [behaviour, edits, kept] : cases) {
        auto decoded = modeltest::decode<RaceControlMessageModel>(
            modeltest::edited({{"Messages", json::array({message, later})}}, "/Messages/0", edits));
        ASSERT_TRUE(decoded) << behaviour << ": " << decoded.error().description();
        ASSERT_EQ(decoded->messages.size(), kept) << behaviour;
        EXPECT_EQ(decoded->messages.back().message, "CLEAR IN TRACK SECTOR 17") << behaviour;
    }
    auto withoutLap = modeltest::decode<RaceControlMessageModel>(
        modeltest::edited({{"Messages", json::array({message})}}, "/Messages/0", {{"/Lap", {}}}));
    ASSERT_TRUE(withoutLap);
    EXPECT_FALSE(withoutLap->messages.at(0).lap);
    auto none = modeltest::decode<RaceControlMessageModel>(R"({"Messages":[]})");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->messages.empty());
    EXPECT_FALSE(modeltest::decode<RaceControlMessageModel>(R"({"Messages":{}})"));
}

json stintDocument(json isNew) {
    return {{"Stints", {{"1", json::array({{{"Compound", "SOFT"}, {"New", isNew}, {"TyresNotChanged", "0"}, {"TotalLaps", 12}, {"StartLaps", 0}}})}}}};
}

TEST(TyreStints, onlyTheExactTextTrueMakesASetNew) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, bool>>{
             {"true", true}, {"True", false}, {"TRUE", false}, {" true", false}, {"true ", false},
             {"false", false}, {"1", false}, {"", false}}) {
        auto tyres = modeltest::decode<TyresModel>(stintDocument(text).dump());
        ASSERT_TRUE(tyres) << text;
        EXPECT_EQ(tyres->stints.at("1").at(0).isNew, expected) << "\"" << text << "\"";
    }
    modeltest::expectEditOutcomes<TyresModel>(stintDocument("true"), "/Stints/1/0", {
        {"New as a Boolean true", {{"/New", true}}, FailureKind::typeMismatch},
        {"New as a Boolean false", {{"/New", false}}, FailureKind::typeMismatch},
        {"New null", {{"/New", nullptr}}, FailureKind::valueNotFound},
        {"TotalLaps as a string", {{"/TotalLaps", "12"}}, FailureKind::typeMismatch},
        {"TyresNotChanged as a number", {{"/TyresNotChanged", 0}}, FailureKind::typeMismatch},
        {"unknown keys", {{"/LapTime", "1:30.000"}}, decodes},
    });
}

TEST(TyreStints, encodedStintsWriteNewAsTextAndDecodeAgain) {
    for (bool isNew : {true, false}) {
        TyresModel tyres;
        tyres.stints["44"] = {StintModel{"HARD", isNew, "1", 30, 12}};
        auto encoded = foundation::JSONEncoder{}.encode(tyres);
        ASSERT_TRUE(encoded);
        EXPECT_NE(encoded->view().find(isNew ? R"("New":"true")" : R"("New":"false")"), std::string_view::npos) << encoded->view();
        auto decoded = foundation::JSONDecoder{}.decode<TyresModel>(*encoded);
        ASSERT_TRUE(decoded) << decoded.error().description();
        EXPECT_EQ(decoded->stints.at("44").at(0).isNew, isNew);
        EXPECT_EQ(decoded->stints.at("44").at(0).startLaps, 12);
    }
}

TEST(TyreStints, carsWithoutStintsAndEmptyDocumentsDecode) {
    auto none = modeltest::decode<TyresModel>(R"({"Stints":{}})");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->stints.empty());
    auto idle = modeltest::decode<TyresModel>(R"({"Stints":{"81":[]}})");
    ASSERT_TRUE(idle);
    EXPECT_TRUE(idle->stints.at("81").empty());
}

}  // namespace
