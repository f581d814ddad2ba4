#include "gfx/BoxBlur.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "BitmapLayout.h"

namespace gfx {

namespace {

// 4095 x 4095 is the largest box whose 8-bit sums still fit 32 bits.
constexpr int largestKernel = 4095;

int oddKernel(int size) { return std::clamp(size % 2 == 0 ? size + 1 : size, 1, largestKernel); }

}  // namespace

Bitmap boxBlur(const Bitmap& source, int kernelWidth, int kernelHeight) {
    if (!hasValidLayout(source)) return {};
    const int width = source.width, height = source.height;
    const int radiusX = oddKernel(kernelWidth) / 2, radiusY = oddKernel(kernelHeight) / 2;
    const std::uint32_t area = std::uint32_t(2 * radiusX + 1) * std::uint32_t(2 * radiusY + 1);
    const std::size_t rowValues = std::size_t(width) * 4;

    // Horizontal pass: per pixel and channel, the sum over the row window (not yet divided).
    std::vector<std::uint32_t> rowSums(rowValues * height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = source.pixels.data() + std::size_t(y) * source.stride;
        std::uint32_t* out = rowSums.data() + rowValues * y;
        std::uint32_t sum[4] = {0, 0, 0, 0};
        for (int k = -radiusX; k <= radiusX; ++k) {
            const std::uint8_t* pixel = in + std::clamp(k, 0, width - 1) * 4;
            for (int c = 0; c < 4; ++c) sum[c] += pixel[c];
        }
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* entering = in + std::min(x + radiusX + 1, width - 1) * 4;
            const std::uint8_t* leaving = in + std::max(x - radiusX, 0) * 4;
            for (int c = 0; c < 4; ++c) {
                out[x * 4 + c] = sum[c];
                sum[c] += entering[c];
                sum[c] -= leaving[c];
            }
        }
    }

    // Vertical pass: running column sums of the row sums, divided once with rounding.
    Bitmap result = Bitmap::make(width, height);
    std::vector<std::uint32_t> columnSums(rowValues, 0);
    for (int k = -radiusY; k <= radiusY; ++k) {
        const std::uint32_t* row = rowSums.data() + rowValues * std::clamp(k, 0, height - 1);
        for (std::size_t index = 0; index < rowValues; ++index) columnSums[index] += row[index];
    }
    const std::uint32_t half = area / 2;
    // Dividing by multiplying: floor(x * m / 2^40) equals x / area for every x below 2^40 / area, which
    // holds for all sums (below 256 * area) while area is below 2^16.
    const bool multiplyToDivide = area < (1u << 16);
    const std::uint64_t reciprocal = (std::uint64_t(1) << 40) / area + 1;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = result.pixels.data() + std::size_t(y) * result.stride;
        const std::uint32_t* entering = rowSums.data() + rowValues * std::min(y + radiusY + 1, height - 1);
        const std::uint32_t* leaving = rowSums.data() + rowValues * std::max(y - radiusY, 0);
        if (multiplyToDivide) {
            for (std::size_t index = 0; index < rowValues; ++index)
                out[index] = static_cast<std::uint8_t>((std::uint64_t(columnSums[index] + half) * reciprocal) >> 40);
        } else {
            for (std::size_t index = 0; index < rowValues; ++index)
                out[index] = static_cast<std::uint8_t>((columnSums[index] + half) / area);
        }
        for (std::size_t index = 0; index < rowValues; ++index) columnSums[index] += entering[index] - leaving[index];
    }
    return result;
}

}  // namespace gfx
