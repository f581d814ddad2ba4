#include "foundation/JSONEncoder.h"

#include <charconv>
#include <cmath>

namespace foundation::json_detail {

void appendString(std::string& out, std::string_view text) {
    static constexpr char hexDigits[] = "0123456789abcdef";
    out += '"';
    for (char character : text) {
        switch (character) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (static_cast<unsigned char>(character) < 0x20) {
                    out += "\\u00";
                    out += hexDigits[(character >> 4) & 0xF];
                    out += hexDigits[character & 0xF];
                } else {
                    out += character;
                }
        }
    }
    out += '"';
}

void appendDouble(std::string& out, double value, const CodingPathNode* path) {
    if (!std::isfinite(value)) {
        throw EncodingFailure{EncodingError{codingPathText(path),
                                            "Unable to encode " + std::string(std::isnan(value) ? "NaN" : "infinity") +
                                                " directly in JSON."}};
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace foundation::json_detail
