#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "JSONTestModels.h"
#include "foundation/JSONCoding.h"

using namespace foundation;
using namespace json_test;

namespace {

template <class T>
std::string encoded(const T& value) {
    auto data = JSONEncoder{}.encode(value);
    EXPECT_TRUE(data) << data.error().description();
    return data ? data->toString() : std::string();
}

}  // namespace

TEST(JSONEncoder, WritesDeclaredKeysInOrderAndOptionalsOnlyWhenSet) {
    Session session{.key = 7, .type = "Race", .number = std::nullopt, .path = "2023/x/"};
    EXPECT_EQ(encoded(session), R"({"Key":7,"Type":"Race","Path":"2023/x/"})");
    session.number = 2;
    EXPECT_EQ(encoded(session), R"({"Key":7,"Type":"Race","Number":2,"Path":"2023/x/"})");
}

TEST(JSONEncoder, WritesNestedArraysMapsAndSharedRecords) {
    auto circuit = std::make_shared<const Circuit>(Circuit{.circuitId = "bahrain", .url = std::nullopt});
    auto race = std::make_shared<const Race>(Race{.season = "2023", .round = "1", .circuit = circuit, .laps = {{}}});
    RaceDocument document{.data = {.raceTable = {.races = {race}}}};
    EXPECT_EQ(encoded(document),
              R"({"MRData":{"RaceTable":{"Races":[{"season":"2023","round":"1","Circuit":{"circuitId":"bahrain"},"Laps":[]}]}}})");

    Predictions predictions{.drivers = {{"44", {"44", 3, 150.5}}, {"1", {"1", 1, 575}}}};
    EXPECT_EQ(encoded(predictions),
              R"({"Drivers":{"1":{"RacingNumber":"1","PredictedPosition":1,"PredictedPoints":575},)"
              R"("44":{"RacingNumber":"44","PredictedPosition":3,"PredictedPoints":150.5}}})");
}

TEST(JSONEncoder, CustomCoderWritesItsOwnRepresentation) {
    Stints stints{.stints = {{"1", {Stint{.compound = "SOFT", .isNew = true, .totalLaps = 3}}}}};
    EXPECT_EQ(encoded(stints), R"({"Stints":{"1":[{"Compound":"SOFT","New":true,"TotalLaps":3}]}})");
}

TEST(JSONEncoder, EscapesStringsAndPrintsShortestDoubles) {
    EXPECT_EQ(encoded(std::string("a\"b\\c\nd\x01 é/")), R"("a\"b\\c\nd\u0001 é/")");
    EXPECT_EQ(encoded(0.1), "0.1");
    EXPECT_EQ(encoded(57.0), "57");
    EXPECT_EQ(encoded(1e300), "1e+300");
    EXPECT_EQ(encoded(std::vector<std::optional<int>>{1, std::nullopt}), "[1,null]");
}

TEST(JSONEncoder, NonFiniteDoubleFailsWithItsPath) {
    Predictions predictions{.drivers = {{"1", {"1", 1, std::numeric_limits<double>::quiet_NaN()}}}};
    auto result = JSONEncoder{}.encode(predictions);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().codingPath, "Drivers.1.PredictedPoints");
    EXPECT_FALSE(JSONEncoder{}.encode(std::numeric_limits<double>::infinity()));
}

TEST(JSONEncoder, RoundTripsThroughTheDecoder) {
    Events events{.year = 2023,
                  .meetings = {{.sessions = {{.key = 1, .type = "Practice", .number = 1, .path = "p/"},
                                             {.key = 2, .type = "Race", .number = std::nullopt, .path = "r/"}},
                                .name = "Sakhir \"Bahrain\""}}};
    auto data = JSONEncoder{}.encode(events);
    ASSERT_TRUE(data);
    auto decoded = JSONDecoder{}.decode<Events>(*data);
    ASSERT_TRUE(decoded) << decoded.error().description();
    EXPECT_EQ(JSONEncoder{}.encode(*decoded).value(), *data);
    EXPECT_EQ(decoded->meetings[0].name, "Sakhir \"Bahrain\"");
    EXPECT_EQ(decoded->meetings[0].sessions[1].number, std::nullopt);

    Prediction prediction{.racingNumber = "81", .predictedPosition = -4, .predictedPoints = 0.1 + 0.2};
    auto again = JSONDecoder{}.decode<Prediction>(JSONEncoder{}.encode(prediction).value());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->predictedPoints, 0.1 + 0.2);
    EXPECT_EQ(again->predictedPosition, -4);
}
