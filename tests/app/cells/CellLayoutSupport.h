#pragma once

#include <memory>
#include <ostream>

#include "gfx/TextMeasurer.h"
#include "ui/TableViewCell.h"

// Text 10 points a character and 20 points a line, whatever the font, so frames are plain sums.
class FixedTextSizes {
public:
    FixedTextSizes() { gfx::setTextMeasurer(std::make_shared<gfx::FixedAdvanceMeasurer>(10, 20)); }
    ~FixedTextSizes() { gfx::setTextMeasurer(nullptr); }
};

// Sizes the cell as a self-sizing table row of `width` and lays it out; returns the row's height.
inline double layOut(ui::TableViewCell& cell, double width = 390) {
    double height = cell.contentView()->systemLayoutSizeFitting({width, 0}).height;
    cell.setFrame({0, 0, width, height});
    cell.layoutIfNeeded();
    return height;
}

inline ui::Rect frame(const std::shared_ptr<ui::View>& view) { return view->frame(); }

namespace gfx {
inline void PrintTo(const Rect& rect, std::ostream* out) {
    *out << "{" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << ", " << rect.size.height << "}";
}
}  // namespace gfx
