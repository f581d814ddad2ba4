#include "ImageDecoder.h"

namespace gfx::detail {

namespace {

constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t shortType = 3;

struct TiffReader {
    Bytes bytes;
    bool bigEndian = false;

    std::optional<std::uint32_t> read(std::size_t offset, int width) const {
        if (offset > bytes.size() || bytes.size() - offset < static_cast<std::size_t>(width)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i) {
            std::uint32_t byte = bytes[offset + (bigEndian ? i : width - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    }
};

}  // namespace

std::optional<ImageOrientation> exifOrientation(Bytes tiff) {
    if (tiff.size() < 8) return std::nullopt;
    TiffReader reader{tiff};
    if (tiff[0] == 'M' && tiff[1] == 'M') reader.bigEndian = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I')) return std::nullopt;
    if (reader.read(2, 2) != 42u) return std::nullopt;
    auto ifdOffset = reader.read(4, 4);
    if (!ifdOffset) return std::nullopt;
    auto count = reader.read(*ifdOffset, 2);
    if (!count) return std::nullopt;
    for (std::uint32_t i = 0; i < *count; ++i) {
        std::size_t entry = static_cast<std::size_t>(*ifdOffset) + 2 + i * 12u;
        auto tag = reader.read(entry, 2);
        if (!tag) return std::nullopt;
        if (*tag != orientationTag) continue;
        if (reader.read(entry + 2, 2) != shortType || reader.read(entry + 4, 4) != 1u) return std::nullopt;
        auto value = reader.read(entry + 8, 2);
        return value ? orientationFromExif(static_cast<int>(*value)) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace gfx::detail
