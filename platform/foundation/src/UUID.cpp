#include "foundation/UUID.h"

#include <sys/random.h>

#include <random>

#include "HexDigit.h"

namespace foundation {
namespace {

constexpr bool isDashPosition(std::size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

}  // namespace

UUID UUID::random() {
    Bytes bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t count = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (count <= 0) break;
        filled += static_cast<std::size_t>(count);
    }
    if (filled < bytes.size()) {  // no kernel source: fall back to the library's
        std::random_device device;
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(device());
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return UUID(bytes);
}

std::optional<UUID> UUID::fromString(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    Bytes bytes{};
    std::size_t nibble = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (isDashPosition(index)) {
            if (text[index] != '-') return std::nullopt;
            continue;
        }
        int value = hexDigitValue(text[index]);
        if (value < 0) return std::nullopt;
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] | (nibble % 2 ? value : value << 4));
        ++nibble;
    }
    return UUID(bytes);
}

std::string UUID::uuidString() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t index = 0; index < bytes_.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) text += '-';
        text += digits[bytes_[index] >> 4];
        text += digits[bytes_[index] & 0x0F];
    }
    return text;
}

}  // namespace foundation
