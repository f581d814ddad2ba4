#pragma once

#include <cstdint>

namespace logging {

// The severity of one record: exactly one bit.
enum class LBLogFlag : std::uint64_t {
    error = 1,
    warning = 2,
    info = 4,
    debug = 8,
    verbose = 16,
};

// A mask of flags. The named levels are cumulative; any other mask is a level too (`LBLogLevel{5}`
// admits errors and information only).
enum class LBLogLevel : std::uint64_t {
    off = 0,
    error = 1,
    warning = 3,
    info = 7,
    debug = 15,
    verbose = 31,
    all = UINT64_MAX,
};

// The source of a record (the SVG library logs with 556); 0 is the default.
using LBLogContext = std::int64_t;

constexpr std::uint64_t bits(LBLogFlag flag) { return static_cast<std::uint64_t>(flag); }
constexpr std::uint64_t bits(LBLogLevel level) { return static_cast<std::uint64_t>(level); }

// Whether a logger at `level` receives a record carrying `flag`.
constexpr bool admits(LBLogLevel level, LBLogFlag flag) { return (bits(level) & bits(flag)) != 0; }

constexpr LBLogLevel operator|(LBLogFlag left, LBLogFlag right) { return LBLogLevel{bits(left) | bits(right)}; }
constexpr LBLogLevel operator|(LBLogLevel left, LBLogFlag right) { return LBLogLevel{bits(left) | bits(right)}; }

}  // namespace logging
