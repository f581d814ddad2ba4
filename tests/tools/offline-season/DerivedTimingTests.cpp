// The TimingData stream derived for a replayed race without one: positions, laps and stops from what
// the recording holds, read back with the app's own timing model.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/JSONDecoder.h"
#include "livefeed/StreamFold.h"
#include "livetiming/TimingData.h"
#include "offline_season/SnapshotBuilder.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using std::chrono::milliseconds;
using std::chrono::seconds;

const fs::path snapshot = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season";
const std::string bahrainRace = "livetiming/2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

livetiming::TimingData timingOf(const Json& state) {
  auto decoded = foundation::JSONDecoder{}.decode<livetiming::TimingData>(foundation::Data::fromString(state.dump()));
  EXPECT_TRUE(decoded) << (decoded ? "" : decoded.error().debugDescription);
  return decoded ? *decoded : livetiming::TimingData{};
}

std::string line(milliseconds elapsed, const Json& delta) { return livefeed::streamLine(elapsed, delta); }

TEST(DerivedTiming, PlacesLapsAndStopsFollowTheRecordedRunningOrderStintsAndLapCount) {
  // Two cars: "1" starts on used tyres (3 laps on them), "44" on new ones; "44" stops after lap 2.
  std::string appData =
      line(milliseconds{1000}, Json::parse(R"({"Lines":{"1":{"RacingNumber":"1","Stints":[]},"44":{"RacingNumber":"44","Stints":[]}}})")) +
      line(milliseconds{2000}, Json::parse(R"({"Lines":{"1":{"Line":2},"44":{"Line":1}}})")) +
      line(seconds{10}, Json::parse(R"({"Lines":{"1":{"Stints":[{"TotalLaps":3,"StartLaps":3}]},"44":{"Stints":[{"TotalLaps":0,"StartLaps":0}]}}})")) +
      line(seconds{100}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":4}}},"44":{"Stints":{"0":{"TotalLaps":1}}}}})")) +
      line(seconds{190}, Json::parse(R"({"Lines":{"1":{"Line":1,"Stints":{"0":{"TotalLaps":5}}},"44":{"Line":2,"Stints":{"0":{"TotalLaps":2}}}}})")) +
      line(seconds{200}, Json::parse(R"({"Lines":{"44":{"Stints":{"1":{"TotalLaps":0,"StartLaps":0}}}}})")) +
      // A stint count that runs past the race's lap (a recording glitch) is held to it.
      line(seconds{280}, Json::parse(R"({"Lines":{"1":{"Stints":{"0":{"TotalLaps":9}}},"44":{"Stints":{"1":{"TotalLaps":1}}}}})"));
  std::string lapCount = line(milliseconds{500}, Json::parse(R"({"CurrentLap":1,"TotalLaps":3})")) +
                         line(seconds{95}, Json::parse(R"({"CurrentLap":2})")) +
                         line(seconds{185}, Json::parse(R"({"CurrentLap":3})"));

  auto stream = livefeed::parseStream(offline_season::derivedTimingStream("\xEF\xBB\xBF" + appData, "\xEF\xBB\xBF" + lapCount));
  EXPECT_EQ(stream.skippedLines, 0u);
  ASSERT_FALSE(stream.updates.empty());
  EXPECT_EQ(stream.updates.front().elapsed, milliseconds{1000}) << "the cars appear when the recording names them";
  livefeed::StreamReplay replay(std::move(stream));

  auto start = timingOf(replay.stateAt(seconds{5}));
  ASSERT_EQ(start.lines.size(), 2u);
  EXPECT_EQ(start.lines["44"].position, "1");
  EXPECT_EQ(start.lines["1"].position, "2");
  EXPECT_EQ(start.lines["1"].numberOfLaps, 0);
  EXPECT_FALSE(start.lines["1"].intervalToPositionAhead) << "no gap was recorded, none is made up";
  EXPECT_FALSE(start.lines["1"].gapToLeader);
  EXPECT_FALSE(start.lines["1"].lastLapTime.value);

  auto lapOne = timingOf(replay.stateAt(seconds{150}));
  EXPECT_EQ(lapOne.lines["1"].numberOfLaps, 1) << "laps on used tyres count from when they were fitted";
  EXPECT_EQ(lapOne.lines["44"].numberOfLaps, 1);
  EXPECT_EQ(lapOne.lines["44"].numberOfPitStops, 0);

  auto afterStop = timingOf(replay.stateAt(seconds{250}));
  EXPECT_EQ(afterStop.lines["1"].position, "1");
  EXPECT_EQ(afterStop.lines["44"].position, "2");
  EXPECT_EQ(afterStop.lines["44"].numberOfPitStops, 1);
  EXPECT_EQ(afterStop.lines["44"].numberOfLaps, 2);

  auto end = timingOf(replay.stateAt(seconds{300}));
  EXPECT_EQ(end.lines["1"].numberOfLaps, 3) << "never above the race's lap";
  EXPECT_EQ(end.lines["44"].numberOfLaps, 3) << "both stints' laps";
}

TEST(DerivedTiming, BahrainsRaceReplaysFromTheCommittedStreamAndEndsInTheClassifiedOrder) {
  auto stream = livefeed::parseStream(readAll(snapshot / (bahrainRace + "TimingData.jsonStream")));
  EXPECT_EQ(stream.skippedLines, 0u);
  ASSERT_GT(stream.updates.size(), 400u) << "every change of the running order and of a car's laps";
  livefeed::StreamReplay replay(std::move(stream));

  // Half an hour after the start (01:02:36 into the streams) the cars are some laps in.
  auto running = timingOf(replay.stateAt(std::chrono::hours{1} + std::chrono::minutes{32}));
  ASSERT_EQ(running.lines.size(), 20u);
  auto leader = std::ranges::find(running.lines, "1", [](const auto& entry) { return entry.second.position; });
  ASSERT_NE(leader, running.lines.end());
  EXPECT_GT(*leader->second.numberOfLaps, 10);
  EXPECT_LT(*leader->second.numberOfLaps, 57);

  auto end = timingOf(livefeed::foldAll(livefeed::parseStream(readAll(snapshot / (bahrainRace + "TimingData.jsonStream")))));
  EXPECT_EQ(end.lines["1"].position, "1");
  EXPECT_EQ(end.lines["1"].numberOfLaps, 57);
  EXPECT_EQ(end.lines["1"].numberOfPitStops, 2);
  EXPECT_EQ(end.lines["11"].position, "2");
  EXPECT_EQ(end.lines["14"].position, "3");
  EXPECT_EQ(end.lines["81"].numberOfLaps, 13) << "Piastri stopped on lap 13";
}

}  // namespace
