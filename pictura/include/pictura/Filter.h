#pragma once

#include <functional>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "pictura/ImageProcessor.h"

namespace pictura {

// A colour operation from one picture to another, applied to images with `pc(image).apply(filter)`.
// Its transform answers null when it cannot produce an output.
class Filter {
public:
    using Transform = std::function<std::shared_ptr<const gfx::Bitmap>(const std::shared_ptr<const gfx::Bitmap>&)>;
    using TintFactory = std::function<Filter(gfx::Color)>;
    using ColorControlFactory =
        std::function<Filter(double brightness, double contrast, double saturation, double inputEV)>;

    explicit Filter(Transform transform) : transform(std::move(transform)) {}

    // What every later tint and adjustment of the process uses (the processors' too). Replaceable;
    // reads and writes are safe from any thread.
    static TintFactory tint();
    static void setTint(TintFactory factory);
    static ColorControlFactory colorControl();
    static void setColorControl(ColorControlFactory factory);

    // The factories the process starts with: the colour laid over the picture with its own alpha;
    // colour controls followed by an exposure adjustment.
    static Filter makeTint(gfx::Color color);
    static Filter makeColorControl(double brightness, double contrast, double saturation, double inputEV);

    Transform transform;
};

// A processor made of a filter: an image is filtered as it is; data is first decoded by the default
// processor.
class CIImageProcessor : public ImageProcessor {
public:
    virtual Filter filter() const = 0;
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item,
                                        const PicturaParsedOptionsInfo& options) const override;
};

}  // namespace pictura
