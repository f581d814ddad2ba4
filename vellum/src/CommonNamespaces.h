#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellum {

// The namespaces nearly every node of an SVG document is in (SVG, XLink, xmlns, XML), kept once for
// every node and attribute table; null for any other.
const std::optional<std::string>* commonNamespace(std::string_view uri);

}  // namespace vellum
