#include "vellum/VellumFixedContent.h"

#include "foundation/DataURL.h"
#include "gfx/Image.h"

namespace vellum {

namespace {

// A grey frame with a red cross.
constexpr std::string_view brokenImageDataURL =
    "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAYAAABzenr0AAAAjElEQVR42u2XwQ3AMAgDM07GZMrMwQat1FceVYqNFLcqD34hPgkDSTOzQxntNQDuvjUKoABCAKP3K1iRVT4EwEA85YZLwEBEciAPIBDRs7AJIxcjoFQXrATQUtFteCfE+CQ1B2ZBtlPSgygj/n0AaQmkJpS2oXQQSUexdBnJ17H8QVJvwgLYCvDb3/EJwiVbXKKN2gwAAAAASUVORK5CYII=";

// The legend reads "NO" over "SVG", in block letters.
constexpr std::string_view defaultContent =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<svg width="100" height="100" viewBox="0 0 100 100" version="1.1" xmlns="http://www.w3.org/2000/svg">
  <rect x="0" y="0" width="100" height="100" fill="#BF01FF"/>
  <path fill="#F8E81C" d="M30 25 H34 V45 H30 Z M40 25 H44 V45 H40 Z M34 25 L40 39 V45 L34 31 Z M52 25 H66 V45 H52 Z M56 29 V41 H62 V29 Z"/>
  <path fill="#F8E81C" d="M22 55 H36 V59 H26 V63 H36 V75 H22 V71 H32 V67 H22 Z M43 55 H47 L50 69 L53 55 H57 L52 75 H48 Z M64 55 H78 V59 H68 V71 H74 V67 H71 V63 H78 V75 H64 Z"/>
</svg>
)";

}  // namespace

std::shared_ptr<gfx::Image> VellumGetBrokenImageRepresentation() {
    static const std::shared_ptr<gfx::Image> image = [] {
        auto url = foundation::URL::fromString(brokenImageDataURL);
        auto bytes = url ? foundation::contentsOfURL(*url) : std::unexpected(foundation::FileError{});
        return bytes ? gfx::Image::fromData(*bytes) : nullptr;
    }();
    return image;
}

std::string_view VellumGetDefaultContentString() { return defaultContent; }

}  // namespace vellum
