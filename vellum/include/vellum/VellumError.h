#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace vellum {

// An error of the SVG library, in the platform's error shape: a domain ("Vellum", "Vellum Parsing",
// "SVG-SAX", or the XML library's domain number as text), a code and a user-information table whose
// "NSLocalizedDescription" entry is the message.
struct VellumError {
    std::string domain;
    std::int64_t code = 0;
    std::map<std::string, std::string> userInfo;

    static constexpr const char* localizedDescriptionKey = "NSLocalizedDescription";
    static VellumError make(std::string domain, std::int64_t code, std::string localizedDescription);

    std::string localizedDescription() const;
    // "Error Domain=<domain> Code=<code> \"<description>\"", as the platform prints an error.
    std::string description() const;

    bool operator==(const VellumError&) const = default;
};

}  // namespace vellum
