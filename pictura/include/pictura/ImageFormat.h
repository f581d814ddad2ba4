#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pictura {

// The encodings the library tells apart by their first bytes. Anything else is `unknown` and still
// goes to the platform decoder.
enum class ImageFormat { unknown, PNG, JPEG, GIF };

// A JPEG marker: FF and the marker code.
class JPEGMarker {
public:
    static constexpr JPEGMarker SOF0() { return JPEGMarker(0xC0); }  // start of frame, baseline
    static constexpr JPEGMarker SOF2() { return JPEGMarker(0xC2); }  // start of frame, progressive
    static constexpr JPEGMarker DHT() { return JPEGMarker(0xC4); }
    static constexpr JPEGMarker DQT() { return JPEGMarker(0xDB); }
    static constexpr JPEGMarker DRI() { return JPEGMarker(0xDD); }
    static constexpr JPEGMarker SOS() { return JPEGMarker(0xDA); }
    // Restart marker n, 0...7 in JPEG files; n must keep D0 + n within a byte.
    static constexpr JPEGMarker RSTn(std::uint8_t n) { return JPEGMarker(static_cast<std::uint8_t>(0xD0 + n)); }
    static constexpr JPEGMarker APPn() { return JPEGMarker(0xE0); }
    static constexpr JPEGMarker COM() { return JPEGMarker(0xFE); }
    static constexpr JPEGMarker EOI() { return JPEGMarker(0xD9); }

    constexpr std::array<std::uint8_t, 2> bytes() const { return {0xFF, code_}; }
    constexpr bool operator==(const JPEGMarker&) const = default;

private:
    constexpr explicit JPEGMarker(std::uint8_t code) : code_(code) {}
    std::uint8_t code_;
};

// Only the magic bytes are looked at, never the rest: more than 8 bytes are needed to say anything.
ImageFormat imageFormat(std::span<const std::uint8_t> bytes);
// Whether the bytes are JPEG data in which the marker's two bytes occur anywhere (a plain scan, not a
// walk of the segments).
bool containsJPEGMarker(std::span<const std::uint8_t> bytes, JPEGMarker marker);

}  // namespace pictura
