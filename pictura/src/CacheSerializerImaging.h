#pragma once

#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ImageFormat.h"

namespace pictura {

struct PicturaParsedOptionsInfo;

// What the serializers need of the imaging layer: one encoder and one decoder.
namespace serializerImaging {

// `unknown`: PNG of the upright picture; PNG and JPEG: the stored picture as it is; GIF: the animated
// bytes the image was made from. Nothing when the encoder gives nothing.
std::optional<foundation::Data> encode(const std::shared_ptr<gfx::Image>& image, ImageFormat format, double quality);
// A still image at the options' scale; null when the bytes do not decode.
std::shared_ptr<gfx::Image> decode(const foundation::Data& data, const PicturaParsedOptionsInfo& options);

}  // namespace serializerImaging

}  // namespace pictura
