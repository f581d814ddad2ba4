#include "XMLEscaping.h"

namespace vellum {

namespace {

std::string escaped(std::string_view text, bool quotes) {
    std::string result;
    result.reserve(text.size());
    for (char character : text) {
        switch (character) {
            case '&': result += "&amp;"; break;
            case '<': result += "&lt;"; break;
            case '>': result += "&gt;"; break;
            case '"': result += quotes ? "&quot;" : "\""; break;
            case '\'': result += quotes ? "&apos;" : "'"; break;
            default: result += character;
        }
    }
    return result;
}

}  // namespace

std::string escapedXMLText(std::string_view text) { return escaped(text, false); }

std::string escapedXMLAttribute(std::string_view text) { return escaped(text, true); }

std::string splitCDATATerminators(std::string_view text) {
    std::string result;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("]]>", start);
        if (end == std::string_view::npos) {
            result += text.substr(start);
            return result;
        }
        result += text.substr(start, end - start);
        result += "]]]]><![CDATA[>";
        start = end + 3;
    }
}

}  // namespace vellum
