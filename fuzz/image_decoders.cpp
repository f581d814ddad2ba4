// Every still-image decoder, the GIF parser and compositor, and the EXIF reader over the same bytes;
// each looks at its own signature first.
#include <cstddef>
#include <cstdint>

#include "GifDecoder.h"
#include "ImageDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace gfx::detail;
    Bytes data(bytes, size);
    (void)pngHeader(data);
    (void)decodePng(data);
    (void)jpegLayout(data);
    if (jpegHeader(data)) {
        (void)decodeJpeg(data);
        (void)decodeJpeg(data, 16);  // scaled down while decoding
    }
    (void)webpHeader(data);
    (void)decodeWebp(data);
    (void)exifOrientation(data);
    if (auto gif = parseGif(data)) {
        GifCompositor compositor(*gif);
        for (std::size_t i = 0; i < gif->frames.size() && i < 8; ++i) (void)compositor.frame(i);
        if (!gif->frames.empty()) (void)compositor.frame(0);  // back to the start
    }
    return 0;
}
