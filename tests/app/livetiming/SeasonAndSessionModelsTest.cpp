#include <gtest/gtest.h>

#include <map>

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

TEST(SeasonIndex, meetingAndSessionFieldsFollowTheirRules) {
    modeltest::expectEditOutcomes<EventsModel>(indexDocument(), "", {
        {"complete", {}, decodes},
        {"no meetings", {{"/Meetings", json::array()}}, decodes},
        {"meeting without OfficialName", {{"/Meetings/0/OfficialName", {}}}, FailureKind::keyNotFound},
        {"session with a path but no Name", {{"/Meetings/0/Sessions/0/Name", {}}}, FailureKind::keyNotFound},
        {"session Path null", {{"/Meetings/0/Sessions/0/Path", nullptr}}, FailureKind::valueNotFound},
        {"Sessions not a list", {{"/Meetings/0/Sessions", "none"}}, FailureKind::typeMismatch},
        {"Key as a string", {{"/Meetings/0/Key", "1141"}}, FailureKind::typeMismatch},
        {"session without Number", {{"/Meetings/0/Sessions/0/Number", {}}}, decodes},
        {"session Number null", {{"/Meetings/0/Sessions/0/Number", nullptr}}, decodes},
        {"country without Code", {{"/Meetings/0/Country/Code", {}}}, FailureKind::keyNotFound},
        {"unknown keys", {{"/Meetings/0/Sessions/0/ArchiveStatus", {{"Status", "Complete"}}}}, decodes},
    });
    auto index = modeltest::decode<EventsModel>(
        modeltest::edited(indexDocument(), "/Meetings/0/Sessions/0", {{"/Number", nullptr}, {"/Path", "2023/no-slash"}}));
    ASSERT_TRUE(index);
    const auto& session = index->meetings.at(0).sessions.at(0);
    EXPECT_FALSE(session.number);
    EXPECT_EQ(session.path, "2023/no-slash");  // used as sent
    EXPECT_EQ(index->meetings.at(0).circuit.shortName, "Sakhir");
    modeltest::expectStableRoundTrip(*index);
}

TEST(SeasonIndex, sessionsWithoutFilesAreLeftOutAndTheSeasonKept) {
    // Cancelled sessions come without "Path" (and placeholders without "Name" either).
    json placeholder = {{"Key", -1}, {"Type", "Race"}, {"StartDate", "2023-10-08T20:00:00"},
                        {"EndDate", "2023-10-08T22:00:00"}, {"GmtOffset", "03:00:00"}};
    json document = indexDocument();
    document["Meetings"][0]["Sessions"].insert(document["Meetings"][0]["Sessions"].begin(), placeholder);
    auto index = modeltest::decode<EventsModel>(document.dump());
    ASSERT_TRUE(index) << index.error().description();
    ASSERT_EQ(index->meetings.at(0).sessions.size(), 1u);
    EXPECT_EQ(index->meetings[0].sessions[0].path, "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/");

    // A broken session after the placeholder is still reported at its own index.
    document["Meetings"][0]["Sessions"][1]["Key"] = "1141";
    auto broken = modeltest::decode<EventsModel>(document.dump());
    ASSERT_FALSE(broken);
    EXPECT_NE(broken.error().description().find("Meetings[0].Sessions[1].Key"), std::string::npos)
        << broken.error().description();
}

TEST(DriverList, entriesNeedAllTwelveKeys) {
    json entry = {{"RacingNumber", "1"}, {"BroadcastName", "M VERSTAPPEN"}, {"FullName", "Max VERSTAPPEN"}, {"Tla", "VER"},
                  {"Line", 1}, {"TeamName", "Red Bull Racing"}, {"TeamColour", "3671C6"}, {"FirstName", "Max"},
                  {"LastName", "Verstappen"}, {"Reference", "MAXVER01"}, {"HeadshotUrl", "https://example.org/ver.png"},
                  {"CountryCode", "NED"}};
    using DriverList = std::map<std::string, DriverListPartModel>;
    modeltest::expectEditOutcomes<DriverList>({{"any name", entry}}, "/any name", {
        {"complete", {}, decodes},
        {"Line as a string", {{"/Line", "1"}}, FailureKind::typeMismatch},
        {"RacingNumber as a number", {{"/RacingNumber", 1}}, FailureKind::typeMismatch},
        {"no HeadshotUrl", {{"/HeadshotUrl", {}}}, FailureKind::keyNotFound},
    });
    auto empty = modeltest::decode<DriverList>("{}");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
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
