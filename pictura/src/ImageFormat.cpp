#include "pictura/ImageFormat.h"

#include <algorithm>

namespace pictura {

namespace {

constexpr std::array<std::uint8_t, 8> pngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::array<std::uint8_t, 2> jpegStartOfImage{0xFF, 0xD8};
constexpr std::uint8_t jpegByteAfterStart = 0xFF;
constexpr std::array<std::uint8_t, 3> gifSignature{0x47, 0x49, 0x46};

}  // namespace

ImageFormat imageFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() <= 8) return ImageFormat::unknown;
    auto header = bytes.first(8);
    if (std::ranges::equal(header, pngSignature)) return ImageFormat::PNG;
    if (header[0] == jpegStartOfImage[0] && header[1] == jpegStartOfImage[1] && header[2] == jpegByteAfterStart)
        return ImageFormat::JPEG;
    if (std::ranges::equal(header.first(3), gifSignature)) return ImageFormat::GIF;
    return ImageFormat::unknown;
}

bool containsJPEGMarker(std::span<const std::uint8_t> bytes, JPEGMarker marker) {
    if (imageFormat(bytes) != ImageFormat::JPEG) return false;
    auto pair = marker.bytes();
    return std::ranges::search(bytes, pair).begin() != bytes.end();
}

}  // namespace pictura
