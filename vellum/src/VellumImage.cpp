#include "vellum/VellumImage.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <source_location>

#include "VellumGuard.h"
#include "VellumLog.h"
#include "foundation/Assertion.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSource.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceNSData.h"
#include "vellum/VellumSourceURL.h"

namespace vellum {

namespace {

// Creation through the class methods is serialised, as the platform locks its class object. Nested
// documents (an image element showing an SVG) create images while the outer one is being made.
std::recursive_mutex& creationLock() {
    static std::recursive_mutex lock;
    return lock;
}

constexpr std::string_view rawDataWarning =
    "Creating an SVG from raw data; this is not recommended: SVG requires knowledge of at least the URL where it "
    "came from (as it can contain relative file-links internally). You should use the method [VellumImage "
    "initWithSource:] instead and specify an VellumSource with more detail";

}  // namespace

std::shared_ptr<VellumImage> VellumImage::initWithParsedSVG(std::shared_ptr<VellumParseResult> result,
                                                            std::shared_ptr<VellumSource> source) {
    return guarded<std::shared_ptr<VellumImage>>("initWithParsedSVG", [&]() -> std::shared_ptr<VellumImage> {
        initialize();
        if (!result || !result->parsedDocument() || !result->parsedDocument()->rootElement()) {
            vellumLogError(
                "[%@] ERROR: failed to init VellumImage with source = %@, returning nil from init methods. Parser "
                "warnings and errors = %@",
                "VellumImage", source ? source->description() : std::string("(null)"),
                result ? result->description() : std::string("(null)"));
            return nullptr;
        }
        std::shared_ptr<VellumImage> image(new VellumImage);
        image->parseErrorsAndWarnings_ = std::move(result);
        image->DOMDocument_ = image->parseErrorsAndWarnings_->parsedDocument();
        image->DOMTree_ = image->DOMDocument_->rootElement();
        image->source_ = std::move(source);
        return image;
    });
}

std::shared_ptr<VellumImage> VellumImage::initWithSource(std::shared_ptr<VellumSource> source) {
    if (!source) {
        vellumLogError("Attempted to init an VellumImage using a nil VellumSource");
        return nullptr;
    }
    return guarded<std::shared_ptr<VellumImage>>("initWithSource", [&] {
        return initWithParsedSVG(VellumParser::parseSourceUsingDefaultVellumParser(source), source);
    });
}

std::shared_ptr<VellumImage> VellumImage::initWithContentsOfFile(const std::filesystem::path& path) {
    if (path.empty()) {
        vellumLogError("Invalid parameter not satisfying: %@", "aPath != nil");
        return nullptr;
    }
    return initWithSource(VellumSourceLocalFile::sourceFromFilename(path));
}

std::shared_ptr<VellumImage> VellumImage::initWithContentsOfURL(const foundation::URL& url) {
    return guarded<std::shared_ptr<VellumImage>>("initWithContentsOfURL", [&] {
        return initWithSource(VellumSourceURL::sourceFromURL(url));
    });
}

std::shared_ptr<VellumImage> VellumImage::initWithData(const foundation::Data& data) {
    vellumLogWarning(rawDataWarning);
    return guarded<std::shared_ptr<VellumImage>>("initWithData", [&] {
        return initWithSource(VellumSourceNSData::sourceFromData(data, std::nullopt));
    });
}

std::shared_ptr<VellumImage> VellumImage::imageWithSource(std::shared_ptr<VellumSource> source) {
    std::lock_guard lock(creationLock());
    return initWithSource(std::move(source));
}

std::shared_ptr<VellumImage> VellumImage::imageWithData(const foundation::Data& data) {
    std::lock_guard lock(creationLock());
    return initWithData(data);
}

std::shared_ptr<VellumImage> VellumImage::imageWithContentsOfURL(const foundation::URL& url) {
    std::lock_guard lock(creationLock());
    return initWithContentsOfURL(url);
}

std::shared_ptr<VellumImage> VellumImage::imageWithContentsOfFile(const std::filesystem::path& path) {
    std::lock_guard lock(creationLock());
    return initWithContentsOfFile(path);
}

// A cached image stays owned by its cache line, so it cannot be destroyed while the line exists: there
// is no count to give back here (the platform's give-back could hit a newer line under the same key).
VellumImage::~VellumImage() = default;

bool VellumImage::hasSize() const {
    if (internalSizeThatWasSetExplicitlyByUser_.width != 0 || internalSizeThatWasSetExplicitlyByUser_.height != 0)
        return true;
    if (!DOMTree_) return false;
    return SVGRectIsInitialized(DOMTree_->viewport()) || SVGRectIsInitialized(DOMTree_->viewBox());
}

gfx::Size VellumImage::size() const {
    if (internalSizeThatWasSetExplicitlyByUser_.width != 0 || internalSizeThatWasSetExplicitlyByUser_.height != 0)
        return internalSizeThatWasSetExplicitlyByUser_;
    if (DOMTree_ && SVGRectIsInitialized(DOMTree_->viewport())) return CGSizeFromSVGRect(DOMTree_->viewport());
    if (DOMTree_ && SVGRectIsInitialized(DOMTree_->viewBox())) return CGSizeFromSVGRect(DOMTree_->viewBox());
    vellumLogError(
        "Your SVG file has no internal size, and you have failed to specify a desired size. Therefore, we cannot give "
        "you a value for the 'image.size' property - you MUST use an SVG file that has a viewbox property, OR use an "
        "SVG file that defines an explicit svg width, OR provide a size of your own choosing (by setting image.size "
        "to a value) ... before you call this method");
    return {0, 0};
}

std::shared_ptr<void> VellumImage::observeSize(std::function<void()> observer) {
    auto token = std::make_shared<std::function<void()>>(std::move(observer));
    std::erase_if(sizeObservers_, [](const auto& held) { return held.expired(); });
    sizeObservers_.push_back(token);
    return token;
}

void VellumImage::setSize(gfx::Size size) {
    internalSizeThatWasSetExplicitlyByUser_ = size;
    if (DOMTree_) {
        if (!SVGRectIsInitialized(DOMTree_->viewBox()) && !SVGRectIsInitialized(DOMTree_->viewport())) {
            vellumPlatformLog(
                "[%@] WARNING: you have set an explicit image size, but your SVG file has no explicit width or height "
                "AND no viewBox. This means the image will NOT BE SCALED - either add a viewBox to your SVG source "
                "file, or add an explicit svg width and height -- or: use the .scale method on this class "
                "(VellumImage) instead to scale by desired amount",
                "VellumImage");
        }
        DOMTree_->setViewport(SVGRectMake(0, 0, static_cast<float>(size.width), static_cast<float>(size.height)));
        dropLayerTree();
    }
    // Taken first: an observer may drop its token, or another's.
    std::vector<std::shared_ptr<std::function<void()>>> observers;
    for (const auto& held : sizeObservers_) {
        if (auto observer = held.lock()) observers.push_back(std::move(observer));
    }
    for (const auto& observer : observers) (*observer)();
}

void VellumImage::setScale(double scale) {
    if (!DOMTree_) {
        vellumLogError(
            "Can't set a scale before you've parsed an SVG file; scale is sometimes illegal, depending on the SVG file "
            "itself");
        return;
    }
    if (SVGRectIsInitialized(DOMTree_->viewBox())) {
        vellumLogError(
            "image.scale cannot be set because your SVG has an internal viewbox. To resize this SVG, you must instead "
            "call image.size = (a new size) to force the svg to scale itself up or down as appropriate");
        return;
    }
    scale_ = scale;
    dropLayerTree();
}

// The platform took the larger ratio when shrinking, so a shrunk image overflowed the box on one side;
// the smaller ratio always fits.
void VellumImage::scaleToFitInside(gfx::Size target) {
    if (!hasSize()) {
        vellumLogError(
            "Cannot scale this image because the SVG file has infinite size. Either fix the SVG file, or set an "
            "explicit size you want it to be exported at (by calling .size = something on this VellumImage instance");
        return;
    }
    const gfx::Size current = size();
    if (current.width <= 0 || current.height <= 0) return;
    const float widthRatio = static_cast<float>(target.width / current.width);
    const float heightRatio = static_cast<float>(target.height / current.height);
    const double factor = std::min(widthRatio, heightRatio);
    if (!std::isfinite(factor) || factor <= 0) return;
    setSize({current.width * factor, current.height * factor});
}

std::shared_ptr<gfx::Image> VellumImage::UIImage() {
    return VellumExporterUIImage::exportAsUIImage(*this, true, 1.0, gfx::InterpolationQuality::standard);
}

namespace {

[[noreturn]] void unsupported(std::source_location location = std::source_location::current()) {
    foundation::raiseAssertion("Method unsupported / not yet implemented by Vellum", location);
}

}  // namespace

void VellumImage::drawAtPoint(gfx::Point) { unsupported(); }

void VellumImage::drawAtPoint(gfx::Point, gfx::BlendMode, double) { unsupported(); }

void VellumImage::drawInRect(gfx::Rect) { unsupported(); }

void VellumImage::drawInRect(gfx::Rect, gfx::BlendMode, double) { unsupported(); }

void VellumImage::drawAsPatternInRect(gfx::Rect) { unsupported(); }

std::shared_ptr<VellumImage> VellumImage::animatedImageNamed(std::string_view, double) { unsupported(); }

std::shared_ptr<VellumImage> VellumImage::animatedResizableImageNamed(std::string_view, gfx::EdgeInsets, double) {
    unsupported();
}

std::shared_ptr<VellumImage> VellumImage::animatedImageWithImages(const std::vector<std::shared_ptr<gfx::Image>>&,
                                                                  double) {
    unsupported();
}

std::shared_ptr<quartz::Layer> VellumImage::CALayerTree() {
    // A document sized by its view box alone is drawn at that size: the root needs it as its viewport.
    if (DOMTree_ && !SVGRectIsInitialized(DOMTree_->viewport()) && SVGRectIsInitialized(DOMTree_->viewBox())) {
        const SVGRect box = DOMTree_->viewBox();
        DOMTree_->setViewport(SVGRectMake(0, 0, box.width, box.height));
    }
    if (CALayerTree_ && DOMTree_ && DOMTree_->viewport() != layerTreeViewport_) dropLayerTree();
    if (!CALayerTree_) {
        // The build's work joins the render's meter, or has one of its own.
        gfx::WorkMeter meter(workBudget());
        buildRefused_ = false;
        auto tree = newCALayerTree();
        layerTreeRefused_ = meter.spent() || buildRefused_;
        // Refused by its meter, it was that render's: the next render builds it again under its own. Refused
        // for its style matching (a count of the document's), it is the document's and kept.
        if (meter.spent()) return tree;
        CALayerTree_ = std::move(tree);
        if (DOMTree_) layerTreeViewport_ = DOMTree_->viewport();
    }
    return CALayerTree_;
}

std::shared_ptr<quartz::Layer> VellumImage::newCALayerTree() {
    if (!DOMTree_) return nullptr;
    return guarded<std::shared_ptr<quartz::Layer>>("newCALayerTree", [&]() -> std::shared_ptr<quartz::Layer> {
        auto tree = newLayerWithElement(DOMTree_);
        if (scale_ != 0 && tree) {
            vellumPlatformLog(
                "[%@] WARNING: because you specified an image.scale (you SHOULD be using SVG viewbox or <svg width> "
                "instead!), we are changing the .anchorPoint and the .affineTransform of the returned CALayerTree. "
                "Apple's own libraries are EXTREMELY BUGGY if you hand them layers that have these variables changed "
                "(some of Apple's libraries completely ignore them, this is a major Known Bug that Apple hasn't fixed "
                "in many years). Proceed at your own risk, and warned!",
                "VellumImage");
            const gfx::Point anchor = tree->anchorPoint();
            tree->setAnchorPoint({anchor.x / scale_, anchor.y / scale_});
            tree->setAffineTransform(gfx::AffineTransform::scale(scale_, scale_));
        }
        return tree;
    }, nullptr, parseErrorsAndWarnings_.get());
}

std::uint64_t VellumImage::workBudget() const {
    return parseErrorsAndWarnings_ ? parseErrorsAndWarnings_->workLeft() : gfx::WorkMeter::defaultBudget;
}

std::shared_ptr<quartz::Layer> VellumImage::newLayerWithElement(const std::shared_ptr<SVGElement>& element) {
    // A parse past its budget filed why; no build can give the document a picture.
    if (parseErrorsAndWarnings_ && parseErrorsAndWarnings_->workRefused()) {
        buildRefused_ = true;
        return quartz::Layer::make();
    }
    gfx::WorkMeter meter(workBudget());
    // What a build refuses (use rings, too deep, too many elements) joins the document's problems.
    return VellumLayerTree::newLayerWithElement(element, parseErrorsAndWarnings_.get(), &buildRefused_);
}

bool VellumImage::isElementVisible(const SVGElement& element) { return VellumLayerTree::isElementVisible(element); }

std::shared_ptr<quartz::Layer> VellumImage::layerWithIdentifier(std::string_view identifier) {
    auto tree = CALayerTree();
    return tree ? layerWithIdentifier(identifier, tree) : nullptr;
}

std::shared_ptr<quartz::Layer> VellumImage::layerWithIdentifier(std::string_view identifier,
                                                                const std::shared_ptr<quartz::Layer>& layer) {
    if (!layer) return nullptr;
    if (layer->value<std::string>("SVGElementIdentifier") == identifier) return layer;
    for (const auto& sublayer : layer->sublayers()) {
        if (auto found = layerWithIdentifier(identifier, sublayer)) return found;
    }
    return nullptr;
}

std::shared_ptr<quartz::Layer> VellumImage::newCopyPositionedAbsoluteLayerWithIdentifier(std::string_view identifier) {
    if (identifier.empty()) {
        vellumLogError(
            "Requested the layer with NIL identifier - your calling method is broken and should check its arguments "
            "more carefully");
        return nullptr;
    }
    auto layer = layerWithIdentifier(identifier);
    if (!layer) {
        vellumLogError(
            "[%@] ERROR: requested a clone of CALayer with id = %@, but there is no layer with that identifier in the "
            "parsed SVG layer stack",
            "VellumImage", identifier);
        return nullptr;
    }
    return newCopyPositionedAbsoluteOfLayer(*layer);
}

std::shared_ptr<quartz::Layer> VellumImage::newCopyPositionedAbsoluteOfLayer(const quartz::Layer& layer,
                                                                             bool withSubLayers) {
    auto clone = withSubLayers ? cloneRecursively(layer) : cloneShallow(layer);
    if (auto identifier = layer.value("SVGElementIdentifier"); identifier.has_value())
        clone->setValue("SVGElementIdentifier", identifier);
    auto superlayer = layer.superlayer();
    if (!superlayer) {
        vellumLogWarning("AWOOGA: layer %@ has no superlayer!", layer.name());
        return clone;
    }
    double dx = 0;
    double dy = 0;
    for (auto ancestor = superlayer; ancestor; ancestor = ancestor->superlayer()) {
        dx += ancestor->frame().origin.x;
        dy += ancestor->frame().origin.y;
        // A part of a drawing is drawn within the drawing's bound.
        if (!clone->workBound() && ancestor->workBound()) clone->setWorkBound(ancestor->workBound());
    }
    gfx::Rect frame = clone->frame();
    frame.origin.x += dx;
    frame.origin.y += dy;
    clone->setFrame(frame);
    return clone;
}

namespace {

void addLayerTree(const std::shared_ptr<quartz::Layer>& layer, std::map<std::string, std::shared_ptr<quartz::Layer>>& map) {
    for (const auto& sublayer : layer->sublayers()) {
        auto identifier = sublayer->value<std::string>("SVGElementIdentifier");
        if (!identifier) continue;
        map[*identifier] = sublayer;
        addLayerTree(sublayer, map);
    }
}

}  // namespace

std::map<std::string, std::shared_ptr<quartz::Layer>> VellumImage::dictionaryOfLayers() {
    std::map<std::string, std::shared_ptr<quartz::Layer>> map;
    auto tree = CALayerTree();
    if (!tree) return map;
    if (const auto& identifier = DOMTree_->identifier()) map[*identifier] = tree;
    addLayerTree(tree, map);
    return map;
}

}  // namespace vellum
