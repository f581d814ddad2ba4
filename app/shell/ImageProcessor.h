#pragma once

#include <memory>
#include <string>
#include <variant>

#include "foundation/Data.h"
#include "gfx/Image.h"

// What a processor is handed: an image already decoded (a cached original being re-processed) or the
// raw downloaded bytes.
using ImageProcessItem = std::variant<std::shared_ptr<gfx::Image>, foundation::Data>;

// The retrieval options a processor is called with. The image library fills them in; the app's own
// processor reads none of them.
struct ImageProcessingOptions {};

// Turns downloaded data (or a decoded image) into the image to show. Processors with equal identifiers
// are taken to be the same: the identifier is part of the processed image's cache key. Called off the
// main thread, so implementations keep no mutable state.
class ImageProcessor {
public:
    virtual ~ImageProcessor() = default;
    virtual std::string identifier() const = 0;
    // Null means processing failed.
    virtual std::shared_ptr<gfx::Image> process(const ImageProcessItem& item,
                                                const ImageProcessingOptions& options) const = 0;
};
