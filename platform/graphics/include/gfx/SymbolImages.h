#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Font.h"
#include "gfx/ImageRenderer.h"

namespace gfx {

struct SymbolConfiguration {
    double pointSize = 17;
    // Sets the stroke width, as a font's weight sets its stems.
    FontWeight weight = FontWeight::regular;
};

// The named system symbols the app shows, drawn as our own simple vector icons in one colour. The image
// is square, 1.2 times the point size, at `scale` pixels a point. Nothing for a name we do not draw.
std::optional<RenderedImage> symbolImage(std::string_view name, const SymbolConfiguration& configuration, Color tint,
                                         double scale = 1);

// Every name symbolImage draws, in alphabetical order.
const std::vector<std::string_view>& symbolNames();

}  // namespace gfx
