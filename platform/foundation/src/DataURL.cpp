#include "foundation/DataURL.h"

#include <cctype>
#include <cerrno>

#include "PercentEscapes.h"
#include "foundation/FileManager.h"

namespace foundation {

namespace {

bool isLineSpace(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

// The payload of a base64 data URL: the standard alphabet, "=" padding only at the end (optional, as
// browsers accept it), blanks and line breaks anywhere ignored. What remains is strict Base64.
std::optional<Data> decodeBase64Payload(std::string_view text) {
    std::string compact;
    compact.reserve(text.size() + 2);
    for (char character : text)
        if (!isLineSpace(character)) compact.push_back(character);
    const std::size_t padding = compact.size() - (compact.find_last_not_of('=') + 1);
    const std::size_t symbols = compact.size() - padding;
    // One symbol alone in a final group carries no whole byte; more padding than a group can hold is malformed.
    if (symbols % 4 == 1 || padding > 2 || (padding > 0 && compact.size() % 4 != 0)) return std::nullopt;
    if (padding == 0) compact.append((4 - symbols % 4) % 4, '=');
    return Data::fromBase64(compact);
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
