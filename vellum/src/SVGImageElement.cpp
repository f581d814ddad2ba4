#include "vellum/SVGImageElement.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <expected>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "NumberPrefix.h"
#include "VellumGuard.h"
#include "VellumLog.h"
#include "foundation/DataURL.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "gfx/Image.h"
#include "gfx/ImageSource.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumFixedContent.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParserExtension.h"
#include "vellum/VellumSourceNSData.h"
#include "vellum/VellumSourceString.h"
#include "vellum/VellumSourceURL.h"

namespace vellum {

namespace {

using Align = SVGPreserveAspectRatioAlign;

std::mutex loaderLock;
SVGImageElement::RemoteLoader& remoteLoader() {
    static SVGImageElement::RemoteLoader loader;
    return loader;
}

// The documents being drawn on this thread, outermost first: nested images are loaded synchronously
// while the layers are built, so a link back to one of them would never end.
thread_local std::vector<std::string> documentsInProgress;

bool isXMid(Align align) { return align == Align::xMidYMin || align == Align::xMidYMid || align == Align::xMidYMax; }
bool isXMax(Align align) { return align == Align::xMaxYMin || align == Align::xMaxYMid || align == Align::xMaxYMax; }
bool isYMid(Align align) { return align == Align::xMinYMid || align == Align::xMidYMid || align == Align::xMaxYMid; }
bool isYMax(Align align) { return align == Align::xMinYMax || align == Align::xMidYMax || align == Align::xMaxYMax; }

std::string withoutWhiteSpace(std::string_view text) {
    std::string cleaned;
    cleaned.reserve(text.size());
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) cleaned += c;
    }
    return cleaned;
}

// Made from bytes or text: such a document has no place, so its links may not reach files.
bool cameFromMemory(const VellumSource* source) {
    return !source || dynamic_cast<const VellumSourceNSData*>(source) || dynamic_cast<const VellumSourceString*>(source);
}

// Whether a picture of `pixels` may be made: within the limit of one picture and what the document's
// pictures have left (`allowed`). Logged when not.
bool pictureFits(double pixels, std::int64_t allowed, const std::string& what) {
    if (pixels > static_cast<double>(SVGImageElement::maximumPicturePixelCount)) {
        vellumLogError("[%@] ERROR: %@ is larger than allowed; not shown", "SVGImageElement", what);
        return false;
    }
    if (pixels > static_cast<double>(allowed)) {
        vellumLogError("[%@] ERROR: %@ would take the document's pictures past %@ pixels together; not shown",
                       "SVGImageElement", what, SVGImageElement::maximumDocumentPicturePixelCount);
        return false;
    }
    return true;
}

// Sized from its header alone, and decoded (the first frame of an animation only) once that size fits and
// its work and memory are taken from the render's meter. The bitmap stays held while the render runs; what
// the decoder holds besides is let go once it is done.
std::shared_ptr<gfx::Image> bitmapPicture(const foundation::Data& bytes, std::int64_t allowed) {
    auto header = gfx::ImageSource::create(bytes, gfx::unlimitedPixels, 0);
    if (!header) return nullptr;
    const auto properties = header->propertiesAt(0);
    if (!properties) return nullptr;
    const std::int64_t pixels = std::int64_t{properties->pixelWidth} * properties->pixelHeight;
    if (!pictureFits(static_cast<double>(pixels), allowed,
                     foundation::format("image of %@ x %@ pixels", properties->pixelWidth, properties->pixelHeight))) {
        return VellumGetBrokenImageRepresentation();
    }
    // Decoding is the render's work and memory; past its meter the render ends anyway, and whoever opened
    // the meter tells it.
    const double working = static_cast<double>(properties->workingBytes);
    if (!gfx::WorkMeter::charge(static_cast<double>(pixels) * gfx::WorkMeter::aDecodedPixel) ||
        !gfx::WorkMeter::hold(static_cast<double>(pixels) * 4 + working)) {
        return VellumGetBrokenImageRepresentation();
    }
    // Within what was charged and held: the header's picture, and what its decoder holds besides (a GIF frame
    // reaching past its screen, a progressive JPEG's coefficients) counted a pixel a byte.
    auto picture = gfx::Image::fromData(bytes, 1, pixels + 1 + properties->workingBytes);
    gfx::WorkMeter::letGo(working);
    // A picture whose header was read is no document: one its decoder refuses (damaged, or more work than
    // its size allows) is told as such, not read again as a nested document.
    if (!picture) {
        gfx::WorkMeter::letGo(static_cast<double>(pixels) * 4);
        if (gfx::WorkMeter::spentNow()) return VellumGetBrokenImageRepresentation();
        vellumLogError("[%@] ERROR: image of %@ x %@ pixels could not be decoded (damaged, or more work than its size "
                       "allows); not shown",
                       "SVGImageElement", properties->pixelWidth, properties->pixelHeight);
        return VellumGetBrokenImageRepresentation();
    }
    return picture;
}

// A nested document drawn at its own size, unless that is too large.
std::shared_ptr<gfx::Image> renderNested(const std::shared_ptr<VellumSource>& source, std::int64_t allowed) {
    auto nested = VellumImage::imageWithSource(source);
    if (!nested || !nested->hasSize()) return nullptr;
    const gfx::Size size = nested->size();
    const double scale = VellumExporterUIImage::mainScreenScale();
    if (!pictureFits(size.width * scale * size.height * scale, allowed,
                     foundation::format("nested document %@", source->description()))) {
        return nullptr;
    }
    return nested->UIImage();
}

std::int64_t pixelsOf(const std::shared_ptr<gfx::Image>& image) {
    if (!image || !image->bitmap() || image == VellumGetBrokenImageRepresentation()) return 0;
    return std::int64_t{image->bitmap()->width} * image->bitmap()->height;
}

// A linked file, read whole but no further than the limit (a link may name a device that never ends).
std::expected<foundation::Data, std::string> readLinkedFile(foundation::InputStream& stream) {
    stream.open();
    foundation::Data data;
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const std::ptrdiff_t count = stream.read(buffer.data(), buffer.size());
        if (count == 0) break;
        if (count < 0) {
            stream.close();
            return std::unexpected(stream.streamError() ? stream.streamError()->message : std::string("read failed"));
        }
        if (data.size() + static_cast<std::size_t>(count) > SVGImageElement::maximumLinkedFileBytes) {
            stream.close();
            return std::unexpected(std::string("larger than allowed"));
        }
        data.bytes().insert(data.bytes().end(), buffer.begin(), buffer.begin() + count);
    }
    stream.close();
    return data;
}

// Crops `picture` to `rect` in points; the picture itself when nothing is left.
std::shared_ptr<gfx::Image> cropped(const std::shared_ptr<gfx::Image>& picture, const gfx::Rect& rect) {
    const auto& bitmap = picture->bitmap();
    if (!bitmap) return picture;
    const double scale = picture->scale();
    const int left = std::clamp(static_cast<int>(std::floor(rect.origin.x * scale)), 0, bitmap->width);
    const int top = std::clamp(static_cast<int>(std::floor(rect.origin.y * scale)), 0, bitmap->height);
    const int right = std::clamp(static_cast<int>(std::ceil((rect.origin.x + rect.size.width) * scale)), left, bitmap->width);
    const int bottom = std::clamp(static_cast<int>(std::ceil((rect.origin.y + rect.size.height) * scale)), top, bitmap->height);
    if (right <= left || bottom <= top) return picture;
    gfx::Bitmap part = gfx::Bitmap::make(right - left, bottom - top);
    for (int y = top; y < bottom; ++y) std::copy(bitmap->row(y) + left, bitmap->row(y) + right, part.row(y - top));
    return gfx::Image::fromBitmap(std::move(part), scale);
}

}  // namespace

struct SVGImageElement::Picture {
    std::shared_ptr<gfx::Image> image;
    bool fromBytes = false;
};

// The pictures of one build by link, what each element showed (its link is not read again for each
// copy) and its cut-out for "slice", and the pixels all of them hold.
struct SVGImageElement::PictureScope::Store {
    std::unordered_map<std::string, Picture> byLink;
    std::unordered_map<const SVGImageElement*, Picture> byElement;
    std::unordered_map<const SVGImageElement*, std::shared_ptr<gfx::Image>> cutOut;
    std::int64_t pixels = 0;

    std::int64_t allowed() const { return maximumDocumentPicturePixelCount - pixels; }
};

namespace {
thread_local SVGImageElement::PictureScope::Store* runningPictureStore = nullptr;
}  // namespace

SVGImageElement::PictureScope::PictureScope() : previous_(runningPictureStore), store_(std::make_unique<Store>()) {
    runningPictureStore = store_.get();
}

SVGImageElement::PictureScope::~PictureScope() { runningPictureStore = previous_; }

void SVGImageElement::setRemoteImageLoader(RemoteLoader loader) {
    std::lock_guard lock(loaderLock);
    remoteLoader() = std::move(loader);
}

void SVGImageElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const auto number = [this](std::string_view name) {
        const std::string text = getAttribute(name);
        return text.empty() ? 0.0 : floatPrefix(text).value_or(0);
    };
    x_ = number("x");
    y_ = number("y");
    width_ = number("width");
    height_ = number("height");
    std::string link = getAttribute("href");
    if (link.empty()) link = getAttributeNS(xlinkNamespaceURI, "href");
    if (!link.empty()) href_ = link;
    SVGHelperUtilities::parsePreserveAspectRatioFor(*this);
    // The shared reader knows no "none" (it reports it); an image must be able to stretch.
    const auto words = foundation::components(foundation::trimmingWhitespaceAndNewlines(getAttribute("preserveAspectRatio")), " ");
    if (!words.empty() && words.front() == "none") preserveAspectRatio()->baseVal()->setAlign(Align::none);
}

SVGImageElement::Picture SVGImageElement::sharedPicture(PictureScope::Store& store) {
    if (auto known = store.byElement.find(this); known != store.byElement.end()) return known->second;
    const std::string link = href_.starts_with("data:") ? withoutWhiteSpace(href_) : href_;
    auto found = store.byLink.find(link);
    if (found == store.byLink.end()) {
        Picture picture = guarded<Picture>("image element", [&] { return loadPicture(store.allowed()); });
        store.pixels += pixelsOf(picture.image);
        found = store.byLink.emplace(link, std::move(picture)).first;
    }
    return store.byElement.emplace(this, found->second).first->second;
}

SVGImageElement::Picture SVGImageElement::loadPicture(std::int64_t allowedPixels) {
    const auto root = rootOfCurrentDocumentFragment();
    const std::shared_ptr<VellumSource> documentSource = root ? root->source() : nullptr;
    std::shared_ptr<VellumSource> source;
    std::optional<foundation::Data> bytes;
    std::optional<foundation::URL> url;

    if (href_.starts_with("http:") || href_.starts_with("https:")) {
        url = foundation::URL::fromString(href_);
        RemoteLoader loader;
        {
            std::lock_guard lock(loaderLock);
            loader = remoteLoader();
        }
        if (!loader) {
            vellumLogWarning("[%@] WARNING: remote image links are not loaded: %@", "SVGImageElement", href_);
            return {VellumGetBrokenImageRepresentation(), false};
        }
        if (url) bytes = loader(*url);
    } else if (href_.starts_with("data:")) {
        href_ = withoutWhiteSpace(href_);
        url = foundation::URL::fromString(href_);
        if (auto decoded = foundation::DataURL::decode(href_)) bytes = std::move(decoded->data);
    } else {
        if (cameFromMemory(documentSource.get())) {
            vellumLogError("[%@] ERROR: a document made from bytes may not load the image link %@", "SVGImageElement",
                           href_);
            return {VellumGetBrokenImageRepresentation(), false};
        }
        source = documentSource->sourceFromRelativePath(href_);
        if (!source || !source->stream()) {
            vellumLogError("[%@] ERROR: unable to load the source from URL: %@", "SVGImageElement", href_);
            source = nullptr;
        } else {
            auto read = readLinkedFile(*source->stream());
            if (read) {
                bytes = std::move(*read);
            } else {
                vellumLogError("[%@] ERROR: unable to read stream from %@ into NSData: %@", "SVGImageElement", href_,
                               read.error());
            }
            source = source->copy();
        }
        if (!source) return {VellumGetBrokenImageRepresentation(), false};
    }

    if (bytes) {
        if (auto bitmap = bitmapPicture(*bytes, allowedPixels)) return {bitmap, true};
    }

    // Not a bitmap: a nested SVG document. One read from a file keeps the file as its source, so that
    // its own links resolve beside it (and cycles are seen by path).
    if (bytes && !source) {
        source = VellumSourceNSData::sourceFromData(*bytes, url);
    } else if (!source) {
        source = url ? VellumSourceURL::sourceFromURL(*url) : nullptr;
    }
    if (!source) return {VellumGetBrokenImageRepresentation(), bytes.has_value()};

    const std::string key = guarded<std::optional<std::string>>("image link", [&] {
                                return source->keyForAppleDictionaries();
                            }).value_or(href_);
    const std::string documentKey = documentSource ? guarded<std::optional<std::string>>("image link", [&] {
                                                         return documentSource->keyForAppleDictionaries();
                                                     }).value_or("")
                                                   : std::string();
    // The outermost document is drawn by the caller, not through an image link: it heads the chain.
    const bool outermost = documentsInProgress.empty();
    if (outermost) documentsInProgress.push_back(documentKey);
    const bool cycle = std::find(documentsInProgress.begin(), documentsInProgress.end(), key) != documentsInProgress.end();
    std::shared_ptr<gfx::Image> rendered;
    if (cycle || documentsInProgress.size() > static_cast<std::size_t>(maximumNestingDepth)) {
        vellumLogError("[%@] ERROR: image link %@ %@; not shown", "SVGImageElement", href_,
                       cycle ? "shows a document that is already being drawn" : "nests documents too deep");
    } else {
        documentsInProgress.push_back(key);
        rendered = guarded<std::shared_ptr<gfx::Image>>("nested document",
                                                       [&] { return renderNested(source, allowedPixels); });
        documentsInProgress.pop_back();
    }
    if (outermost) documentsInProgress.pop_back();
    if (!rendered || !rendered->bitmap() || rendered->bitmap()->empty()) rendered = VellumGetBrokenImageRepresentation();
    return {rendered, bytes.has_value()};
}

std::shared_ptr<quartz::Layer> SVGImageElement::newLayer() {
    auto layer = CALayerWithClipRender::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    // Outside a build this element's picture is its own.
    std::optional<PictureScope::Store> own;
    PictureScope::Store& store = runningPictureStore ? *runningPictureStore : own.emplace();
    const Picture picture = sharedPicture(store);
    if (!picture.image || !picture.image->bitmap()) return layer;

    gfx::Rect frame{x_, y_, width_, height_};
    const gfx::Size natural = picture.image->size();
    viewBox_ = picture.fromBytes ? SVGRectMake(0, 0, static_cast<float>(natural.width), static_cast<float>(natural.height))
                                 : SVGRectMake(0, 0, static_cast<float>(width_), static_cast<float>(height_));

    std::shared_ptr<gfx::Image> shown = picture.image;
    const auto setting = preserveAspectRatio()->baseVal();
    if (setting->align() != Align::none) {
        const double a = aspectRatioFromWidthPerHeight();
        const double b = aspectRatioFromViewBox();
        if (std::abs(a - b) > 0.00001 && a > 0 && b > 0) {
            if (setting->meetOrSlice() == SVGPreserveAspectRatioMeetOrSlice::meet) {
                frame = clipFrame(frame, a / b);
            } else if (setting->meetOrSlice() == SVGPreserveAspectRatioMeetOrSlice::slice) {
                auto [part, made] = store.cutOut.try_emplace(this);
                if (made) {
                    const gfx::Rect kept = clipFrame({0, 0, natural.width, natural.height}, b / a);
                    const double scale = picture.image->scale();
                    if (pictureFits(kept.size.width * scale * kept.size.height * scale, store.allowed(), "cut-out of " + href_)) {
                        part->second = cropped(picture.image, kept);
                        if (part->second != picture.image) store.pixels += pixelsOf(part->second);
                    } else {
                        part->second = VellumGetBrokenImageRepresentation();
                    }
                }
                shown = part->second;
            }
        }
    }
    const auto transform = SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*this);
    layer->setFrame(transform.apply(frame));
    layer->setContents(shown->bitmap());
    layer->setContentsScale(shown->scale());
    return layer;
}

gfx::Rect SVGImageElement::clipFrame(gfx::Rect frame, double ratio) const {
    const Align align = preserveAspectRatio()->baseVal()->align();
    if (ratio > 1) {
        const double width = frame.size.width / ratio;
        if (isXMid(align)) frame.origin.x += (frame.size.width - width) / 2;
        if (isXMax(align)) frame.origin.x += frame.size.width - width;
        frame.size.width = width;
    } else {
        const double height = frame.size.height * ratio;
        if (isYMid(align)) frame.origin.y += (frame.size.height - height) / 2;
        if (isYMax(align)) frame.origin.y += frame.size.height - height;
        frame.size.height = height;
    }
    return frame;
}

double SVGImageElement::aspectRatioFromWidthPerHeight() const { return height_ == 0 ? 0 : width_ / height_; }

double SVGImageElement::aspectRatioFromViewBox() const {
    if (!SVGRectIsInitialized(viewBox_) || viewBox_.height == 0) return 0;
    return viewBox_.width / viewBox_.height;
}

}  // namespace vellum
