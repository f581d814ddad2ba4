#pragma once

#include <string>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "pictura/DrawingParameters.h"
#include "pictura/SizeGeometry.h"

namespace pictura {

// The platform's texts of values inside processor identifiers: they are part of cache keys, so every
// character counts.

// The shortest text that reads back as the same double, with ".0" on whole numbers and exponent
// notation below 1e-4 and from 1e16 on: 4.0, 0.5, 1e-05.
std::string numberText(double value);
// "(100.0, 50.0)".
std::string sizeText(gfx::Size size);
std::string pointText(gfx::Point point);
// "(1.00,0.50,0.00,1.00)": red, green, blue and alpha.
std::string colorComponentsText(const gfx::Color& color);
// The colour object's own description: "UIExtendedSRGBColorSpace 1 0.5 0 1".
std::string colorDescription(const gfx::Color& color);
std::string contentModeName(ContentMode mode);
// The reflected form of a radius and a border: "Pictura.Radius.point(0.0)", "Border(color: ...)".
std::string radiusReflection(Radius radius);
std::string borderReflection(const Border& border);

}  // namespace pictura
