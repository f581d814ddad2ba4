#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "livefeed/StreamFold.h"

namespace {

using livefeed::Json;
using namespace std::chrono_literals;

Json fold(std::initializer_list<const char*> deltas) {
  Json state;
  for (const char* delta : deltas) livefeed::mergeDelta(state, Json::parse(delta));
  return state;
}

TEST(StreamParsing, ReadsTimeStampsAndBodiesAcrossLineEndsAndByteOrderMarks) {
  auto parsed = livefeed::parseStream(
      "\xEF\xBB\xBF" "00:00:05.453{\"CurrentLap\":1}\r\n"
      "00:47:05.217{\"CurrentLap\":2}\n"
      "\r\n"
      "\xEF\xBB\xBF" "12:00:00.001{\"CurrentLap\":3}");
  ASSERT_EQ(parsed.updates.size(), 3u);
  EXPECT_EQ(parsed.skippedLines, 0u);
  EXPECT_EQ(parsed.updates[0].elapsed, 5453ms);
  EXPECT_EQ(parsed.updates[1].elapsed, 47min + 5s + 217ms);
  EXPECT_EQ(parsed.updates[2].elapsed, 12h + 1ms);
  EXPECT_EQ(parsed.updates[2].delta["CurrentLap"], 3);
}

TEST(StreamParsing, SkipsAndCountsUnreadableLines) {
  auto parsed = livefeed::parseStream(
      "00:00:01.000{\"A\":1}\r\n"
      "no time stamp at all\r\n"
      "{\"A\":2}\r\n"
      "00:00:02.000{\"A\":\r\n"
      "00:61:00.000{\"A\":3}\r\n"
      "00:00:03.5{\"A\":4}\r\n"
      "00:00:04.000{\"A\":5}\r\n");
  ASSERT_EQ(parsed.updates.size(), 2u);
  EXPECT_EQ(parsed.skippedLines, 5u);
  EXPECT_EQ(livefeed::foldAll(parsed), Json::parse(R"({"A":5})"));
}

// Found by fuzzing: an hours field without bound overflowed the millisecond count.
TEST(StreamParsing, RefusesTimeStampsPastWhatMillisecondsHold) {
  auto parsed = livefeed::parseStream(
      "8198148689607:3:4.320{\"A\":1}\r\n"
      "2562047788015:12:55.807{\"A\":2}\r\n"
      "2562047788015:12:55.808{\"A\":3}\r\n"
      "99999999999999999999:00:00.000{\"A\":4}\r\n"
      "8198148689607:3:4.320{\n");
  ASSERT_EQ(parsed.updates.size(), 1u);
  EXPECT_EQ(parsed.skippedLines, 4u);
  // The last stamp that fits is kept: the longest long recording there can be.
  EXPECT_EQ(parsed.updates[0].elapsed, std::chrono::milliseconds::max());
  EXPECT_EQ(parsed.updates[0].delta["A"], 2);
}

std::string nested(std::size_t depth, char open, char close, const std::string& inner) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += open == '{' ? std::string("{\"a\":") : std::string(1, open);
  text += inner;
  text.append(depth, close);
  return text;
}

// Found by fuzzing: folding recursed once per level, so an 11 KB line of nested objects (or one of
// nested arrays) ran off the end of the stack.
TEST(StreamParsing, SkipsLinesNestedPastTheLimitAndKeepsTheRest) {
  const std::size_t limit = livefeed::maximumNestingDepth;
  auto parsed = livefeed::parseStream(
      "00:00:01.000" + nested(limit, '{', '}', "1") + "\r\n" +
      "00:00:02.000" + nested(limit + 1, '{', '}', "2") + "\r\n" +
      "00:00:03.000" + nested(20'000, '{', '}', "3") + "\r\n" +
      "00:00:04.000" + nested(30'000, '[', ']', "4") + "\r\n" +
      // Brackets inside strings, escaped quotes among them, are text, not nesting.
      "00:00:05.000{\"b\":\"" + std::string(200, '[') + "\\\"" + std::string(200, '{') + "\"}\r\n");
  ASSERT_EQ(parsed.updates.size(), 2u);
  EXPECT_EQ(parsed.skippedLines, 3u);
  auto state = livefeed::foldAll(parsed);
  const Json* inner = &state;
  for (std::size_t i = 0; i < limit; ++i) inner = &(*inner)["a"];
  EXPECT_EQ(*inner, 1);
  EXPECT_EQ(state["b"], std::string(200, '[') + "\"" + std::string(200, '{'));
}

TEST(DeltaMerge, LaterUpdatesOfAFieldWinAndSiblingsStay) {
  auto state = fold({R"({"Lines":{"1":{"Position":"3","InPit":false}},"Withheld":false})",
                     R"({"Lines":{"1":{"Position":"2"}}})",
                     R"({"Lines":{"1":{"Position":"1"},"44":{"Position":"2"}}})"});
  EXPECT_EQ(state, Json::parse(R"({"Lines":{"1":{"Position":"1","InPit":false},"44":{"Position":"2"}},
                                   "Withheld":false})"));
}

TEST(DeltaMerge, IndexKeysPatchAndAppendListElements) {
  auto state = fold({R"({"Sectors":[{"Value":"","Segments":[{"Status":0},{"Status":0}]},{"Value":""}]})",
                     R"({"Sectors":{"0":{"Segments":{"1":{"Status":2049}}},"1":{"Value":"31.2"}}})",
                     R"({"Sectors":{"2":{"Value":"28.9"}}})"});
  EXPECT_EQ(state, Json::parse(R"({"Sectors":[{"Value":"","Segments":[{"Status":0},{"Status":2049}]},
                                              {"Value":"31.2"},{"Value":"28.9"}]})"));
  // An index past the end has nowhere to go but the end.
  auto messages = fold({R"({"Messages":[{"Message":"A"}]})", R"({"Messages":{"5":{"Message":"B"}}})"});
  EXPECT_EQ(messages, Json::parse(R"({"Messages":[{"Message":"A"},{"Message":"B"}]})"));
}

TEST(DeltaMerge, IndexKeysOnAMissingMemberMakeAnObject) {
  // The feed sends stints this way before the list exists; the served keyframe keeps the object.
  auto state = fold({R"({"Lines":{"1":{"Line":1}}})", R"({"Lines":{"1":{"Stints":{"0":{"Compound":"SOFT"}}}}})"});
  EXPECT_EQ(state["Lines"]["1"]["Stints"], Json::parse(R"({"0":{"Compound":"SOFT"}})"));
}

TEST(DeltaMerge, DeletedMembersAreRemovedBeforeTheRestApplies) {
  auto state = fold({R"({"4":{"Tla":"NOR","Line":3,"TeamName":"McLaren","TeamColour":"F58020"}})",
                     R"({"4":{"Tla":"FOR","_deleted":["TeamName","TeamColour","Absent"]}})",
                     R"({"4":{"_deleted":["Line"]}})"});
  EXPECT_EQ(state, Json::parse(R"({"4":{"Tla":"FOR"}})"));
  auto reSet = fold({R"({"LastLapTime":{"Value":"1:44.1","Lap":3}})",
                     R"({"LastLapTime":{"_deleted":["Lap"],"Lap":4}})"});
  EXPECT_EQ(reSet, Json::parse(R"({"LastLapTime":{"Value":"1:44.1","Lap":4}})"));
  auto list = fold({R"({"L":[10,11,12,13]})", R"({"L":{"_deleted":["1","3","9"]}})"});
  EXPECT_EQ(list, Json::parse(R"({"L":[10,12]})"));
  // A deletion list never reaches the state as data.
  auto fresh = fold({R"({"New":{"A":1,"_deleted":["B"]}})"});
  EXPECT_EQ(fresh, Json::parse(R"({"New":{"A":1}})"));
}

TEST(DeltaMerge, NonObjectValuesReplaceWhatWasThere) {
  auto state = fold({R"({"A":{"B":1},"C":[1,2,3],"D":"x"})", R"({"A":null,"C":[4],"D":{"E":true}})"});
  EXPECT_EQ(state, Json::parse(R"({"A":null,"C":[4],"D":{"E":true}})"));
}

TEST(StreamReplay, FoldsUpToATimeAndMovesEitherWay) {
  livefeed::StreamReplay replay(livefeed::parseStream(
      "00:00:01.000{\"CurrentLap\":1,\"TotalLaps\":17}\r\n"
      "00:10:00.000{\"CurrentLap\":2}\r\n"
      "00:20:00.000{\"CurrentLap\":3}\r\n"));
  EXPECT_TRUE(replay.stateAt(0ms).is_null());
  EXPECT_EQ(replay.stateAt(10min), Json::parse(R"({"CurrentLap":2,"TotalLaps":17})"));
  EXPECT_EQ(replay.stateAt(10min + 1ms)["CurrentLap"], 2);
  EXPECT_EQ(replay.stateAt(1h)["CurrentLap"], 3);
  EXPECT_EQ(replay.stateAt(5min), Json::parse(R"({"CurrentLap":1,"TotalLaps":17})"));
  EXPECT_EQ(replay.duration(), 20min);
}

TEST(StreamReplay, RecordedLapCountReachesTheFinalLap) {
  std::ifstream in(std::string(SORVANE_TEST_FIXTURES) + "/offline-season/LapCount.jsonStream",
                   std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  livefeed::StreamReplay replay(livefeed::parseStream(bytes.str()));
  EXPECT_EQ(replay.skippedLines(), 0u);
  EXPECT_EQ(replay.stateAt(47min), Json::parse(R"({"CurrentLap":1,"TotalLaps":17})"));
  EXPECT_EQ(replay.stateAt(49min + 15s + 200ms)["CurrentLap"], 3);
  EXPECT_EQ(replay.stateAt(replay.duration()), Json::parse(R"({"CurrentLap":17,"TotalLaps":17})"));
}

TEST(KeyframeText, IsCompactJsonAfterAByteOrderMarkWithTextKeptAsUtf8) {
  auto text = livefeed::keyframeText(Json::parse(R"({"FullName":"Sergio PÉREZ","Line":2})"));
  EXPECT_EQ(text, "\xEF\xBB\xBF" R"({"FullName":"Sergio PÉREZ","Line":2})");
}

}  // namespace
