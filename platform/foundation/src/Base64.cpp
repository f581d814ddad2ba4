#include <array>

#include "foundation/Data.h"

namespace foundation {

namespace {

constexpr std::array<std::int8_t, 256> decodingTable() {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t index = 0; index < alphabet.size(); ++index) {
        table[static_cast<unsigned char>(alphabet[index])] = static_cast<std::int8_t>(index);
    }
    return table;
}

constexpr auto table = decodingTable();

}  // namespace

std::optional<Data> Data::fromBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;

    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    const std::size_t significant = text.size() - padding;
    std::uint32_t group = 0;
    int bits = 0;
    for (std::size_t index = 0; index < significant; ++index) {
        const std::int8_t value = table[static_cast<unsigned char>(text[index])];
        if (value < 0) return std::nullopt;  // "=" inside the text lands here too
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(group >> bits));
            group &= (1u << bits) - 1;
        }
    }
    return Data(std::move(bytes));
}

}  // namespace foundation
