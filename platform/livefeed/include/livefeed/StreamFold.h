#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// Folding of the live-timing feed's recorded ".jsonStream" files into the keyframe state that the
// static ".json" file of the same topic holds at a given moment of the session.
namespace livefeed {

// Key order is kept as the feed sent it, so a folded keyframe reads like a served one.
using Json = nlohmann::ordered_json;

struct StreamUpdate {
  std::chrono::milliseconds elapsed{0};  // since the start of the recording
  Json delta;
};

struct ParsedStream {
  std::vector<StreamUpdate> updates;  // in file order
  // Lines without a readable time stamp or JSON body, or nested deeper than maximumNestingDepth.
  std::size_t skippedLines = 0;
};

// Objects and arrays inside one another in one update. The feed's deepest topics use under ten;
// the bound keeps the recursion of merging (and of copying and printing JSON) off the stack's end.
inline constexpr std::size_t maximumNestingDepth = 64;

// Reads "HH:MM:SS.mmm{json}" lines. A UTF-8 byte-order mark is dropped wherever a line starts with
// one (recordings stitched from several files carry one per part), CR LF and LF both end a line,
// blank lines are ignored and unreadable ones counted. A time stamp whose milliseconds do not fit
// 64 bits is unreadable.
ParsedStream parseStream(std::string_view text);

// Applies one update to a topic's state: objects merge member by member, recursively; an object
// applied to an array patches the element at each decimal key (a key at or past the end appends);
// "_deleted" lists members (or array indices) to remove before the rest of the update applies;
// anything else replaces what was there. Recurses once per level of the delta, which parseStream
// bounds by maximumNestingDepth.
void mergeDelta(Json& state, const Json& delta);

// The state after every update of the stream.
Json foldAll(const ParsedStream& stream);

// Folds one stream up to a moment of the session. Moving forward applies only the updates not yet
// applied, so a replay that asks for later and later moments costs one merge per update overall;
// asking for an earlier moment folds again from the start.
class StreamReplay {
public:
  explicit StreamReplay(ParsedStream stream);

  // The state once every update stamped at or before `elapsed` has applied (in file order, stopping
  // at the first later one). Before the first update the state is null.
  const Json& stateAt(std::chrono::milliseconds elapsed);

  // Time stamp of the last update; zero for an empty stream.
  std::chrono::milliseconds duration() const;
  std::size_t skippedLines() const { return stream_.skippedLines; }

private:
  ParsedStream stream_;
  Json state_;
  std::size_t applied_ = 0;
  std::chrono::milliseconds position_{-1};
};

// One line of a ".jsonStream" as parseStream reads it: "HH:MM:SS.mmm" and the compact delta, CR LF.
std::string streamLine(std::chrono::milliseconds elapsed, const Json& delta);

// A keyframe as the static tree serves it: UTF-8 byte-order mark, then compact JSON.
std::string keyframeText(const Json& state);

}  // namespace livefeed
