#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"

namespace {

using namespace livetiming;
using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

json timingDocument() {
    json speed = {{"Value", "301"}, {"Status", 0}, {"OverallFastest", false}, {"PersonalFastest", true}};
    json line = {{"GapToLeader", "+0.895"}, {"IntervalToPositionAhead", {{"Value", "+0.895"}, {"Catching", false}}},
                 {"Line", 2}, {"Position", "2"}, {"ShowPosition", true}, {"RacingNumber", "1"}, {"Retired", false},
                 {"InPit", false}, {"PitOut", false}, {"Stopped", false}, {"Status", 1088}, {"NumberOfLaps", 57},
                 {"NumberOfPitStops", 2},
                 {"Sectors", json::array({{{"Stopped", false}, {"PreviousValue", "30.1"}, {"Segments", json::array({{{"Status", 2049}}})},
                                           {"Value", "30.421"}, {"Status", 0}, {"OverallFastest", false}, {"PersonalFastest", false}}})},
                 {"Speeds", {{"I1", speed}, {"I2", speed}, {"FL", speed}, {"ST", speed}}},
                 {"BestLapTime", {{"Value", "1:22.167"}, {"Lap", 43}}},
                 {"LastLapTime", {{"Value", "1:27.228"}, {"Status", 0}, {"OverallFastest", false}, {"PersonalFastest", false}}}};
    return {{"Withheld", false}, {"Lines", {{"1", line}}}};
}

TEST(TimingData, lineFieldsFollowTheirRequiredAndOptionalRules) {
    modeltest::expectEditOutcomes<TimingData>(timingDocument(), "/Lines/1", {
        {"complete", {}, decodes},
        {"no NumberOfLaps", {{"/NumberOfLaps", {}}}, decodes},
        {"NumberOfLaps null", {{"/NumberOfLaps", nullptr}}, decodes},
        {"NumberOfLaps as a string", {{"/NumberOfLaps", "57"}}, FailureKind::typeMismatch},
        {"empty best lap", {{"/BestLapTime", json::object()}}, decodes},
        {"no best lap", {{"/BestLapTime", {}}}, FailureKind::keyNotFound},
        {"no last lap", {{"/LastLapTime", {}}}, FailureKind::keyNotFound},
        {"no segments in a sector", {{"/Sectors/0/Segments", json::array()}}, decodes},
        {"empty segment", {{"/Sectors/0/Segments/0", json::object()}}, decodes},
        {"sector without Segments", {{"/Sectors/0/Segments", {}}}, FailureKind::keyNotFound},
        {"sector without Value", {{"/Sectors/0/Value", {}}}, FailureKind::keyNotFound},
        {"sector without Status", {{"/Sectors/0/Status", {}}}, decodes},
        {"no Sectors", {{"/Sectors", {}}}, FailureKind::keyNotFound},
        {"no speed trap ST", {{"/Speeds/ST", {}}}, FailureKind::keyNotFound},
        {"speed trap without Status", {{"/Speeds/I1/Status", {}}}, FailureKind::keyNotFound},
        {"Position as a number", {{"/Position", 2}}, FailureKind::typeMismatch},
        {"Line as a string", {{"/Line", "2"}}, FailureKind::typeMismatch},
        {"empty interval", {{"/IntervalToPositionAhead", json::object()}}, decodes},
        {"interval null", {{"/IntervalToPositionAhead", nullptr}}, decodes},
    });
    auto empty = modeltest::decode<TimingData>(R"({"Withheld":false,"Lines":{}})");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->lines.empty());
    EXPECT_FALSE(modeltest::decode<TimingData>(R"({"Lines":{}})"));
}

TEST(TimingData, emptyNestedObjectsLeaveEveryFieldEmpty) {
    auto timing = modeltest::decode<TimingData>(modeltest::edited(timingDocument(), "/Lines/1", {
        {"/BestLapTime", json::object()},
        {"/IntervalToPositionAhead", json::object()},
        {"/Sectors/0/Segments/0", json::object()},
    }));
    ASSERT_TRUE(timing) << timing.error().description();
    const auto& line = timing->lines.at("1");
    EXPECT_FALSE(line.bestLapTime.value || line.bestLapTime.lap || line.bestLapTime.overallFastest || line.bestLapTime.personalFastest);
    ASSERT_TRUE(line.intervalToPositionAhead);
    EXPECT_FALSE(line.intervalToPositionAhead->value || line.intervalToPositionAhead->catching);
    EXPECT_FALSE(line.sectors[0].segments[0].status);
    EXPECT_EQ(line.lastLapTime.value, "1:27.228");
    EXPECT_TRUE(line.speeds.fl.personalFastest);
}

TEST(TimingData, recordedDocumentSurvivesARoundTrip) {
    auto timing = modeltest::decodeFile<TimingData>(
        modeltest::fixture("livetiming/_signalr-state/2025-03-16_Australian_Grand_Prix_Race/TimingData.json"));
    ASSERT_TRUE(timing) << timing.error().description();
    EXPECT_EQ(timing->lines.size(), 20u);
    EXPECT_EQ(timing->lines.at("1").position, "2");
    modeltest::expectStableRoundTrip(*timing);
}

TEST(TopThree, linesAreFullyRequired) {
    json line = {{"Position", "1"}, {"ShowPosition", true}, {"RacingNumber", "4"}, {"Tla", "NOR"}, {"BroadcastName", "L NORRIS"},
                 {"FullName", "Lando NORRIS"}, {"Team", "McLaren"}, {"TeamColour", "FF8000"}, {"LapTime", "1:27.126"},
                 {"LapState", 1088}, {"DiffToAhead", ""}, {"DiffToLeader", ""}, {"OverallFastest", false}, {"PersonalFastest", false}};
    modeltest::expectEditOutcomes<TopThreeModel>({{"Withheld", false}, {"Lines", json::array({line})}}, "", {
        {"complete", {}, decodes},
        {"withheld with no lines", {{"/Withheld", true}, {"/Lines", json::array()}}, decodes},
        {"LapState as a string", {{"/Lines/0/LapState", "1088"}}, FailureKind::typeMismatch},
        {"Position as a number", {{"/Lines/0/Position", 1}}, FailureKind::typeMismatch},
        {"Lines as an object", {{"/Lines", json::object()}}, FailureKind::typeMismatch},
        {"no team colour", {{"/Lines/0/TeamColour", {}}}, FailureKind::keyNotFound},
        {"unknown keys", {{"/Lines/0/Reference", "LANNOR01"}, {"/_kf", true}}, decodes},
    });
}

}  // namespace
