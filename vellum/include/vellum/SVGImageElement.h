#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGRect.h"
#include "vellum/SVGSVGElement.h"

namespace vellum {

// The "image" element: a bitmap or a nested SVG document from its link, shown in its box and fitted
// by its preserveAspectRatio. What it may load, since a document is untrusted input:
// - "data:" links always;
// - "http:"/"https:" links only through a loader the program installs (none by default: no document
//   makes the program reach the network on its own);
// - other links only relative to a document that came from a file or a URL, never for documents made
//   from bytes or text (they have no place of their own, and a link must not reach the machine's files);
// - nested SVG documents at most `maximumNestingDepth` deep and never one that is already being
//   drawn (a document showing itself);
// - pictures of at most `maximumPicturePixelCount` pixels, linked files of `maximumLinkedFileBytes`;
// - while a layer build runs (a PictureScope), each link once: every element and copy showing it shares
//   that picture, and the pictures of the build together hold at most `maximumDocumentPicturePixelCount`
//   pixels (so copies of copies cannot multiply what one picture costs).
// Whatever cannot be loaded shows the broken-image picture; loading never stops the drawing.
class SVGImageElement : public SVGElement,
                        public SVGTransformable,
                        public SVGStylable,
                        public SVGFitToViewBox,
                        public ConverterSVGToCALayer {
public:
    using RemoteLoader = std::function<std::optional<foundation::Data>(const foundation::URL&)>;
    static constexpr int maximumNestingDepth = 4;
    static constexpr std::int64_t maximumPicturePixelCount = 4096LL * 4096;
    static constexpr std::size_t maximumLinkedFileBytes = 32u * 1024 * 1024;
    static constexpr std::int64_t maximumDocumentPicturePixelCount = maximumPicturePixelCount;

    // Pictures loaded while one is alive on this thread are shared as above; scopes nest (a nested
    // document's build has its own).
    class PictureScope {
    public:
        PictureScope();
        ~PictureScope();
        PictureScope(const PictureScope&) = delete;
        PictureScope& operator=(const PictureScope&) = delete;

        struct Store;

    private:
        Store* previous_;
        std::unique_ptr<Store> store_;
    };

    using SVGElement::SVGElement;

    // Null turns remote links off again. Called on whatever thread builds the layers.
    static void setRemoteImageLoader(RemoteLoader loader);

    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    void layoutLayer(quartz::Layer&) override {}

    // `frame` narrowed by `ratio` on the side the alignment says (above 1 the width, else the height).
    gfx::Rect clipFrame(gfx::Rect frame, double ratio) const;
    // 0 when the height is 0.
    double aspectRatioFromWidthPerHeight() const;
    double aspectRatioFromViewBox() const;

    double x() const { return x_; }
    double y() const { return y_; }
    double width() const { return width_; }
    double height() const { return height_; }
    const std::string& href() const { return href_; }
    void setHref(std::string href) { href_ = std::move(href); }
    SVGRect viewBox() const { return viewBox_; }
    void setViewBox(SVGRect viewBox) { viewBox_ = viewBox; }

private:
    struct Picture;
    Picture loadPicture(std::int64_t allowedPixels);
    Picture sharedPicture(PictureScope::Store& store);

    double x_ = 0;
    double y_ = 0;
    double width_ = 0;
    double height_ = 0;
    std::string href_;
    SVGRect viewBox_ = SVGRectUninitialized();
};

}  // namespace vellum
