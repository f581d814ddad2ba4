#pragma once

#include <memory>
#include <optional>
#include <span>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Gradient.h"
#include "gfx/Path.h"

namespace gfx {

// The platform's blend modes with their raw values (processors store the raw value).
enum class BlendMode {
    normal = 0,
    multiply,
    screen,
    overlay,
    darken,
    lighten,
    colorDodge,
    colorBurn,
    softLight,
    hardLight,
    difference,
    exclusion,
    hue,
    saturation,
    color,
    luminosity,
    clear,
    copy,
    sourceIn,
    sourceOut,
    sourceAtop,
    destinationOver,
    destinationIn,
    destinationOut,
    destinationAtop,
    exclusiveOr,
    plusDarker,
    plusLighter,
};
std::optional<BlendMode> blendModeFromRawValue(int rawValue);

enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };
// Raw values as the platform's.
enum class InterpolationQuality { standard = 0, none = 1, low = 2, high = 3, medium = 4 };

enum class PixelFormat {
    argb32,     // premultiplied colour with alpha
    rgb24,      // opaque: images made from it have alpha 255
    alphaOnly,  // coverage only: images made from it are black with that alpha
};

// Where the context's default coordinate space has its origin. UIKit-style contexts (the image renderer)
// use topLeft with y growing down; plain bitmap contexts of the platform use bottomLeft with y up.
enum class Origin { topLeft, bottomLeft };

// Where a bitmap's first row lands when drawn into a rectangle. The platform's bitmap drawing puts it at
// the rectangle's maximum y (upright in a bottomLeft context, so a topLeft context must be flipped
// first); image drawing at the view level puts it at the minimum y (upright in a topLeft context).
enum class BitmapPlacement { firstRowAtMaxY, firstRowAtMinY };

// A shape of a clip to a union (Context::clipToUnion): its path placed by `placement` before the transform.
struct ClipShape {
    const Path* path = nullptr;
    FillRule rule = FillRule::winding;
    AffineTransform placement;
};

// A drawing context over a Cairo image surface, in points: the context maps points to pixels by its
// scale and origin. Drawing state (colours, alpha, blend mode, line style, transform, clip) is saved
// and restored as a stack. Porter-Duff modes affect only the drawn shape's area, as on the platform.
class Context {
public:
    struct Options {
        double scale = 1;
        PixelFormat format = PixelFormat::argb32;
        Origin origin = Origin::topLeft;
    };

    // Nothing when the size is not positive or exceeds maximumPixelCount. Pixels start transparent
    // (black for rgb24).
    static std::shared_ptr<Context> create(int pixelWidth, int pixelHeight, Options options);
    // Pixel size is the point size times the scale, rounded up.
    static std::shared_ptr<Context> create(Size pointSize, Options options);
    // Starts from a copy of `bitmap`'s pixels (argb32 only).
    static std::shared_ptr<Context> create(const Bitmap& bitmap, Options options);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    int pixelWidth() const;
    int pixelHeight() const;
    double scale() const;
    Size size() const;
    PixelFormat format() const;
    Origin origin() const;
    // A copy of the pixels as they are now.
    Bitmap makeImage() const;
    // The pixels as makeImage gives them, moved out instead of copied, for a context that is done
    // with: whatever is drawn on it afterwards goes nowhere.
    Bitmap takeImage();

    void save();
    // Unbalanced restores are ignored.
    void restore();

    void translateBy(double x, double y);
    void scaleBy(double sx, double sy);
    void rotateBy(double radians);
    // The new transform maps a point through `transform` first, then through the current one. A transform
    // that is not usable (below) is ignored.
    void concatenate(const AffineTransform& transform);
    // Invertible with finite terms: Cairo stops drawing for good after any other.
    static bool isUsableTransform(const AffineTransform& transform);
    // User space to the context's default point space.
    AffineTransform currentTransform() const;
    // User space to pixels (origin at the top-left pixel corner).
    AffineTransform deviceTransform() const;

    void clip(const Path& path, FillRule rule = FillRule::winding);
    void clip(const Rect& rect);
    // Later drawing is masked by `mask`'s alpha drawn into `rect` (like a bitmap, see BitmapPlacement);
    // outside the rect everything is clipped away.
    void clipToMask(const Rect& rect, const Bitmap& mask, BitmapPlacement placement = BitmapPlacement::firstRowAtMaxY);
    // Later drawing is masked by the union of `shapes` filled opaquely, as a mask drawn of them apart would mask
    // it, its coverage kept only over the pixels they reach. False, with nothing changed, where this context
    // cannot keep that coverage (alpha-only or aliased, under a clip of a shape it does not know, shapes the
    // converter leaves to Cairo): the caller draws the mask apart.
    bool clipToUnion(std::span<const ClipShape> shapes);
    // In user space; ignores mask clips' content.
    Rect clipBoundingBox() const;

    void setFillColor(Color color);
    void setStrokeColor(Color color);
    // Multiplies everything drawn.
    void setAlpha(double alpha);
    void setBlendMode(BlendMode mode);
    void setShouldAntialias(bool antialias);
    void setInterpolationQuality(InterpolationQuality quality);
    // The platform's flatness (larger is coarser); 1 is a fine default for curves.
    void setFlatness(double flatness);
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setMiterLimit(double limit);
    // No lengths (or all zero) draws solid lines.
    void setLineDash(double phase, std::span<const double> lengths);

    Color fillColor() const;
    Color strokeColor() const;
    double alpha() const;
    BlendMode blendMode() const;

    void fill(const Path& path, FillRule rule = FillRule::winding);
    void stroke(const Path& path);
    // The path placed by `placement` before the current transform, drawn as a save, a concatenation, the
    // fill (or stroke) and a restore would draw it, without copying the drawing state for the common case.
    // The stroke's width and dashes are the state's, in the placed space.
    void fill(const Path& path, FillRule rule, const AffineTransform& placement);
    void stroke(const Path& path, const AffineTransform& placement);
    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    // Makes the rectangle transparent, whatever the blend mode and alpha (still clipped).
    void clearRect(const Rect& rect);
    void drawBitmap(const Bitmap& bitmap, const Rect& rect, BitmapPlacement placement = BitmapPlacement::firstRowAtMaxY);
    // Gradients paint the whole clip area between (and, by options, beyond) their ends, or only the gradient shape.
    // That shape is `path` placed by `placement` before the current transform and filled by `rule`, or when
    // `stroked` stroked with the line style set now (its width and dashes in the placed space): gradients drawn
    // after this paint it as filling or stroking it with them in place of a colour would, and cost what it covers.
    // It holds until the state is restored; other drawing does not see it.
    void setGradientShape(std::shared_ptr<const Path> path, const AffineTransform& placement, bool stroked,
                          FillRule rule = FillRule::winding);
    void drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options);
    void drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
                            double endRadius, unsigned options);

    struct Impl;

private:
    // Text drawing renders through the same Cairo context and drawing state.
    friend struct ContextAccess;
    explicit Context(std::unique_ptr<Impl> impl);
    // A gradient shape that is a fill covering most of its box (a rectangle on the device wholly) becomes a clip in
    // a saved state (true; the caller draws and restores): Cairo paints a gradient through it quickest.
    bool clipToGradientFill();
    // Drawing the work meter has admitted.
    void fillAdmitted(const Path& path, FillRule rule);
    void strokeAdmitted(const Path& path);
    std::unique_ptr<Impl> impl_;
};

}  // namespace gfx
