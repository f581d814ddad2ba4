#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "RecordedDecoding.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"

namespace {

namespace fs = std::filesystem;
using namespace livetiming;
using modeltest::TimingAppData;
using modeltest::decoderFor;

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void expectDecodes(const std::string& name, const std::string& error, int& decoded) {
    EXPECT_EQ(error, "") << name;
    ++decoded;
}

void expectEveryModelledFileDecodes(const fs::path& root) {
    int decoded = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".json") continue;
        std::string stem = entry.path().stem().string();
        if (stem == "initial-state-R") {
            // A subscribe reply: one member per topic under "R".
            auto reply = nlohmann::json::parse(readFile(entry.path()));
            for (const auto& [topic, state] : reply["R"].items()) {
                if (auto decode = decoderFor(topic)) {
                    expectDecodes(fs::relative(entry.path(), root).generic_string() + "#" + topic,
                                  decode(state.dump()), decoded);
                }
            }
        } else if (auto decode = decoderFor(stem)) {
            expectDecodes(fs::relative(entry.path(), root).generic_string(), decode(readFile(entry.path())), decoded);
        }
    }
    EXPECT_GT(decoded, 0);
}

TEST(RecordedFeed, committedFilesDecodeIntoTheirModels) {
    expectEveryModelledFileDecodes(modeltest::fixture("livetiming"));
}

TEST(RecordedFeed, everySharedRecordingOfAModelledKindDecodes) {
    fs::path root = modeltest::sharedFixtures() / "livetiming";
    if (!fs::exists(root)) GTEST_SKIP() << modeltest::missingSharedFixtures(root);
    expectEveryModelledFileDecodes(root);
}

TEST(RecordedFeed, seasonIndexLeadsToSessionPaths) {
    auto index = modeltest::decodeFile<EventsModel>(modeltest::fixture("livetiming/2022/Index.json"));
    ASSERT_TRUE(index) << index.error().description();
    EXPECT_EQ(index->year, 2022);
    auto meeting = std::find_if(index->meetings.begin(), index->meetings.end(),
                                [](const Meeting& meeting) { return meeting.name == "Bahrain Grand Prix"; });
    ASSERT_NE(meeting, index->meetings.end());
    const auto& bahrain = *meeting;
    auto race = std::find_if(bahrain.sessions.begin(), bahrain.sessions.end(),
                             [](const Session& session) { return session.type == "Race"; });
    ASSERT_NE(race, bahrain.sessions.end());
    EXPECT_EQ(race->path, "2022/2022-03-20_Bahrain_Grand_Prix/2022-03-20_Race/");
}

TEST(RecordedFeed, the2023IndexKeepsQatarWithoutItsCancelledSessions) {
    auto index = modeltest::decodeFile<EventsModel>(modeltest::fixture("livetiming/2023/Index.json"));
    ASSERT_TRUE(index) << index.error().description();
    auto qatar = std::find_if(index->meetings.begin(), index->meetings.end(),
                              [](const Meeting& meeting) { return meeting.name == "Qatar Grand Prix"; });
    ASSERT_NE(qatar, index->meetings.end());
    for (const auto& session : qatar->sessions) EXPECT_FALSE(session.path.empty()) << session.name;
    EXPECT_GE(index->meetings.size(), 22u);
}

// The whole state a streamed topic opens with: its first line, after the byte-order mark and the
// "hh:mm:ss.fff" offset.
std::string firstState(const std::string& relative) {
    std::ifstream file(modeltest::fixture("livetiming/" + relative), std::ios::binary);
    std::string line;
    std::getline(file, line);
    if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    return line.size() > 12 ? line.substr(12) : std::string();
}

TEST(RecordedFeed, olderSeasonsDriverListsKeepEveryDriver) {
    auto decode = [](const std::string& relative) {
        return foundation::JSONDecoder{}.decodeValidItems<DriverList>(foundation::Data::fromString(firstState(relative)));
    };
    // 2019: no driver has "CountryCode".
    auto monza = decode("2019/2019-09-08_Italian_Grand_Prix/2019-09-07_Qualifying/DriverList.jsonStream");
    ASSERT_TRUE(monza) << monza.error().description();
    ASSERT_EQ(monza->size(), 20u);
    EXPECT_FALSE(monza->at("16").countryCode);
    EXPECT_EQ(monza->at("16").lastName, "Leclerc");
    EXPECT_TRUE(monza->at("16").headshotUrl);
    // 2022: two drivers have no "HeadshotUrl"; they keep their colour and number.
    auto bahrain = decode("2022/2022-03-20_Bahrain_Grand_Prix/2022-03-20_Race/DriverList.jsonStream");
    ASSERT_TRUE(bahrain) << bahrain.error().description();
    ASSERT_EQ(bahrain->size(), 20u);
    EXPECT_FALSE(bahrain->at("27").headshotUrl);
    EXPECT_EQ(bahrain->at("27").racingNumber, "27");
    EXPECT_FALSE(bahrain->at("27").teamColour.empty());
    EXPECT_TRUE(bahrain->at("1").headshotUrl);
}

TEST(RecordedFeed, qualifyingMessagesOfOlderSeasonsHaveNoLap) {
    auto messages = modeltest::decode<RaceControlMessageModel>(
        firstState("2019/2019-09-08_Italian_Grand_Prix/2019-09-07_Qualifying/RaceControlMessages.jsonStream"));
    ASSERT_TRUE(messages) << messages.error().description();
    ASSERT_EQ(messages->messages.size(), 1u);
    EXPECT_FALSE(messages->messages[0].lap);
    EXPECT_EQ(messages->messages[0].message, "GREEN LIGHT - PIT EXIT OPEN");
}

TEST(RecordedFeed, recordedStintsReadTheirNewFlagFromText) {
    auto state = modeltest::decodeFile<TimingAppData>(
        modeltest::fixture("livetiming/_signalr-state/2025-03-16_Australian_Grand_Prix_Race/TimingAppData.json"));
    ASSERT_TRUE(state) << state.error().description();
    const auto& stints = state->lines.at("1").stints;
    ASSERT_GE(stints.size(), 2u);
    EXPECT_EQ(stints[0].compound, "INTERMEDIATE");
    EXPECT_TRUE(stints[0].isNew);
    EXPECT_FALSE(stints[1].isNew);
    EXPECT_EQ(stints[1].tyresNotChanged, "1");
    EXPECT_EQ(stints[1].startLaps, 2);
}

}  // namespace
