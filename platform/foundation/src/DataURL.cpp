#include "foundation/DataURL.h"

#include <array>
#include <cctype>
#include <cerrno>

#include "PercentEscapes.h"
#include "foundation/FileManager.h"

namespace foundation {

namespace {

constexpr std::array<std::int8_t, 256> base64Alphabet() {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t index = 0; index < alphabet.size(); ++index) {
        table[static_cast<unsigned char>(alphabet[index])] = static_cast<std::int8_t>(index);
    }
    return table;
}

bool isLineSpace(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

// The payload of a base64 data URL: the standard alphabet, "=" padding only at the end (optional, as
// browsers accept it), blanks and line breaks anywhere ignored.
std::optional<Data> decodeBase64Payload(std::string_view text) {
    static constexpr auto alphabet = base64Alphabet();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int bits = 0;
    std::size_t symbols = 0;
    std::size_t padding = 0;
    for (char character : text) {
        if (isLineSpace(character)) continue;
        if (character == '=') {
            ++padding;
            continue;
        }
        const std::int8_t value = alphabet[static_cast<unsigned char>(character)];
        if (value < 0 || padding > 0) return std::nullopt;  // a foreign character, or data after "="
        ++symbols;
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(group >> bits));
            group &= (1u << bits) - 1;
        }
    }
    // One symbol alone in a final group carries no whole byte; more padding than a group can hold is malformed.
    if (symbols % 4 == 1 || padding > 2 || (padding > 0 && (symbols + padding) % 4 != 0)) return std::nullopt;
    return Data(std::move(bytes));
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t index = 0; index < prefix.size(); ++index) {
        if (std::tolower(static_cast<unsigned char>(text[index])) != prefix[index]) return false;
    }
    return true;
}

}  // namespace

std::optional<DataURL> DataURL::decode(std::string_view text) {
    if (!startsWithIgnoringCase(text, "data:")) return std::nullopt;
    text.remove_prefix(5);
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    std::string_view header = text.substr(0, comma);
    const std::string_view payload = text.substr(comma + 1);

    DataURL result;
    constexpr std::string_view base64Marker = ";base64";
    if (header.size() >= base64Marker.size() &&
        startsWithIgnoringCase(header.substr(header.size() - base64Marker.size()), base64Marker)) {
        result.isBase64 = true;
        header.remove_suffix(base64Marker.size());
    }
    if (!header.empty()) {
        // A bare parameter list (";charset=...") keeps the default type.
        result.mediaType = header.front() == ';' ? "text/plain" + std::string(header) : std::string(header);
    }

    const std::optional<std::string> bytes = decodePercentEscapes(payload);
    if (!bytes) return std::nullopt;
    if (result.isBase64) {
        std::optional<Data> decoded = decodeBase64Payload(*bytes);
        if (!decoded) return std::nullopt;
        result.data = std::move(*decoded);
    } else {
        result.data = Data::fromString(*bytes);
    }
    return result;
}

std::expected<Data, FileError> contentsOfURL(const URL& url) {
    const std::string text = url.absoluteString();
    if (startsWithIgnoringCase(text, "data:")) {
        std::optional<DataURL> decoded = DataURL::decode(text);
        if (!decoded) return std::unexpected(FileError{EINVAL, "data URL does not decode: " + text.substr(0, 64)});
        return std::move(decoded->data);
    }
    if (url.isFileURL()) return FileManager::defaultManager()->readData(url.path());
    return std::unexpected(FileError{EPROTONOSUPPORT, "no synchronous read for the URL " + text});
}

}  // namespace foundation
