#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ImageDecoder.h"
#include "LoadedLibrary.h"

namespace gfx::detail {

namespace {

// The WebP libraries, loaded when a WebP picture is first met rather than with the program: a process
// that meets none (the flag worker, for every flag so far) starts without them. Without them no WebP
// picture is read. The header's inline entry points are called through the functions they wrap, with
// the header's versions.
#define SORVANE_WEBP_FUNCTIONS(X)                                                                          \
    X(WebPGetFeaturesInternal) X(WebPInitDecoderConfigInternal) X(WebPDecode) X(WebPFreeDecBuffer)         \
    X(WebPDemuxInternal) X(WebPDemuxGetI) X(WebPDemuxGetChunk) X(WebPDemuxReleaseChunkIterator)            \
    X(WebPDemuxDelete) X(WebPAnimDecoderOptionsInitInternal) X(WebPAnimDecoderNewInternal)                 \
    X(WebPAnimDecoderGetNext) X(WebPAnimDecoderDelete)

struct WebpLibrary {
#define SORVANE_WEBP_MEMBER(name) decltype(&::name) name = nullptr;
    SORVANE_WEBP_FUNCTIONS(SORVANE_WEBP_MEMBER)
#undef SORVANE_WEBP_MEMBER

    explicit operator bool() const { return WebPDecode; }
};

const WebpLibrary& webp() {
    static const WebpLibrary library = [] {
        WebpLibrary loaded;
        // The demuxer's library brings the decoder's, and its symbols resolve those too.
        LoadedLibrary opened("libwebpdemux.so.2");
#define SORVANE_WEBP_BIND(name) opened.bind(loaded.name, #name);
        SORVANE_WEBP_FUNCTIONS(SORVANE_WEBP_BIND)
#undef SORVANE_WEBP_BIND
        const char* missing = opened.missing();
        if (!missing) return loaded;
        std::fprintf(stderr, "graphics: the WebP libraries could not be loaded, so no WebP picture is read: %s\n",
                     missing);
        return WebpLibrary{};
    }();
    return library;
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demuxer) const { webp().WebPDemuxDelete(demuxer); }
};
struct AnimationDeleter {
    void operator()(WebPAnimDecoder* decoder) const { webp().WebPAnimDecoderDelete(decoder); }
};

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A RIFF container that says it holds more than arrived is cut short: its picture can only be missing,
// so nothing of its announced size is allocated. (WebP has no lower bound of bytes a pixel: a lossless
// file of one colour codes its pixels in no bits at all.)
bool complete(Bytes bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return true;
    return static_cast<std::uint64_t>(littleEndian32(bytes.data() + 4)) + 8 <= bytes.size();
}

std::optional<WebPBitstreamFeatures> features(Bytes bytes) {
    WebPBitstreamFeatures features;
    if (!webp() || webp().WebPGetFeaturesInternal(bytes.data(), bytes.size(), &features, WEBP_DECODER_ABI_VERSION) !=
                       VP8_STATUS_OK)
        return std::nullopt;
    if (!sizeAllowed(features.width, features.height)) return std::nullopt;
    return features;
}

ImageOrientation storedOrientation(Bytes bytes) {
    WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(webp().WebPDemuxInternal(&data, 0, nullptr, WEBP_DEMUX_ABI_VERSION));
    if (!demuxer || !(webp().WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG)) return ImageOrientation::up;
    WebPChunkIterator chunk;
    ImageOrientation orientation = ImageOrientation::up;
    if (webp().WebPDemuxGetChunk(demuxer.get(), "EXIF", 1, &chunk)) {
        Bytes exif(chunk.chunk.bytes, chunk.chunk.size);
        // Some writers keep the JPEG-style "Exif\0\0" prefix.
        if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) exif = exif.subspan(6);
        orientation = exifOrientation(exif).value_or(ImageOrientation::up);
        webp().WebPDemuxReleaseChunkIterator(&chunk);
    }
    return orientation;
}

std::optional<Bitmap> firstAnimationFrame(Bytes bytes, int width, int height) {
    WebPAnimDecoderOptions options;
    if (!webp().WebPAnimDecoderOptionsInitInternal(&options, WEBP_DEMUX_ABI_VERSION)) return std::nullopt;
    options.color_mode = MODE_BGRA;
    WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, AnimationDeleter> decoder(
        webp().WebPAnimDecoderNewInternal(&data, &options, WEBP_DEMUX_ABI_VERSION));
    if (!decoder) return std::nullopt;
    std::uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!webp().WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp)) return std::nullopt;
    Bitmap bitmap = Bitmap::make(width, height);
    std::memcpy(bitmap.pixels.data(), pixels, bitmap.pixels.size());
    return bitmap;
}

}  // namespace

std::optional<ImageHeader> webpHeader(Bytes bytes) {
    auto found = features(bytes);
    if (!found) return std::nullopt;
    return ImageHeader{found->width, found->height, found->has_alpha != 0, storedOrientation(bytes)};
}

std::optional<Bitmap> decodeWebp(Bytes bytes, int longerSide, std::int64_t pixelLimit) {
    static_assert(std::endian::native == std::endian::little, "BGRA bytes are native ARGB32 only on little-endian");
    auto found = features(bytes);
    if (!found || !complete(bytes)) return std::nullopt;
    std::optional<Bitmap> bitmap;
    if (found->has_animation) {
        if (!pixelsAllowed(std::int64_t(found->width) * found->height, pixelLimit)) return std::nullopt;
        bitmap = firstAnimationFrame(bytes, found->width, found->height);
    } else {
        // Decoded straight to the size asked for: the full-size picture is never made.
        int width = found->width;
        int height = found->height;
        const int longest = std::max(width, height);
        if (longerSide > 0 && longerSide < longest) {
            const double factor = static_cast<double>(longerSide) / longest;
            width = std::max(1, static_cast<int>(std::lround(width * factor)));
            height = std::max(1, static_cast<int>(std::lround(height * factor)));
        }
        if (!pixelsAllowed(std::int64_t(width) * height, pixelLimit)) return std::nullopt;
        WebPDecoderConfig config;
        if (!webp().WebPInitDecoderConfigInternal(&config, WEBP_DECODER_ABI_VERSION)) return std::nullopt;
        bitmap = Bitmap::make(width, height);
        config.options.use_scaling = width != found->width || height != found->height;
        config.options.scaled_width = width;
        config.options.scaled_height = height;
        config.output.colorspace = MODE_BGRA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = bitmap->pixels.data();
        config.output.u.RGBA.stride = bitmap->stride;
        config.output.u.RGBA.size = bitmap->pixels.size();
        const bool decoded = webp().WebPDecode(bytes.data(), bytes.size(), &config) == VP8_STATUS_OK;
        webp().WebPFreeDecBuffer(&config.output);
        if (!decoded) return std::nullopt;
    }
    if (bitmap) premultiplyArgbInPlace(*bitmap);
    return bitmap;
}

}  // namespace gfx::detail
