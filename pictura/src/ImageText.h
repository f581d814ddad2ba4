#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "gfx/Image.h"

namespace pictura {

// How the library's texts show an optional image: "nil", or its pixel size and scale.
inline std::string optionalImageText(const std::shared_ptr<gfx::Image>& image) {
    if (!image) return "nil";
    std::ostringstream stream;
    stream << "Optional(<Image " << image->pixelWidth() << "x" << image->pixelHeight() << " pixels @" << image->scale()
           << "x>)";
    return stream.str();
}

}  // namespace pictura
