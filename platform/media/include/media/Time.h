#pragma once

#include <cstdint>

namespace media {

// A moment of a timeline as a rational number of seconds: value / timescale. A timescale of 0 marks
// an invalid time.
struct Time {
    std::int64_t value = 0;
    std::int32_t timescale = 0;

    static constexpr Time make(std::int64_t value, std::int32_t timescale) { return {value, timescale}; }
    // The nearest time to `seconds` on `preferredTimescale`, halves rounded away from zero.
    static Time withSeconds(double seconds, std::int32_t preferredTimescale);

    bool isValid() const { return timescale > 0; }
    double seconds() const { return isValid() ? static_cast<double>(value) / timescale : 0.0; }

    friend bool operator==(const Time&, const Time&) = default;
};

}  // namespace media
