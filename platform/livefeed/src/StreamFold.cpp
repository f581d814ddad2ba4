#include "livefeed/StreamFold.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

namespace livefeed {
namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::optional<long long> readNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// "HH:MM:SS.mmm"; hours may run past two digits in long recordings.
std::optional<std::chrono::milliseconds> readTimeStamp(std::string_view stamp) {
  auto firstColon = stamp.find(':');
  auto secondColon = stamp.find(':', firstColon == std::string_view::npos ? 0 : firstColon + 1);
  auto dot = stamp.find('.', secondColon == std::string_view::npos ? 0 : secondColon + 1);
  if (firstColon == std::string_view::npos || secondColon == std::string_view::npos ||
      dot == std::string_view::npos)
    return std::nullopt;
  auto hours = readNumber(stamp.substr(0, firstColon));
  auto minutes = readNumber(stamp.substr(firstColon + 1, secondColon - firstColon - 1));
  auto seconds = readNumber(stamp.substr(secondColon + 1, dot - secondColon - 1));
  auto fraction = stamp.substr(dot + 1);
  auto millis = readNumber(fraction);
  if (!hours || !minutes || !seconds || !millis || *minutes > 59 || *seconds > 59 ||
      fraction.size() != 3)
    return std::nullopt;
  long long withinHour = (*minutes * 60 + *seconds) * 1000 + *millis;
  // Hours are unbounded in the text; the count of milliseconds is not.
  if (*hours > (std::numeric_limits<long long>::max() - withinHour) / 3'600'000) return std::nullopt;
  return std::chrono::milliseconds{*hours * 3'600'000 + withinHour};
}

// Whether JSON text opens more than `limit` objects and arrays inside one another; looked at before
// parsing, because copying, merging and printing the parsed value recurse once per level.
bool nestsDeeperThan(std::string_view json, std::size_t limit) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > limit) return true;
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  return false;
}

std::optional<StreamUpdate> readLine(std::string_view line) {
  auto bodyStart = line.find_first_of("{[");
  if (bodyStart == std::string_view::npos) return std::nullopt;
  auto elapsed = readTimeStamp(line.substr(0, bodyStart));
  if (!elapsed) return std::nullopt;
  if (nestsDeeperThan(line.substr(bodyStart), maximumNestingDepth)) return std::nullopt;
  Json delta = Json::parse(line.substr(bodyStart), nullptr, /*allow_exceptions=*/false);
  if (delta.is_discarded()) return std::nullopt;
  return StreamUpdate{*elapsed, std::move(delta)};
}

std::optional<std::size_t> readIndex(const std::string& key) {
  if (key.empty() || key.size() > 9) return std::nullopt;
  auto value = readNumber(key);
  if (!value) return std::nullopt;
  return static_cast<std::size_t>(*value);
}

void deleteMembers(Json& state, const Json& names) {
  if (!names.is_array()) return;
  if (state.is_object()) {
    for (const auto& name : names)
      if (name.is_string()) state.erase(name.get<std::string>());
    return;
  }
  if (!state.is_array()) return;
  std::vector<std::size_t> indices;
  for (const auto& name : names) {
    std::optional<std::size_t> index;
    if (name.is_string()) index = readIndex(name.get<std::string>());
    else if (name.is_number_unsigned()) index = name.get<std::size_t>();
    if (index && *index < state.size()) indices.push_back(*index);
  }
  // Highest first, so earlier removals do not shift the later ones.
  std::ranges::sort(indices, std::greater{});
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (auto index : indices) state.erase(index);
}

}  // namespace

ParsedStream parseStream(std::string_view text) {
  ParsedStream parsed;
  while (!text.empty()) {
    auto end = text.find('\n');
    auto line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    while (line.starts_with(byteOrderMark)) line.remove_prefix(byteOrderMark.size());
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (auto update = readLine(line)) parsed.updates.push_back(std::move(*update));
    else ++parsed.skippedLines;
  }
  return parsed;
}

void mergeDelta(Json& state, const Json& delta) {
  if (!delta.is_object()) {
    state = delta;
    return;
  }
  if (!state.is_object() && !state.is_array()) state = Json::object();
  if (auto deleted = delta.find("_deleted"); deleted != delta.end()) deleteMembers(state, *deleted);

  for (const auto& [key, value] : delta.items()) {
    if (key == "_deleted") continue;
    if (state.is_object()) {
      if (value.is_object()) mergeDelta(state[key], value);
      else state[key] = value;
      continue;
    }
    auto index = readIndex(key);
    if (!index) continue;  // a named member cannot patch a list
    if (*index >= state.size()) {
      Json element;
      mergeDelta(element, value);
      state.push_back(std::move(element));
    } else {
      mergeDelta(state[*index], value);
    }
  }
}

Json foldAll(const ParsedStream& stream) {
  Json state;
  for (const auto& update : stream.updates) mergeDelta(state, update.delta);
  return state;
}

StreamReplay::StreamReplay(ParsedStream stream) : stream_(std::move(stream)) {}

const Json& StreamReplay::stateAt(std::chrono::milliseconds elapsed) {
  if (elapsed < position_) {
    state_ = Json();
    applied_ = 0;
  }
  position_ = elapsed;
  while (applied_ < stream_.updates.size() && stream_.updates[applied_].elapsed <= elapsed)
    mergeDelta(state_, stream_.updates[applied_++].delta);
  return state_;
}

std::chrono::milliseconds StreamReplay::duration() const {
  return stream_.updates.empty() ? std::chrono::milliseconds{0} : stream_.updates.back().elapsed;
}

std::string keyframeText(const Json& state) {
  return std::string(byteOrderMark) +
         state.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
}

std::string streamLine(std::chrono::milliseconds elapsed, const Json& delta) {
  long long ms = elapsed.count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02lld:%02lld:%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60,
                ms / 1000 % 60, ms % 1000);
  return stamp + delta.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace) + "\r\n";
}

}  // namespace livefeed
