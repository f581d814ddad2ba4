#pragma once

#include <cstddef>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/LayoutConstraint.h"

namespace ui {

class LayoutItem;

using VisualFormatViews = std::map<std::string, std::shared_ptr<LayoutItem>, std::less<>>;
using VisualFormatMetrics = std::map<std::string, double, std::less<>>;

struct VisualFormatError {
    std::string message;   // names the position and quotes the format
    std::size_t position = 0;  // index into the format where parsing stopped
};

// The constraints (inactive) that a visual format string describes, for example
// "H:|-20-[icon(50)]-15-[name]-(>=20)-|":
//   "H:" / "V:"       orientation (horizontal when left out)
//   "|"               the superview of the view next to it
//   "-N-", "-(>=N)-", "-(N@P)-", "-(a,b)-"   a gap; N a number or a metric name, P a priority
//   "-"               the standard gap: 8 between views, the superview's layout margin at an edge
//   "[a][b]"          no gap
//   "[a(50)]", "[a(>=N,<=M)]", "[a(==b)]", "[a(width@750)]"   the view's size along the orientation
std::expected<std::vector<std::shared_ptr<LayoutConstraint>>, VisualFormatError> constraintsWithVisualFormat(
    std::string_view format, const VisualFormatMetrics& metrics, const VisualFormatViews& views);

}  // namespace ui
