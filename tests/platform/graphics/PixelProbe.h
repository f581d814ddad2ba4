#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "gfx/Bitmap.h"

namespace gfx::testing {

// Checks one premultiplied pixel channel by channel, within `tolerance` per 8-bit channel.
inline ::testing::AssertionResult pixelNear(const Bitmap& bitmap, int x, int y, std::uint32_t expected,
                                            int tolerance = 2) {
    std::uint32_t actual = bitmap.pixel(x, y);
    for (int shift = 0; shift < 32; shift += 8) {
        int difference = int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF);
        if (std::abs(difference) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << actual
                                                 << ", expected 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

inline std::uint32_t alphaAt(const Bitmap& bitmap, int x, int y) { return bitmap.pixel(x, y) >> 24; }

}  // namespace gfx::testing
