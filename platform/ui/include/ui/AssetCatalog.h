#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "gfx/Color.h"
#include "gfx/Image.h"

namespace ui {

// The app's asset catalogue: the images and colours its screens look up by name. The images are our
// own vector drawings, rendered at 2x on first use and shared after that (any thread may ask).

// Null for a name the catalogue does not hold.
std::shared_ptr<gfx::Image> namedImage(std::string_view name);
// True for the one-colour images that are meant to be tinted (the catalogue's template images);
// false for full-colour images and unknown names.
bool namedImageIsTemplate(std::string_view name);
// Nothing for a name the catalogue does not hold.
std::optional<gfx::Color> namedColor(std::string_view name);

// Every name the catalogue holds, in catalogue order.
std::span<const std::string_view> namedImageNames();
std::span<const std::string_view> namedColorNames();

}  // namespace ui
