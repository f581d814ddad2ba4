#pragma once

#include <expected>
#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "gfx/Image.h"
#include "pictura/PicturaError.h"

namespace pictura {

// What a download gives one consumer: its processed image and the bytes it was made from.
struct ImageLoadingResult {
    std::shared_ptr<gfx::Image> image;
    // The URL the download was made for (after the request modifier).
    std::optional<foundation::URL> url;
    // Shared by every consumer of one download, never copied for each.
    std::shared_ptr<const foundation::Data> originalData;
};

using ImageLoadingOutcome = std::expected<ImageLoadingResult, PicturaError>;

}  // namespace pictura
