#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "JSONTestModels.h"
#include "foundation/JSONCoding.h"

using namespace foundation;
using namespace json_test;
using foundation::field;
using foundation::optionalField;

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

namespace {

struct ResultTime {
    std::optional<std::string> millis;
    std::optional<std::string> time;
    static constexpr auto codingKeys =
        std::tuple{optionalField("millis", &ResultTime::millis), optionalField("time", &ResultTime::time)};
};

struct FastestLap {
    std::optional<std::string> rank;
    std::optional<ResultTime> time;
    static constexpr auto codingKeys =
        std::tuple{optionalField("rank", &FastestLap::rank), optionalField("Time", &FastestLap::time)};
};

struct Driver {
    std::string driverId;
    std::string familyName;
    static constexpr auto codingKeys =
        std::tuple{field("driverId", &Driver::driverId), field("familyName", &Driver::familyName)};
};

struct Result {
    std::string position;
    std::shared_ptr<const Driver> driver;
    std::string status;
    std::optional<ResultTime> time;
    std::optional<FastestLap> fastestLap;
    static constexpr auto codingKeys = std::tuple{
        field("position", &Result::position),         field("Driver", &Result::driver),
        field("status", &Result::status),             optionalField("Time", &Result::time),
        optionalField("FastestLap", &Result::fastestLap),
    };
};

struct ResultRace {
    std::string raceName;
    std::optional<std::vector<std::shared_ptr<const Result>>> results;
    static constexpr auto codingKeys =
        std::tuple{field("raceName", &ResultRace::raceName), optionalField("Results", &ResultRace::results)};
};

struct ResultRaces {
    std::vector<std::shared_ptr<const ResultRace>> races;
    static constexpr auto codingKeys = std::tuple{field("Races", &ResultRaces::races)};
};

struct ResultTable {
    ResultRaces raceTable;
    static constexpr auto codingKeys = std::tuple{field("RaceTable", &ResultTable::raceTable)};
};

struct ResultDocument {
    ResultTable data;
    static constexpr auto codingKeys = std::tuple{field("MRData", &ResultDocument::data)};
};

}  // namespace

TEST(JSONEncoder, RecordedResultsDocumentRoundTripsWithoutUnsetOptionals) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/json/results-2023.json", std::ios::binary);
    Data body(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
    auto document = JSONDecoder{}.decode<ResultDocument>(body);
    ASSERT_TRUE(document) << document.error().description();
    const auto& races = document->data.raceTable.races;
    ASSERT_EQ(races.size(), 2u);
    const auto& results = races[0]->results.value();
    EXPECT_EQ(results.front()->driver->familyName, "Verstappen");
    EXPECT_EQ(results.front()->time->millis, "5636736");
    EXPECT_EQ(results.back()->time, std::nullopt);
    EXPECT_EQ(results.back()->fastestLap->time->millis, std::nullopt);

    auto encodedDocument = JSONEncoder{}.encode(*document);
    ASSERT_TRUE(encodedDocument);
    std::string text = encodedDocument->toString();
    EXPECT_TRUE(text.starts_with(R"({"MRData":{"RaceTable":{"Races":[{"raceName":"Bahrain Grand Prix","Results":[)"));
    EXPECT_EQ(text.find("positionText"), std::string::npos);
    auto again = JSONDecoder{}.decode<ResultDocument>(*encodedDocument);
    ASSERT_TRUE(again) << again.error().description();
    EXPECT_EQ(JSONEncoder{}.encode(*again).value(), *encodedDocument);
}
