#pragma once

#include <compare>

namespace ui {

// A row of a table: its section and its row within the section. Ordered section first.
struct IndexPath {
    int section = 0;
    int row = 0;

    auto operator<=>(const IndexPath&) const = default;
};

}  // namespace ui
