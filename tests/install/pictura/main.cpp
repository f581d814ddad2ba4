#include <cstdio>
#include <memory>
#include <optional>

#include "gfx/ImageEncoder.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PlatformWrappers.h"

// Decodes a GIF and a PNG made here through the installed library's processors, and sets a placeholder
// on an image view through set-image.
int main() {
    using namespace pictura;
    auto frame = gfx::Bitmap::make(8, 6);
    for (int y = 0; y < 6; ++y) std::fill_n(frame.row(y), 8, 0xFF3366CCu);
    auto gif = gfx::encodeGif({{.bitmap = frame}, {.bitmap = frame, .delay = 0.2}}, 8, 6);
    auto png = gfx::encodePng(frame);
    if (!gif || !png) return 1;

    PicturaParsedOptionsInfo options({PicturaOptionsInfoItem::preloadAllAnimationData()});
    auto animated = DefaultImageProcessor::defaultProcessor()->process(*gif, options);
    auto chain = std::make_shared<const BlurImageProcessor>(2) | std::make_shared<const BlackWhiteProcessor>();
    auto processed = chain->process(*png, options);
    std::printf("format %d, frames %zu, processed %dx%d by %s\n", static_cast<int>(pc(*gif).imageFormat()),
                animated ? animated->frames().size() : 0, processed ? processed->pixelWidth() : 0,
                processed ? processed->pixelHeight() : 0, chain->identifier().c_str());
    auto view = std::make_shared<ui::ImageView>();
    int code = 0;
    pc(view).setImage(std::optional<Source>(), Placeholder::image(gfx::Image::fromBitmap(frame)), PicturaParsedOptionsInfo(),
                      nullptr, [&](PicturaManager::RetrieveResult result) { code = result ? 0 : result.error().errorCode(); });
    std::printf("set-image without a source: %d, placeholder %dx%d\n", code, view->image() ? view->image()->pixelWidth() : 0,
                view->image() ? view->image()->pixelHeight() : 0);
    return animated && animated->frames().size() == 2 && processed && processed->pixelWidth() == 8 && code == 5001 &&
                   view->image()
               ? 0
               : 1;
}
