#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// A 128-bit universally unique identifier.
class UUID {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    UUID() = default;  // all zero
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}
    // A fresh version-4 (random) identifier from the system's random source.
    static UUID random();
    // The 8-4-4-4-12 hexadecimal form, either letter case; anything else gives nothing.
    static std::optional<UUID> fromString(std::string_view text);

    // Upper-case 8-4-4-4-12 form, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    std::string uuidString() const;
    const Bytes& bytes() const { return bytes_; }

    friend auto operator<=>(const UUID&, const UUID&) = default;

private:
    Bytes bytes_{};
};

}  // namespace foundation

template <>
struct std::hash<foundation::UUID> {
    std::size_t operator()(const foundation::UUID& uuid) const noexcept {
        std::size_t hash = 0;
        for (std::uint8_t byte : uuid.bytes()) hash = hash * 131 + byte;
        return hash;
    }
};
