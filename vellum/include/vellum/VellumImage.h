#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"
#include "quartz/Layer.h"
#include "vellum/SVGRect.h"

namespace gfx {
class Image;
}

namespace vellum {

class SVGDocument;
class SVGElement;
class SVGSVGElement;
class VellumParseResult;
class VellumParser;
class VellumSource;

// One parsed SVG document with the layer tree that draws it, built on first use and dropped whenever
// the size, the scale or the root's viewport change. Creation answers null when the input gives no
// document. Images asked for by name (and those parsed in the background) are kept in a process-wide
// cache, emptied on the application's memory warning and when it enters the background.
//
// Misuse and documents without a size are reported through the log and answered with nothing (or an
// empty value), since a document can reach most of them. Only the unsupported drawing helpers and
// animated-image class methods raise (the assertion handler's "Method unsupported" failure): code, not a
// document, calls them.
class VellumImage : public std::enable_shared_from_this<VellumImage> {
public:
    using Completion = std::function<void(std::shared_ptr<VellumImage>, std::shared_ptr<VellumParseResult>)>;

    // Creation. Each answers null when there is no document (the reason is in the log).
    static std::shared_ptr<VellumImage> initWithParsedSVG(std::shared_ptr<VellumParseResult> result,
                                                          std::shared_ptr<VellumSource> source);
    static std::shared_ptr<VellumImage> initWithSource(std::shared_ptr<VellumSource> source);
    static std::shared_ptr<VellumImage> initWithContentsOfFile(const std::filesystem::path& path);
    static std::shared_ptr<VellumImage> initWithContentsOfURL(const foundation::URL& url);
    // Bytes without a location: image links in them may not reach files (see SVGImageElement).
    static std::shared_ptr<VellumImage> initWithData(const foundation::Data& data);
    // The same under the class-wide creation lock.
    static std::shared_ptr<VellumImage> imageWithSource(std::shared_ptr<VellumSource> source);
    static std::shared_ptr<VellumImage> imageWithData(const foundation::Data& data);
    static std::shared_ptr<VellumImage> imageWithContentsOfURL(const foundation::URL& url);
    static std::shared_ptr<VellumImage> imageWithContentsOfFile(const std::filesystem::path& path);

    // The name cache: the same object for the same key until the cache is cleared. The key is
    // `cacheKey` when not empty, else the name. The bundle is the program's folder unless given.
    static std::shared_ptr<VellumImage> imageNamed(std::string_view name, std::string_view cacheKey = {});
    static std::shared_ptr<VellumImage> imageNamed(std::string_view name,
                                                   const std::optional<std::filesystem::path>& bundle,
                                                   std::string_view cacheKey = {});
    // Cached under the source's key (a source without key is parsed but not cached). A hit calls the
    // completion at once on the calling thread and answers null; a miss answers the parser, which
    // runs on a background queue and calls the completion there.
    static std::shared_ptr<VellumParser> imageWithSource(std::shared_ptr<VellumSource> source, Completion completion);
    static std::shared_ptr<VellumParser> imageAsynchronouslyNamed(std::string_view name, Completion completion);
    static std::shared_ptr<VellumParser> imageParserWithContentsOfFileAsynchronously(const std::filesystem::path& path,
                                                                                     Completion completion);
    static std::shared_ptr<VellumParser> imageParserWithDataAsynchronously(const foundation::Data& data,
                                                                           Completion completion);
    // Wait for the background parse; never call them from that queue.
    static std::shared_ptr<VellumImage> imageWithContentsOfFileAsynchronously(const std::filesystem::path& path);
    static std::shared_ptr<VellumImage> imageWithDataAsynchronously(const foundation::Data& data);

    // Registers for the application's notifications (memory warning, background, becoming active). Runs
    // once, on the first creation at the latest; a program calls it at start-up so that the screen's scale
    // is known from the first activation on.
    static void initialize();
    static void clearCache();
    // How often a cached image was handed out again; nothing when the key is not cached.
    static std::optional<int> numberOfCachedInstances(std::string_view cacheKey);

    ~VellumImage();
    VellumImage(const VellumImage&) = delete;
    VellumImage& operator=(const VellumImage&) = delete;

    // Size: the explicit size, else the root's viewport, else its view box. Without any of them
    // `size` reports and answers (0, 0).
    bool hasSize() const;
    gfx::Size size() const;
    void setSize(gfx::Size size);
    // Calls `observer` after each setSize (scaleToFitInside's too), on the thread that set it, for as
    // long as the returned token is held.
    [[nodiscard]] std::shared_ptr<void> observeSize(std::function<void()> observer);
    // Only for documents without a view box (which scale by size instead); 0 means none.
    double scale() const { return scale_; }
    void setScale(double scale);
    // Scales the size by one factor so that the image fits inside `size`, keeping its proportions.
    void scaleToFitInside(gfx::Size size);

    // The image drawn at the main screen's scale (see VellumExporter.h); null without a size.
    std::shared_ptr<gfx::Image> UIImage();

    // Unsupported: each fails the assertion handler with "Method unsupported / not yet implemented by
    // Vellum" (draw through VellumImageDrawing, VellumExporter.h, instead).
    void drawAtPoint(gfx::Point point);
    void drawAtPoint(gfx::Point point, gfx::BlendMode blendMode, double alpha);
    void drawInRect(gfx::Rect rect);
    void drawInRect(gfx::Rect rect, gfx::BlendMode blendMode, double alpha);
    void drawAsPatternInRect(gfx::Rect rect);
    static std::shared_ptr<VellumImage> animatedImageNamed(std::string_view name, double duration);
    static std::shared_ptr<VellumImage> animatedResizableImageNamed(std::string_view name, gfx::EdgeInsets capInsets,
                                                                    double duration);
    static std::shared_ptr<VellumImage> animatedImageWithImages(const std::vector<std::shared_ptr<gfx::Image>>& images,
                                                                double duration);

    // The layer tree (built on demand) and lookups in it by element identifier.
    std::shared_ptr<quartz::Layer> CALayerTree();
    std::shared_ptr<quartz::Layer> newCALayerTree();
    std::shared_ptr<quartz::Layer> newLayerWithElement(const std::shared_ptr<SVGElement>& element);
    std::shared_ptr<quartz::Layer> layerWithIdentifier(std::string_view identifier);
    static std::shared_ptr<quartz::Layer> layerWithIdentifier(std::string_view identifier,
                                                              const std::shared_ptr<quartz::Layer>& layer);
    // A copy placed in the root's coordinates (its ancestors' origins added).
    std::shared_ptr<quartz::Layer> newCopyPositionedAbsoluteLayerWithIdentifier(std::string_view identifier);
    static std::shared_ptr<quartz::Layer> newCopyPositionedAbsoluteOfLayer(const quartz::Layer& layer,
                                                                           bool withSubLayers = false);
    std::map<std::string, std::shared_ptr<quartz::Layer>> dictionaryOfLayers();
    static bool isElementVisible(const SVGElement& element);

    bool cameFromGlobalCache() const { return cameFromGlobalCache_; }
    const std::shared_ptr<SVGDocument>& DOMDocument() const { return DOMDocument_; }
    const std::shared_ptr<SVGSVGElement>& DOMTree() const { return DOMTree_; }
    const std::shared_ptr<VellumSource>& source() const { return source_; }
    const std::shared_ptr<VellumParseResult>& parseErrorsAndWarnings() const { return parseErrorsAndWarnings_; }
    const std::string& nameUsedToInstantiate() const { return nameUsedToInstantiate_; }
    // Whether the layer tree's build was refused (its work meter or its style matching spent, or the parse
    // past its own): the tree draws no picture.
    bool layerTreeRefused() const { return layerTreeRefused_; }
    // What a render of the image opening its own gfx::WorkMeter may do: the default budget less what the
    // parse took, since parse, build and drawing are one render's work.
    std::uint64_t workBudget() const;

private:
    VellumImage() = default;
    static std::shared_ptr<VellumImage> cachedOrNull(const std::string& key);
    // The image cached under the key from now on (an earlier one when two parses raced).
    static std::shared_ptr<VellumImage> storeInCache(const std::string& key, const std::shared_ptr<VellumImage>& image);
    void dropLayerTree() { CALayerTree_.reset(); }

    bool cameFromGlobalCache_ = false;
    std::shared_ptr<SVGDocument> DOMDocument_;
    std::shared_ptr<SVGSVGElement> DOMTree_;
    std::shared_ptr<quartz::Layer> CALayerTree_;
    // The root's viewport the tree was built for: a different one means the tree is stale.
    SVGRect layerTreeViewport_ = SVGRectUninitialized();
    bool layerTreeRefused_ = false;
    bool buildRefused_ = false;
    double scale_ = 0;
    std::shared_ptr<VellumSource> source_;
    std::shared_ptr<VellumParseResult> parseErrorsAndWarnings_;
    std::string nameUsedToInstantiate_;
    gfx::Size internalSizeThatWasSetExplicitlyByUser_{0, 0};
    std::vector<std::weak_ptr<std::function<void()>>> sizeObservers_;
};

}  // namespace vellum
