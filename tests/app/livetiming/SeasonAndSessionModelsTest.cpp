#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/WeatherModel.h"

namespace {

using namespace livetiming;
using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

json indexDocument() {
    json session = {{"Key", 7953}, {"Type", "Race"}, {"Number", 1}, {"Name", "Race"}, {"StartDate", "2023-03-05T18:00:00"},
                    {"EndDate", "2023-03-05T20:00:00"}, {"GmtOffset", "03:00:00"},
                    {"Path", "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/"}};
    json meeting = {{"Sessions", json::array({session})}, {"Key", 1141}, {"Code", "BRN"}, {"Number", 1}, {"Location", "Sakhir"},
                    {"OfficialName", "FORMULA 1 GULF AIR BAHRAIN GRAND PRIX 2023"}, {"Name", "Bahrain Grand Prix"},
                    {"Country", {{"Key", 36}, {"Code", "BRN"}, {"Name", "Bahrain"}}},
                    {"Circuit", {{"Key", 63}, {"ShortName", "Sakhir"}}}};
    return {{"Year", 2023}, {"Meetings", json::array({meeting})}};
}

// How many meetings and sessions an edited index keeps.
struct Kept {
    std::size_t meetings = 0;
    std::size_t sessions = 0;
    bool operator==(const Kept&) const = default;
};

std::optional<Kept> keptAfter(const std::vector<modeltest::Edit>& edits) {
    auto index = modeltest::decode<EventsModel>(modeltest::edited(indexDocument(), "", edits));
    if (!index) return std::nullopt;
    Kept kept{index->meetings.size(), 0};
    for (const auto& meeting : index->meetings) kept.sessions += meeting.sessions.size();
    return kept;
}

TEST(SeasonIndex, aMalformedMeetingOrSessionIsLeftOutAndTheRestKept) {
    const Kept whole{1, 1}, noSession{1, 0}, nothing{0, 0};
    const std::vector<std::tuple<std::string, std::vector<modeltest::Edit>, std::optional<Kept>>> cases{
        {"complete", {}, whole},
        {"no meetings", {{"/Meetings", json::array()}}, nothing},
        {"session without Number", {{"/Meetings/0/Sessions/0/Number", {}}}, whole},
        {"session Number null", {{"/Meetings/0/Sessions/0/Number", nullptr}}, whole},
        {"unknown keys", {{"/Meetings/0/Sessions/0/ArchiveStatus", {{"Status", "Complete"}}}}, whole},
        // What the app reads of a session or meeting stays required: the item goes, not the season.
        {"test session without EndDate", {{"/Meetings/0/Sessions/0/EndDate", {}}}, noSession},
        {"session Path null", {{"/Meetings/0/Sessions/0/Path", nullptr}}, noSession},
        {"session without Name", {{"/Meetings/0/Sessions/0/Name", {}}}, noSession},
        {"session not an object", {{"/Meetings/0/Sessions/0", "cancelled"}}, noSession},
        {"meeting without OfficialName", {{"/Meetings/0/OfficialName", {}}}, nothing},
        {"meeting Key as a string", {{"/Meetings/0/Key", "1141"}}, nothing},
        {"country without Code", {{"/Meetings/0/Country/Code", {}}}, nothing},
        {"Sessions not a list", {{"/Meetings/0/Sessions", "none"}}, nothing},
        // The list of meetings must be a list, and the year is required.
        {"Meetings not a list", {{"/Meetings", json::object()}}, std::nullopt},
        {"no Year", {{"/Year", {}}}, std::nullopt},
    };
    for (const auto& [behaviour, edits, expected] : cases) EXPECT_EQ(keptAfter(edits), expected) << behaviour;

    auto index = modeltest::decode<EventsModel>(
        modeltest::edited(indexDocument(), "/Meetings/0/Sessions/0", {{"/Number", nullptr}, {"/Path", "2023/no-slash"}}));
    ASSERT_TRUE(index);
    const auto& session = index->meetings.at(0).sessions.at(0);
    EXPECT_FALSE(session.number);
    EXPECT_EQ(session.path, "2023/no-slash");  // used as sent
    EXPECT_EQ(index->meetings.at(0).circuit.shortName, "Sakhir");
    modeltest::expectStableRoundTrip(*index);
}

TEST(SeasonIndex, brokenSessionsAmongGoodOnesLoseOnlyThemselves) {
    json document = indexDocument();
    auto& sessions = document["Meetings"][0]["Sessions"];
    json race = sessions[0];
    // A cancelled placeholder (no "Path", no "Name"), a test session without "EndDate", a session
    // with "Path": null, each beside good ones, and a second meeting that is itself broken.
    json placeholder = {{"Key", -1}, {"Type", "Race"}, {"StartDate", "2023-10-08T20:00:00"},
                        {"EndDate", "2023-10-08T22:00:00"}, {"GmtOffset", "03:00:00"}};
    json test = race, nullPath = race, qualifying = race;
    test.erase("EndDate");
    nullPath["Path"] = nullptr;
    qualifying["Name"] = "Qualifying";
    qualifying["Path"] = "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-04_Qualifying/";
    sessions = json::array({placeholder, test, qualifying, nullPath, race});
    json broken = document["Meetings"][0];
    broken.erase("Circuit");
    document["Meetings"].push_back(broken);

    auto index = modeltest::decode<EventsModel>(document.dump());
    ASSERT_TRUE(index) << index.error().description();
    ASSERT_EQ(index->meetings.size(), 1u);
    ASSERT_EQ(index->meetings[0].sessions.size(), 2u);
    EXPECT_EQ(index->meetings[0].sessions[0].name, "Qualifying");
    EXPECT_EQ(index->meetings[0].sessions[1].path, "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/");
}

json driverEntry() {
    return {{"RacingNumber", "1"}, {"BroadcastName", "M VERSTAPPEN"}, {"FullName", "Max VERSTAPPEN"}, {"Tla", "VER"},
            {"Line", 1}, {"TeamName", "Red Bull Racing"}, {"TeamColour", "3671C6"}, {"FirstName", "Max"},
            {"LastName", "Verstappen"}, {"Reference", "MAXVER01"}, {"HeadshotUrl", "https://example.org/ver.png"},
            {"CountryCode", "NED"}};
}

TEST(DriverList, entriesNeedTheFieldsTheAppReadsAndMayLackHeadshotAndCountry) {
    modeltest::expectEditOutcomes<DriverList>({{"any name", driverEntry()}}, "/any name", {
        {"complete", {}, decodes},
        {"Line as a string", {{"/Line", "1"}}, FailureKind::typeMismatch},
        {"RacingNumber as a number", {{"/RacingNumber", 1}}, FailureKind::typeMismatch},
        {"no FirstName", {{"/FirstName", {}}}, FailureKind::keyNotFound},
        {"no HeadshotUrl", {{"/HeadshotUrl", {}}}, decodes},
        {"no CountryCode", {{"/CountryCode", {}}}, decodes},
        {"HeadshotUrl as a number", {{"/HeadshotUrl", 1}}, FailureKind::typeMismatch},
    });
    auto empty = modeltest::decode<DriverList>("{}");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(DriverList, aListFromTheFeedKeepsEveryDriverThatDecodes) {
    json perez = driverEntry();
    perez["RacingNumber"] = "11";
    perez["FirstName"] = "Sergio";
    perez.erase("HeadshotUrl");
    perez.erase("CountryCode");
    json broken = driverEntry();
    broken["Line"] = "3";
    json list = {{"1", driverEntry()}, {"11", perez}, {"16", broken}, {"_kf", true}};

    auto drivers = foundation::JSONDecoder{}.decodeValidItems<DriverList>(foundation::Data::fromString(list.dump()));
    ASSERT_TRUE(drivers) << drivers.error().description();
    ASSERT_EQ(drivers->size(), 2u);
    EXPECT_EQ(drivers->at("1").headshotUrl, "https://example.org/ver.png");
    EXPECT_EQ(drivers->at("1").countryCode, "NED");
    EXPECT_FALSE(drivers->at("11").headshotUrl);
    EXPECT_FALSE(drivers->at("11").countryCode);
    // Not a dictionary at all is still an error, and so is a body that is no JSON.
    EXPECT_FALSE(foundation::JSONDecoder{}.decodeValidItems<DriverList>(foundation::Data::fromString("[]")));
    EXPECT_FALSE(foundation::JSONDecoder{}.decodeValidItems<DriverList>(foundation::Data::fromString("")));
}

TEST(TeamRadio, capturesKeepTheirOrderAndPaths) {
    auto radio = modeltest::decode<TeamRadioModel>(
        R"({"Captures":[{"Utc":"2023-03-05T15:04:05.123Z","RacingNumber":"1","Path":"TeamRadio/A.mp3"},)"
        R"({"Utc":"2023-03-05T15:05:00.000Z","RacingNumber":"11","Path":"/TeamRadio/B.mp3","Extra":1}]})");
    ASSERT_TRUE(radio) << radio.error().description();
    ASSERT_EQ(radio->captures.size(), 2u);
    EXPECT_EQ(radio->captures[1].path, "/TeamRadio/B.mp3");
    EXPECT_TRUE(modeltest::decode<TeamRadioModel>(R"({"Captures":[]})"));
    EXPECT_FALSE(modeltest::decode<TeamRadioModel>(R"({})"));
    EXPECT_FALSE(modeltest::decode<TeamRadioModel>(R"({"Captures":[{"Utc":"x","RacingNumber":1,"Path":"p"}]})"));
}

TEST(DriverOfTheDay, openPollsHaveNoWinner) {
    json winner = {{"firstName", "Max"}, {"lastName", "Verstappen"}, {"teamName", "Red Bull Racing"}, {"teamColour", "3671C6"},
                   {"number", 1}, {"headshotURL", "h"}, {"bodyshotURL", "b"}, {"flagURL", "f"}};
    json reply = {{"data", json::array({{{"grandPrixName", "Bahrain Grand Prix"}, {"winner", winner}},
                                       {{"grandPrixName", "Saudi Arabian Grand Prix"}}})}};
    modeltest::expectEditOutcomes<DriverOfTheDayModel>(reply, "", {
        {"one open poll", {}, decodes},
        {"winner null", {{"/data/0/winner", nullptr}}, decodes},
        {"no polls", {{"/data", json::array()}}, decodes},
        {"no data", {{"/data", {}}}, FailureKind::keyNotFound},
        {"poll without name", {{"/data/0/grandPrixName", {}}}, FailureKind::keyNotFound},
        {"number as a string", {{"/data/0/winner/number", "1"}}, FailureKind::typeMismatch},
        {"winner without flag", {{"/data/0/winner/flagURL", {}}}, FailureKind::keyNotFound},
    });
    auto polls = modeltest::decode<DriverOfTheDayModel>(reply.dump());
    ASSERT_TRUE(polls);
    EXPECT_EQ(polls->data[0].winner->number, 1);
    EXPECT_FALSE(polls->data[1].winner);
    modeltest::expectStableRoundTrip(*polls);
}

TEST(Weather, readingsAreRequiredText) {
    json weather = {{"AirTemp", "16.2"}, {"Humidity", "71.0"}, {"Pressure", "1010.4"}, {"Rainfall", "0"},
                    {"TrackTemp", "18.7"}, {"WindDirection", "215"}, {"WindSpeed", "2.8"}};
    modeltest::expectEditOutcomes<WeatherModel>(weather, "", {
        {"complete", {}, decodes},
        {"empty reading", {{"/AirTemp", ""}}, decodes},
        {"an eighth key", {{"/_kf", true}}, decodes},
        {"rainfall as a number", {{"/Rainfall", 0}}, FailureKind::typeMismatch},
        {"no wind speed", {{"/WindSpeed", {}}}, FailureKind::keyNotFound},
        {"humidity null", {{"/Humidity", nullptr}}, FailureKind::valueNotFound},
    });
}

}  // namespace
