#pragma once

#include <cstdint>
#include <span>

namespace map {

// FNV-1a, 64 bits: a name for bytes that is the same in every run (for what is kept on disk).
inline std::uint64_t digestOf(std::span<const std::uint8_t> bytes, std::uint64_t digest = 0xcbf29ce484222325ull) {
    for (std::uint8_t byte : bytes) digest = (digest ^ byte) * 0x100000001b3ull;
    return digest;
}

}  // namespace map
