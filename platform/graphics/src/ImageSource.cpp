#include "gfx/ImageSource.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GifDecoder.h"
#include "ImageDecoder.h"

namespace gfx {

namespace {

constexpr double shortestPlatformDelay = 0.011;
constexpr double defaultGifDelay = 0.1;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix, std::size_t at = 0) {
    return bytes.size() >= at + prefix.size() && std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

// Area-averaging downscale through Cairo; the bitmap layouts are the same.
std::optional<Bitmap> resized(const Bitmap& bitmap, int width, int height) {
    Bitmap result = Bitmap::make(width, height);
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        const_cast<std::uint8_t*>(bitmap.pixels.data()), CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height, bitmap.stride);
    cairo_surface_t* target = cairo_image_surface_create_for_data(result.pixels.data(), CAIRO_FORMAT_ARGB32, width,
                                                                  height, result.stride);
    cairo_t* cairo = cairo_create(target);
    cairo_scale(cairo, static_cast<double>(width) / bitmap.width, static_cast<double>(height) / bitmap.height);
    cairo_set_source_surface(cairo, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cairo), CAIRO_EXTEND_PAD);
    cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cairo);
    bool ok = cairo_status(cairo) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cairo);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    cairo_surface_destroy(source);
    if (!ok) return std::nullopt;
    return result;
}

}  // namespace

std::string_view typeIdentifier(ImageType type) {
    switch (type) {
    case ImageType::png: return "public.png";
    case ImageType::jpeg: return "public.jpeg";
    case ImageType::gif: return "com.compuserve.gif";
    case ImageType::webp: return "org.webmproject.webp";
    }
    return {};
}

std::optional<ImageType> detectImageType(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n")) return ImageType::png;
    if (startsWith(bytes, "\xFF\xD8\xFF")) return ImageType::jpeg;
    if (startsWith(bytes, "GIF8")) return ImageType::gif;
    if (startsWith(bytes, "RIFF") && startsWith(bytes, "WEBP", 8)) return ImageType::webp;
    return std::nullopt;
}

struct ImageSource::State {
    foundation::Data data;
    bool final = true;
    std::int64_t pixelLimit = unlimitedPixels;
    std::size_t framesDecoded = allFrames;
    std::optional<ImageType> type;
    std::optional<detail::ImageHeader> header;  // still formats
    std::optional<detail::GifRecord> gif;
    std::unique_ptr<detail::GifCompositor> compositor;

    void parse() {
        compositor.reset();
        gif.reset();
        header.reset();
        type = detectImageType(data.span());
        if (!type) return;
        switch (*type) {
        case ImageType::png: header = detail::pngHeader(data.span()); break;
        case ImageType::jpeg: header = detail::jpegHeader(data.span()); break;
        case ImageType::webp: header = detail::webpHeader(data.span()); break;
        case ImageType::gif:
            gif = detail::parseGif(data.span(), pixelLimit, framesDecoded);
            if (gif) compositor = std::make_unique<detail::GifCompositor>(*gif);
            break;
        }
    }
    bool readable() const { return header || gif; }

    std::shared_ptr<const Bitmap> decode(std::size_t index, int minimumSide) {
        if (!type) return nullptr;
        if (*type == ImageType::gif) return compositor ? compositor->frame(index) : nullptr;
        if (index != 0 || !header) return nullptr;
        std::optional<Bitmap> bitmap;
        switch (*type) {
        case ImageType::png: bitmap = detail::decodePng(data.span(), pixelLimit); break;
        case ImageType::jpeg: bitmap = detail::decodeJpeg(data.span(), minimumSide, pixelLimit); break;
        case ImageType::webp: bitmap = detail::decodeWebp(data.span(), minimumSide, pixelLimit); break;
        case ImageType::gif: break;
        }
        if (!bitmap) return nullptr;
        return std::make_shared<const Bitmap>(std::move(*bitmap));
    }
};

ImageSource::ImageSource() : state_(std::make_unique<State>()) {}
ImageSource::~ImageSource() = default;

std::shared_ptr<ImageSource> ImageSource::create(foundation::Data data, std::int64_t pixelLimit,
                                                 std::size_t framesDecoded) {
    std::shared_ptr<ImageSource> source(new ImageSource());
    source->state_->pixelLimit = pixelLimit;
    source->state_->framesDecoded = framesDecoded;
    source->state_->data = std::move(data);
    source->state_->parse();
    if (!source->state_->readable()) return nullptr;
    return source;
}

std::shared_ptr<ImageSource> ImageSource::createIncremental() {
    std::shared_ptr<ImageSource> source(new ImageSource());
    source->state_->final = false;
    return source;
}

void ImageSource::update(foundation::Data data, bool final) {
    std::lock_guard lock(mutex_);
    if (state_->final) return;  // a finished source never changes again
    state_->data = std::move(data);
    state_->final = final;
    state_->parse();
}

ImageSourceStatus ImageSource::status() const {
    std::lock_guard lock(mutex_);
    if (!state_->final) return ImageSourceStatus::incomplete;
    return state_->readable() ? ImageSourceStatus::complete : ImageSourceStatus::invalid;
}

std::optional<ImageType> ImageSource::type() const {
    std::lock_guard lock(mutex_);
    return state_->type;
}

std::string_view ImageSource::typeIdentifier() const {
    auto known = type();
    return known ? gfx::typeIdentifier(*known) : std::string_view{};
}

std::size_t ImageSource::frameCount() const {
    std::lock_guard lock(mutex_);
    if (state_->gif) return state_->gif->frames.size();
    return state_->header ? 1 : 0;
}

std::optional<ImageFrameProperties> ImageSource::propertiesAt(std::size_t index) const {
    std::lock_guard lock(mutex_);
    ImageFrameProperties properties;
    if (state_->gif) {
        const detail::GifRecord& gif = *state_->gif;
        if (index >= gif.frames.size()) return std::nullopt;
        const detail::GifFrameRecord& frame = gif.frames[index];
        properties.pixelWidth = gif.screenWidth;
        properties.pixelHeight = gif.screenHeight;
        properties.workingBytes = std::int64_t{frame.width} * frame.height;
        properties.hasAlpha = frame.hasTransparency;
        GifFrameProperties timing;
        timing.unclampedDelayTime = frame.delayCentiseconds / 100.0;
        timing.delayTime = timing.unclampedDelayTime < shortestPlatformDelay ? defaultGifDelay : timing.unclampedDelayTime;
        timing.loopCount = gif.loopCount;
        properties.gif = timing;
        return properties;
    }
    if (!state_->header || index != 0) return std::nullopt;
    properties.pixelWidth = state_->header->width;
    properties.pixelHeight = state_->header->height;
    properties.workingBytes = state_->header->workingBytes;
    properties.hasAlpha = state_->header->hasAlpha;
    properties.orientation = state_->header->orientation;
    return properties;
}

std::shared_ptr<const Bitmap> ImageSource::frameAt(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return state_->decode(index, 0);
}

std::shared_ptr<const Bitmap> ImageSource::thumbnailAt(std::size_t index, const ThumbnailOptions& options) const {
    auto properties = propertiesAt(index);
    if (!properties) return nullptr;
    int longest = std::max(properties->pixelWidth, properties->pixelHeight);
    // Sizes beyond the picture (infinity included) keep it whole; rounding them would overflow.
    int target = options.maxPixelSize > 0 && options.maxPixelSize < longest
                     ? static_cast<int>(std::lround(options.maxPixelSize))
                     : longest;
    target = std::clamp(target, 1, longest);

    std::shared_ptr<const Bitmap> bitmap;
    {
        std::lock_guard lock(mutex_);
        bitmap = state_->decode(index, target);
    }
    if (!bitmap) return nullptr;
    double factor = static_cast<double>(target) / std::max(bitmap->width, bitmap->height);
    int width = std::max(1, static_cast<int>(std::lround(bitmap->width * factor)));
    int height = std::max(1, static_cast<int>(std::lround(bitmap->height * factor)));
    if (width != bitmap->width || height != bitmap->height) {
        auto smaller = resized(*bitmap, width, height);
        if (!smaller) return nullptr;
        bitmap = std::make_shared<const Bitmap>(std::move(*smaller));
    }
    if (options.withTransform && properties->orientation != ImageOrientation::up)
        bitmap = std::make_shared<const Bitmap>(orientedBitmap(*bitmap, properties->orientation));
    return bitmap;
}

foundation::Data ImageSource::data() const {
    std::lock_guard lock(mutex_);
    return state_->data;
}

}  // namespace gfx
