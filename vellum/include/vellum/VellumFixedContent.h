#pragma once

#include <memory>
#include <string_view>

namespace gfx {
class Image;
}

namespace vellum {

// The picture drawn in place of an image that cannot be loaded: a 32 by 32 PNG kept as a data URL,
// decoded on first use and the same image ever after.
std::shared_ptr<gfx::Image> VellumGetBrokenImageRepresentation();

// The document a layered image view shows when it has no image: a 100 by 100 square in "#BF01FF"
// with a two-line legend in "#F8E81C".
std::string_view VellumGetDefaultContentString();

}  // namespace vellum
