#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ImageProcessor.h"

// Where an SVG is shown: a box of `size` points on a screen of `scale` pixels a point.
struct SVGRenderTarget {
    gfx::Size size;
    double scale = 1;

    // Positive, finite size and scale; any other target draws the document at its own size.
    bool usable() const;
    friend bool operator==(const SVGRenderTarget&, const SVGRenderTarget&) = default;
};

// Renders SVG data to a bitmap image; null when the data is not an SVG document it can size. With a
// target the document is fitted inside the box, keeping its proportions, at the target's scale.
using SVGRenderer =
    std::function<std::shared_ptr<gfx::Image>(const foundation::Data&, const std::optional<SVGRenderTarget>&)>;

// How many SVG renders the process runs at once when it draws them itself. A document's own budget
// bounds what one render may hold (pictures, copies, gradient stops), so this bounds what all the flags in flight hold together:
// seven hostile flags cost what one does. The others wait for a slot, and each still draws the same
// pixels; a render ends at its document's first work bound, so none waits longer than that bound. The
// image library's processing lanes are the threads that wait.
inline constexpr std::size_t maximumConcurrentSVGRenders = 1;

// Installed by the SVG library; until then (or after setting null) no SVG data becomes an image. `prepare`,
// when given, readies the renderer for its first document without waiting (prepareSVGRenderer).
// `concurrentRenders` is how many documents it is given at once (maximumConcurrentSVGRenders for one that
// draws in this process).
void setSVGRenderer(SVGRenderer renderer, std::function<void()> prepare = nullptr,
                    std::size_t concurrentRenders = maximumConcurrentSVGRenders);

// Tells the renderer a document is on its way (a row has asked for its flag), so that what it needs before
// its first document (the flag worker) is made ready meanwhile. Cheap; returns at once.
void prepareSVGRenderer();

// The SVG library as a renderer, in this process: the document drawn into the target's box, or at its own
// size at the screen's scale without one; a document that reaches one of the library's work bounds
// (vellum::WorkBoundWatch: the parser's limits, the matching budget, the render's work meter) gives no
// image, its render ending there. The app's flag worker draws with this (shell/SVGWorker.h); the app's own
// process never does.
std::shared_ptr<gfx::Image> renderWithSVGLibrary(const foundation::Data& data, const std::optional<SVGRenderTarget>& target);

// Installs renderWithSVGLibrary as the renderer (after initialising the library): for the tools, tests and
// benchmarks that draw in their own process.
void installSVGLibraryRenderer();

// The flags' processor: SVG bytes become a bitmap through the SVG renderer. Bitmap formats are not
// tried, so PNG or JPEG bytes give no image.
class SVGImgProcessor final : public pictura::ImageProcessor {
public:
    SVGImgProcessor() = default;
    // Draws every document into `target`'s box. The identifier names the box and scale, so the caches
    // keep one entry per size shown (an unusable target is ignored).
    explicit SVGImgProcessor(SVGRenderTarget target);

    const std::optional<SVGRenderTarget>& target() const { return target_; }
    std::string identifier() const override { return identifier_; }
    // Every flag is cached under this identifier; changing it orphans the entries stored under the old one.
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    std::shared_ptr<gfx::Image> process(const pictura::ImageProcessItem& item,
                                        const pictura::PicturaParsedOptionsInfo& options) const override;

private:
    std::string identifier_ = "com.appidentifier.webpprocessor";
    std::optional<SVGRenderTarget> target_;
};
