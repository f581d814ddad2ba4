#include "pictura/MD5.h"

#include <algorithm>
#include <bit>

namespace pictura {

namespace {

constexpr std::array<std::uint32_t, 64> shifts = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

// floor(2^32 * |sin(i + 1)|).
constexpr std::array<std::uint32_t, 64> sines = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::array<std::uint32_t, 4> initialHashes = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};


void compress(std::array<std::uint32_t, 4>& hashes, const std::uint8_t* block) {
    std::array<std::uint32_t, 16> words{};
    for (std::size_t word = 0; word < 16; ++word) {
        const std::uint8_t* bytes = block + word * 4;
        words[word] = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    }
    std::uint32_t a = hashes[0], b = hashes[1], c = hashes[2], d = hashes[3];
    for (std::uint32_t step = 0; step < 64; ++step) {
        std::uint32_t f = 0, g = 0;
        if (step < 16) {
            f = (b & c) | (~b & d);
            g = step;
        } else if (step < 32) {
            f = (d & b) | (~d & c);
            g = (5 * step + 1) % 16;
        } else if (step < 48) {
            f = b ^ c ^ d;
            g = (3 * step + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * step) % 16;
        }
        const std::uint32_t rotated = std::rotl(a + f + sines[step] + words[g], static_cast<int>(shifts[step]));
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    hashes[0] += a;
    hashes[1] += b;
    hashes[2] += c;
    hashes[3] += d;
}

}  // namespace

std::array<std::uint8_t, 16> MD5::calculate() const {
    std::array<std::uint32_t, 4> hashes = initialHashes;
    const std::size_t whole = message_.size() / 64 * 64;
    for (std::size_t offset = 0; offset < whole; offset += 64) compress(hashes, message_.data() + offset);

    // The rest of the message, 0x80, zeros up to 56 modulo 64, then the length in bits, little-endian:
    // one block, or two when fewer than 9 bytes are left in the first.
    std::array<std::uint8_t, 128> tail{};
    const std::size_t rest = message_.size() - whole;
    std::copy(message_.begin() + static_cast<std::ptrdiff_t>(whole), message_.end(), tail.begin());
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(message_.size()) * 8;
    for (std::size_t byte = 0; byte < 8; ++byte) tail[tailSize - 8 + byte] = static_cast<std::uint8_t>(bitLength >> (8 * byte));
    for (std::size_t offset = 0; offset < tailSize; offset += 64) compress(hashes, tail.data() + offset);

    std::array<std::uint8_t, 16> digest{};
    for (std::size_t word = 0; word < 4; ++word) {
        for (std::size_t byte = 0; byte < 4; ++byte) digest[word * 4 + byte] = static_cast<std::uint8_t>(hashes[word] >> (8 * byte));
    }
    return digest;
}

}  // namespace pictura
