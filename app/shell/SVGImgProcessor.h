#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ImageProcessor.h"

// Renders SVG data to a bitmap image; null when the data is not an SVG document it can size.
using SVGRenderer = std::function<std::shared_ptr<gfx::Image>(const foundation::Data&)>;

// Installed by the SVG library; until then (or after setting null) no SVG data becomes an image.
void setSVGRenderer(SVGRenderer renderer);
// Installs the SVG library as the renderer: the document drawn at its own size at the screen's scale.
// The app's start-up does this.
void installSVGLibraryRenderer();

// The flags' processor: SVG bytes become a bitmap through the SVG renderer. Bitmap formats are not
// tried, so PNG or JPEG bytes give no image.
class SVGImgProcessor final : public pictura::ImageProcessor {
public:
    std::string identifier() const override { return identifier_; }
    // Every flag is cached under this identifier; changing it orphans the entries stored under the old one.
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    std::shared_ptr<gfx::Image> process(const pictura::ImageProcessItem& item,
                                        const pictura::PicturaParsedOptionsInfo& options) const override;

private:
    std::string identifier_ = "com.appidentifier.webpprocessor";
};
