// Image sources as the image library uses them: properties, frames, thumbnails, incremental data, and
// images made from bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "gfx/Image.h"
#include "gfx/ImageSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    foundation::Data data(bytes, size);
    if (auto source = gfx::ImageSource::create(data)) {
        (void)source->typeIdentifier();
        std::size_t frames = std::min<std::size_t>(source->frameCount(), 4);
        for (std::size_t i = 0; i < frames; ++i) {
            (void)source->propertiesAt(i);
            (void)source->frameAt(i);
        }
        (void)source->thumbnailAt(0, {.maxPixelSize = 24, .withTransform = true});
    }
    auto incremental = gfx::ImageSource::createIncremental();
    incremental->update(data.subdata(0, size / 2), false);
    (void)incremental->status();
    (void)incremental->frameAt(0);
    incremental->update(data, true);
    (void)incremental->status();
    (void)gfx::Image::fromData(data, 2);
    return 0;
}
