#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// A URI reference split into its RFC 3986 components, each as written (still percent-encoded).
struct URLReference {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;  // present for "//..." even when empty
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    // The authority's parts; filled by parse() and resolve().
    std::optional<std::string> userInfo;
    std::string host;
    std::optional<std::string> port;

    // Splits and validates; nothing when any component holds a character its grammar does not allow.
    static std::optional<URLReference> parse(std::string_view text);
    // RFC 3986 section 5.2.2: the target of this reference against an absolute base.
    URLReference resolvedAgainst(const URLReference& base) const;
    // Section 5.3: the components put back together.
    std::string recomposed() const;

    friend bool operator==(const URLReference&, const URLReference&) = default;
};

// Section 5.2.4.
std::string removingDotSegments(std::string_view path);

}  // namespace foundation
