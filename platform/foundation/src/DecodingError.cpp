#include "foundation/DecodingError.h"

#include <string_view>

namespace foundation {

namespace {

std::string_view kindName(DecodingError::Kind kind) {
    switch (kind) {
        case DecodingError::Kind::typeMismatch: return "typeMismatch";
        case DecodingError::Kind::valueNotFound: return "valueNotFound";
        case DecodingError::Kind::keyNotFound: return "keyNotFound";
        case DecodingError::Kind::dataCorrupted: return "dataCorrupted";
    }
    return "dataCorrupted";
}

// Quoted, and kept on one line whatever a key or a parser message holds.
std::string quoted(std::string_view text) {
    std::string result = "\"";
    for (char character : text) {
        if (character == '"' || character == '\\') result += '\\';
        result += static_cast<unsigned char>(character) < 0x20 ? ' ' : character;
    }
    return result + '"';
}

}  // namespace

std::string DecodingError::description() const {
    std::string text(kindName(kind));
    text += '(';
    if (kind == Kind::keyNotFound) text += quoted(subject) + ", ";
    else if (kind != Kind::dataCorrupted) text += subject + ", ";
    text += "codingPath: " + quoted(codingPath) + ", debugDescription: " + quoted(debugDescription) + ')';
    return text;
}

std::string EncodingError::description() const {
    return "invalidValue(codingPath: " + quoted(codingPath) + ", debugDescription: " + quoted(debugDescription) + ')';
}

}  // namespace foundation
