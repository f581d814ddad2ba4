#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "JSONTestModels.h"
#include "foundation/JSONCoding.h"

using namespace foundation;
using namespace json_test;

namespace {

template <class T>
std::expected<T, DecodingError> decode(std::string_view json) {
    return JSONDecoder{}.decode<T>(Data::fromString(json));
}

Data fixture(const std::string& name) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/json/" + name, std::ios::binary);
    return Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

constexpr std::string_view validSession = R"({"Key": 7, "Type": "Race", "Number": 2, "Path": "2023/x/"})";

}  // namespace

TEST(JSONDecoder, DecodesRequiredAndOptionalFieldsIgnoringUnknownKeys) {
    auto session = decode<Session>(R"({"Key": 7, "Extra": {"deep": [1]}, "Type": "Race", "Path": "2023/x/"})");
    ASSERT_TRUE(session) << session.error().description();
    EXPECT_EQ(session->key, 7);
    EXPECT_EQ(session->type, "Race");
    EXPECT_EQ(session->number, std::nullopt);
    EXPECT_EQ(session->path, "2023/x/");

    auto numbered = decode<Session>(validSession);
    ASSERT_TRUE(numbered);
    EXPECT_EQ(numbered->number, 2);
}

TEST(JSONDecoder, RequiredFieldFailsWhenAbsentNullOrOfAnotherType) {
    auto absent = decode<Session>(R"({"Key": 7, "Path": "p"})");
    ASSERT_FALSE(absent);
    EXPECT_EQ(absent.error().kind, DecodingError::Kind::keyNotFound);
    EXPECT_EQ(absent.error().subject, "Type");
    EXPECT_EQ(absent.error().codingPath, "");

    auto null = decode<Session>(R"({"Key": 7, "Type": null, "Path": "p"})");
    ASSERT_FALSE(null);
    EXPECT_EQ(null.error().kind, DecodingError::Kind::valueNotFound);
    EXPECT_EQ(null.error().codingPath, "Type");

    auto number = decode<Session>(R"({"Key": 7, "Type": 1, "Path": "p"})");
    ASSERT_FALSE(number);
    EXPECT_EQ(number.error().kind, DecodingError::Kind::typeMismatch);
    EXPECT_EQ(number.error().subject, "String");
    EXPECT_EQ(number.error().debugDescription, "Expected to decode String but found a number instead.");
}

TEST(JSONDecoder, OptionalFieldIsEmptyWhenAbsentOrNullButFailsOnAnotherType) {
    auto null = decode<Session>(R"({"Key": 7, "Type": "Race", "Number": null, "Path": "p"})");
    ASSERT_TRUE(null);
    EXPECT_EQ(null->number, std::nullopt);

    auto text = decode<Session>(R"({"Key": 7, "Type": "Race", "Number": "2", "Path": "p"})");
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().kind, DecodingError::Kind::typeMismatch);
    EXPECT_EQ(text.error().codingPath, "Number");
}

TEST(JSONDecoder, IntegersNeedWholeNumbersThatFitTheirType) {
    EXPECT_EQ(decode<int>("57.0").value(), 57);
    EXPECT_EQ(decode<int>("-3e2").value(), -300);
    EXPECT_EQ(decode<std::int64_t>("9223372036854775807").value(), INT64_MAX);
    EXPECT_FALSE(decode<int>("57.5"));
    EXPECT_FALSE(decode<std::int64_t>("1e30"));
    EXPECT_FALSE(decode<std::int64_t>("9223372036854775808"));
    EXPECT_FALSE(decode<int>("2147483648"));
    EXPECT_FALSE(decode<std::uint32_t>("-1"));
    EXPECT_FALSE(decode<int>(R"("57")"));

    auto fraction = decode<Prediction>(R"({"RacingNumber": "1", "PredictedPosition": 1.5, "PredictedPoints": 1})");
    ASSERT_FALSE(fraction);
    EXPECT_EQ(fraction.error().kind, DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(fraction.error().codingPath, "PredictedPosition");
    EXPECT_EQ(fraction.error().debugDescription, "Parsed JSON number <1.5> does not fit in Int32.");
}

TEST(JSONDecoder, DoublesTakeAnyNumberButNothingElse) {
    auto whole = decode<Prediction>(R"({"RacingNumber": "1", "PredictedPosition": 1, "PredictedPoints": 25})");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->predictedPoints, 25.0);
    EXPECT_EQ(decode<double>("0.1").value(), 0.1);
    EXPECT_EQ(decode<double>("-1.5e300").value(), -1.5e300);
    EXPECT_FALSE(decode<double>(R"("25")"));
    EXPECT_FALSE(decode<double>("true"));
}

TEST(JSONDecoder, BooleansAndStringsAreStrict) {
    EXPECT_TRUE(decode<bool>("true").value());
    EXPECT_FALSE(decode<bool>("false").value());
    EXPECT_FALSE(decode<bool>("1"));
    EXPECT_FALSE(decode<bool>("0"));
    EXPECT_FALSE(decode<bool>(R"("true")"));
    EXPECT_EQ(decode<std::string>(R"("caf\u00e9")").value(), "café");
    EXPECT_FALSE(decode<std::string>("true"));
    EXPECT_FALSE(decode<std::string>("{}"));
    EXPECT_FALSE(decode<std::string>("[]"));
}

TEST(JSONDecoder, CustomCoderReadsTextAsBoolean) {
    auto stints = decode<Stints>(R"({"Stints": {"1": [
        {"Compound": "SOFT", "New": "true", "TotalLaps": 3},
        {"Compound": "HARD", "New": "True", "TotalLaps": 20},
        {"Compound": "HARD", "New": " true", "TotalLaps": 20}], "44": []}})");
    ASSERT_TRUE(stints) << stints.error().description();
    ASSERT_EQ(stints->stints.at("1").size(), 3u);
    EXPECT_TRUE(stints->stints.at("1")[0].isNew);
    EXPECT_FALSE(stints->stints.at("1")[1].isNew);
    EXPECT_FALSE(stints->stints.at("1")[2].isNew);
    EXPECT_TRUE(stints->stints.at("44").empty());

    auto boolean = decode<Stints>(R"({"Stints": {"1": [{"Compound": "SOFT", "New": true, "TotalLaps": 3}]}})");
    ASSERT_FALSE(boolean);
    EXPECT_EQ(boolean.error().kind, DecodingError::Kind::typeMismatch);
    EXPECT_EQ(boolean.error().codingPath, "Stints.1[0].New");

    auto null = decode<Stints>(R"({"Stints": {"1": [{"Compound": "SOFT", "New": null, "TotalLaps": 3}]}})");
    ASSERT_FALSE(null);
    EXPECT_EQ(null.error().kind, DecodingError::Kind::valueNotFound);
}

TEST(JSONDecoder, ErrorNamesTheNestedPathOfTheFirstFailure) {
    auto document = decode<RaceDocument>(R"({"MRData": {"xmlns": "", "RaceTable": {"Races": [
        {"season": "2023", "round": "1", "Circuit": {"circuitId": "bahrain"}},
        {"season": "2023", "round": 2, "Circuit": {"circuitId": 5}}]}}})");
    ASSERT_FALSE(document);
    EXPECT_EQ(document.error().codingPath, "MRData.RaceTable.Races[1].round");
    EXPECT_EQ(document.error().description(),
              R"(typeMismatch(String, codingPath: "MRData.RaceTable.Races[1].round", )"
              R"(debugDescription: "Expected to decode String but found a number instead."))");

    auto missing = decode<RaceDocument>(R"({"MRData": {"RaceTable": {"Races": [{"season": "2023", "round": "1"}]}}})");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().description(),
              R"(keyNotFound("Circuit", codingPath: "MRData.RaceTable.Races[0]", )"
              R"(debugDescription: "No value associated with key \"Circuit\"."))");
}

TEST(JSONDecoder, KeysMatchCaseSensitively) {
    auto lowerCase = decode<RaceDocument>(R"({"mrdata": {"RaceTable": {"Races": []}}})");
    ASSERT_FALSE(lowerCase);
    EXPECT_EQ(lowerCase.error().kind, DecodingError::Kind::keyNotFound);
    EXPECT_EQ(lowerCase.error().subject, "MRData");
}

TEST(JSONDecoder, ArraysAndMapsAtTheTopLevelAndInsideModels) {
    auto sessions = decode<std::vector<Session>>(std::string("[") + std::string(validSession) + "]");
    ASSERT_TRUE(sessions);
    EXPECT_EQ(sessions->size(), 1u);

    auto byNumber = decode<std::map<std::string, Session>>(
        std::string(R"({"44": )") + std::string(validSession) + R"(, "1": )" + std::string(validSession) + "}");
    ASSERT_TRUE(byNumber);
    EXPECT_EQ(byNumber->size(), 2u);
    EXPECT_EQ(byNumber->at("44").key, 7);

    EXPECT_TRUE((decode<std::map<std::string, Session>>("{}").value().empty()));
    EXPECT_FALSE((decode<std::map<std::string, Session>>("[]")));
    EXPECT_FALSE(decode<std::vector<Session>>("{}"));

    auto nullElement = decode<std::vector<Session>>("[null]");
    ASSERT_FALSE(nullElement);
    EXPECT_EQ(nullElement.error().kind, DecodingError::Kind::valueNotFound);
    EXPECT_EQ(nullElement.error().codingPath, "[0]");

    auto meeting = decode<Meeting>(R"({"Sessions": [], "Name": "Bahrain"})");
    ASSERT_TRUE(meeting);
    EXPECT_TRUE(meeting->sessions.empty());
}

namespace {

// A meeting whose session list comes from outside: a session that does not decode is left out.
struct LenientMeeting {
    std::vector<Session> sessions;
    std::string name;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Sessions", &LenientMeeting::sessions, ValidItems<std::vector<Session>>{}),
        foundation::field("Name", &LenientMeeting::name),
    };
};

}  // namespace

TEST(JSONDecoder, ValidItemsKeepsTheElementsThatDecodeAndNothingElseIsForgiven) {
    const std::string good = std::string(validSession);
    auto meeting = decode<LenientMeeting>(R"({"Name": "Bahrain", "Sessions": [)" + good +
                                          R"(, {"Key": "7", "Type": "Race", "Path": "p/"}, null, 3, )" + good + "]}");
    ASSERT_TRUE(meeting) << meeting.error().description();
    EXPECT_EQ(meeting->sessions.size(), 2u);
    EXPECT_EQ(meeting->sessions[1].path, "2023/x/");

    // The list must be a list, and the model's other required keys stay required.
    auto notAList = decode<LenientMeeting>(R"({"Name": "Bahrain", "Sessions": {}})");
    ASSERT_FALSE(notAList);
    EXPECT_EQ(notAList.error().kind, DecodingError::Kind::typeMismatch);
    EXPECT_EQ(notAList.error().codingPath, "Sessions");
    EXPECT_FALSE(decode<LenientMeeting>(R"({"Sessions": []})"));

    // A whole document, as a dictionary keyed by number.
    auto byNumber = JSONDecoder{}.decodeValidItems<std::map<std::string, Session>>(
        Data::fromString(R"({"44": )" + good + R"(, "_kf": true, "1": {"Key": 1}})"));
    ASSERT_TRUE(byNumber) << byNumber.error().description();
    ASSERT_EQ(byNumber->size(), 1u);
    EXPECT_EQ(byNumber->at("44").key, 7);
    EXPECT_FALSE((JSONDecoder{}.decodeValidItems<std::map<std::string, Session>>(Data::fromString("[]"))));
    EXPECT_FALSE(JSONDecoder{}.decodeValidItems<std::vector<Session>>(Data::fromString("[1,")));
    EXPECT_TRUE(JSONDecoder{}.decodeValidItems<std::vector<Session>>(Data::fromString("[1, 2]")).value().empty());
}

TEST(JSONDecoder, OptionalArrayDistinguishesEmptyFromAbsent) {
    auto races = decode<RaceTable>(R"({"Races": [
        {"season": "2023", "round": "1", "Circuit": {"circuitId": "a", "url": null}, "Laps": []},
        {"season": "2023", "round": "2", "Circuit": {"circuitId": "b", "url": "u"}}]})");
    ASSERT_TRUE(races) << races.error().description();
    ASSERT_EQ(races->races.size(), 2u);
    EXPECT_EQ(races->races[0]->laps, std::vector<std::string>{});
    EXPECT_EQ(races->races[1]->laps, std::nullopt);
    EXPECT_EQ(races->races[0]->circuit->url, std::nullopt);
    EXPECT_EQ(races->races[1]->circuit->url, "u");
}

TEST(JSONDecoder, MalformedBodiesFailWithDataCorrupted) {
    auto empty = JSONDecoder{}.decode<Session>(Data{});
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().kind, DecodingError::Kind::dataCorrupted);
    EXPECT_NE(empty.error().description().find("isn't in the correct format"), std::string::npos);

    std::string deeplyNested(100000, '[');
    for (std::string_view body : {std::string_view("<html>502 Bad Gateway</html>"), std::string_view(R"({"Key": 7,)"),
                                  std::string_view("\xEF\xBB\xBF"), std::string_view("{\"a\": tru}"),
                                  std::string_view("{\"Key\": 1e400}"), std::string_view("\"\xC3\x28\""),
                                  std::string_view(deeplyNested)}) {
        auto result = decode<Session>(body);
        ASSERT_FALSE(result) << body;
        EXPECT_EQ(result.error().kind, DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(result.error().description().find('\n'), std::string::npos);
    }
    EXPECT_NE(decode<Session>("{\"a\": tru}").error().debugDescription.find("not valid JSON"), std::string::npos);
}

TEST(JSONDecoder, RefusesADocumentNestedPastTheLimitEvenWhereItWouldBeIgnored) {
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    auto session = decode<Session>(R"({"Key": 7, "Type": "Race", "Path": "p", "Extra": )" + deep + "}");
    ASSERT_FALSE(session);
    EXPECT_NE(session.error().debugDescription.find("nested deeper than"), std::string::npos);
    EXPECT_TRUE(decode<Session>(R"({"Key": 7, "Type": "Race", "Path": "p", "Extra": [[[[[[[[1]]]]]]]]})"));
}

// A page of at most three sessions, in at most 4 KB of values.
struct SessionPage {
    std::vector<int> sessions;
    static constexpr auto codingKeys = std::tuple{foundation::field("Sessions", &SessionPage::sessions)};
    static constexpr JSONLimits jsonLimits{.maximumListLength = 3, .maximumBytes = 4096};
};

TEST(JSONDecoder, RefusesADocumentPastItsModelsLimitsEvenWhereItWouldBeIgnored) {
    EXPECT_TRUE(decode<SessionPage>(R"({"Sessions": [1, 2, 3], "Other": [[1, 2, 3], {"a": [4, 5, 6]}]})"));
    for (const char* longer : {R"({"Sessions": [1, 2, 3, 4]})", R"({"Sessions": [], "Other": [[], [], [], []]})"}) {
        auto refused = decode<SessionPage>(longer);
        ASSERT_FALSE(refused) << longer;
        EXPECT_EQ(refused.error().kind, DecodingError::Kind::dataCorrupted);
        EXPECT_NE(refused.error().debugDescription.find("a list of more than 3 items"), std::string::npos)
            << refused.error().debugDescription;
    }
    // One text, or many small values under a key no model reads, past the memory the model allows.
    for (const std::string& heavy : {R"({"Sessions": [], "Other": ")" + std::string(5000, 'x') + "\"}",
                                     R"({"Sessions": [], "Other": {)" + [] {
                                         std::string members;
                                         for (int member = 0; member < 100; ++member)
                                             members += (member ? ",\"" : "\"") + std::to_string(member) + "\":0";
                                         return members;
                                     }() + "}}"}) {
        auto refused = decode<SessionPage>(heavy);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().debugDescription.find("would take more than 4096 bytes"), std::string::npos)
            << refused.error().debugDescription;
    }
    // A model that states no limits keeps none.
    std::string many = "[0";
    for (int item = 1; item < 5000; ++item) many += ",0";
    EXPECT_EQ(decode<std::vector<int>>(many + "]").value().size(), 5000u);
}

TEST(JSONDecoder, AcceptsLeadingByteOrderMark) {
    auto session = decode<Session>(std::string("\xEF\xBB\xBF") + std::string(validSession));
    ASSERT_TRUE(session) << session.error().description();
    EXPECT_EQ(session->path, "2023/x/");
}

namespace {

struct MeetingName {
    std::string name;
    static constexpr auto codingKeys = std::tuple{field("Name", &MeetingName::name)};
};

struct MeetingNames {
    int year = 0;
    std::vector<MeetingName> meetings;
    static constexpr auto codingKeys =
        std::tuple{field("Year", &MeetingNames::year), field("Meetings", &MeetingNames::meetings)};
};

}  // namespace

TEST(JSONDecoder, RecordedSeasonIndexWithByteOrderMarkDecodesOrFailsAtItsPathlessSession) {
    Data body = fixture("Index-2023.json");
    ASSERT_TRUE(body.view().starts_with("\xEF\xBB\xBF"));
    auto names = JSONDecoder{}.decode<MeetingNames>(body);
    ASSERT_TRUE(names) << names.error().description();
    EXPECT_EQ(names->year, 2023);
    ASSERT_EQ(names->meetings.size(), 23u);
    EXPECT_EQ(names->meetings[1].name, "Bahrain Grand Prix");

    // The Qatar weekend of the recorded index lists sessions without a path.
    auto events = JSONDecoder{}.decode<Events>(body);
    ASSERT_FALSE(events);
    EXPECT_EQ(events.error().description(),
              R"(keyNotFound("Path", codingPath: "Meetings[17].Sessions[2]", )"
              R"(debugDescription: "No value associated with key \"Path\"."))");
}

namespace {

// Racing numbers between 1 and 99, as text; anything else fails the document.
struct RacingNumberText {
    static std::string decode(const DecodingValue& value) {
        auto text = value.decode<std::string>();
        if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
            value.fail("Not a racing number: " + text);
        return text;
    }
    static const std::string& encode(const std::string& text) { return text; }
};

struct Capture {
    std::optional<std::string> racingNumber;
    static constexpr auto codingKeys = std::tuple{optionalField("RacingNumber", &Capture::racingNumber, RacingNumberText{})};
};

}  // namespace

TEST(JSONDecoder, OptionalFieldCoderSeesOnlyPresentValuesAndCanFailTheDocument) {
    EXPECT_EQ(decode<Capture>(R"({"RacingNumber": "44"})").value().racingNumber, "44");
    EXPECT_EQ(decode<Capture>(R"({"RacingNumber": null})").value().racingNumber, std::nullopt);
    EXPECT_EQ(decode<Capture>("{}").value().racingNumber, std::nullopt);

    auto invalid = decode<std::vector<Capture>>(R"([{"RacingNumber": "4a"}])");
    ASSERT_FALSE(invalid);
    EXPECT_EQ(invalid.error().description(),
              R"(dataCorrupted(codingPath: "[0].RacingNumber", debugDescription: "Not a racing number: 4a"))");
}
