// Recorded live-timing streams: parsing, folding, replaying to moments, and the text written back.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "livefeed/StreamFold.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace std::chrono_literals;
    auto parsed = livefeed::parseStream(std::string_view(reinterpret_cast<const char*>(bytes), size));
    (void)livefeed::keyframeText(livefeed::foldAll(parsed));
    // A line written for an update reads back as that update.
    for (const auto& update : parsed.updates) {
        auto again = livefeed::parseStream(livefeed::streamLine(update.elapsed, update.delta));
        if (again.updates.size() != 1 || again.updates[0].elapsed != update.elapsed ||
            again.updates[0].delta != update.delta)
            __builtin_trap();
    }
    livefeed::StreamReplay replay(std::move(parsed));
    auto end = replay.duration();
    (void)replay.stateAt(end / 2);
    (void)replay.stateAt(end);
    (void)replay.stateAt(0ms);  // backwards: folds again from the start
    (void)replay.stateAt(end + 1ms);
    return 0;
}
