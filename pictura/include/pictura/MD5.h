#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace pictura {

// The MD5 digest of RFC 1321, for naming cache files after their keys. One instance per digest.
class MD5 {
public:
    explicit MD5(std::span<const std::uint8_t> message) : message_(message.begin(), message.end()) {}

    std::array<std::uint8_t, 16> calculate() const;

private:
    std::vector<std::uint8_t> message_;
};

}  // namespace pictura
