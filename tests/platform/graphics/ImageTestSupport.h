#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"

namespace gfx::testing {

inline std::filesystem::path imageFixtures() { return std::filesystem::path(SORVANE_TEST_FIXTURES) / "images"; }

inline foundation::Data readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
}

inline foundation::Data fixture(const std::string& relative) { return readFile(imageFixtures() / relative); }

// A bitmap of one premultiplied ARGB colour.
inline Bitmap filled(int width, int height, std::uint32_t argb) {
    Bitmap bitmap = Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.row(y)[x] = argb;
    return bitmap;
}

// Gradient-ish test picture whose every pixel differs from its neighbours.
inline Bitmap pattern(int width, int height) {
    Bitmap bitmap = Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.row(y)[x] = 0xFF000000u | std::uint32_t(x * 255 / std::max(1, width - 1)) << 16 |
                               std::uint32_t(y * 255 / std::max(1, height - 1)) << 8 | std::uint32_t((x + y) % 2 * 255);
    return bitmap;
}

inline int channel(std::uint32_t pixel, int shift) { return static_cast<int>(pixel >> shift & 0xFF); }

// Largest per-channel difference between two bitmaps of the same size.
inline int maximumDifference(const Bitmap& a, const Bitmap& b) {
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int shift : {0, 8, 16, 24})
                worst = std::max(worst, std::abs(channel(a.pixel(x, y), shift) - channel(b.pixel(x, y), shift)));
    return worst;
}

}  // namespace gfx::testing
