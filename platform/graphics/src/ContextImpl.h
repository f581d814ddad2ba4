#pragma once

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ScanConverter.h"
#include "gfx/Context.h"
#include "gfx/WorkMeter.h"

namespace gfx {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePointer = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using SharedSurface = std::shared_ptr<cairo_surface_t>;

struct PatternDeleter {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using PatternPointer = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

// A pattern that paints `bitmap` into `rect` of user space, its edge pixels padded outward (callers
// clip to the rectangle). The bitmap must have a valid layout and outlive the pattern.
PatternPointer bitmapPattern(const Bitmap& bitmap, const Rect& rect, BitmapPlacement placement,
                             InterpolationQuality quality);

// State that Cairo does not keep for us; Cairo's own state (transform, clip, line style) is saved alongside.
struct DrawingState {
    Color fill = Color::black();
    Color stroke = Color::black();
    double alpha = 1;
    BlendMode blend = BlendMode::normal;
    InterpolationQuality interpolation = InterpolationQuality::standard;
    // Alpha mask from clipToMask, shared between saved states (never written after creation), over the device
    // pixels from (maskX, maskY): outside it nothing shows.
    SharedSurface mask;
    int maskX = 0;
    int maskY = 0;
    // The clip's box in whole device pixels while we know the clip's shape (rectangles on pixel edges
    // and paths we could draw as masks); nothing once any other clip was set.
    std::optional<raster::PixelBox> clipBox;
    // Within clipBox, the coverage of the clip paths set since, when there were any.
    std::shared_ptr<const raster::Mask> clipMask;
    // A union's coverage (clipToUnion) that Cairo's clip holds only by its box: clipMask holds it for the converter,
    // and what Cairo draws is brought through it as through a mask.
    std::shared_ptr<const raster::Mask> coverageClip;
    // User space to device pixels, kept here as Cairo computes it: our converter draws with it, and Cairo
    // is handed the saves and transforms only when it is to draw or its state is to change.
    AffineTransform transform;
    // The line style, tolerance and antialiasing, as Cairo takes them; Cairo is handed them with the rest.
    struct Style {
        double lineWidth = 1;
        cairo_line_cap_t cap = CAIRO_LINE_CAP_BUTT;
        cairo_line_join_t join = CAIRO_LINE_JOIN_MITER;
        double miterLimit = 10;
        std::vector<double> dashes;  // none: solid
        double dashPhase = 0;
        double tolerance = 0.1;
        cairo_antialias_t antialias = CAIRO_ANTIALIAS_DEFAULT;
    } style;
    // The shape gradients paint instead of the whole clip (Context::setGradientShape): filled by `rule`, or
    // stroked with `line` when `stroked`, its points taken to the device by `toDevice`.
    struct GradientShape {
        std::shared_ptr<const Path> path;
        AffineTransform toDevice;
        bool stroked = false;
        FillRule rule = FillRule::winding;
        Style line;
    };
    std::shared_ptr<const GradientShape> gradientShape;
};

// Memory held against the work meter until the scope ends.
struct HeldBytes {
    double bytes = 0;
    HeldBytes() = default;
    HeldBytes(const HeldBytes&) = delete;
    HeldBytes& operator=(const HeldBytes&) = delete;
    ~HeldBytes();
};

// A surface of Cairo's own, its bytes held against the meter while it lives; nothing when the meter refuses them.
SharedSurface heldSurface(cairo_format_t format, int width, int height);

// The converter's stroke of a line style (its width, joins, caps and dashes).
raster::StrokeStyle strokeStyle(const DrawingState::Style& style);

struct Context::Impl {
    Context::Options options;
    int width = 0;
    int height = 0;
    Bitmap pixels;                       // argb32 and rgb24
    std::vector<unsigned char> coverage;  // alphaOnly
    int coverageStride = 0;
    SurfacePointer surface;
    // Anything that changes Cairo's state or draws through it takes synced() first.
    cairo_t* cairo = nullptr;
    DrawingState state;
    std::vector<DrawingState> savedStates;
    // The saves (nothing) and transforms made since Cairo last saw the state, in order: a save and a
    // transform undone before anything reached Cairo never cost it a call. Cairo's matrix is made by
    // the same calls, so it comes out bit for bit as state.transform.
    std::vector<std::optional<AffineTransform>> unsentSteps;
    // A new canvas is not zeroed: row y holds real pixels in columns [0, writtenTo[y]) and blank ones
    // after them (zero: transparent, and black for rgb24, whose fourth byte Cairo ignores), written
    // only before something draws or reads there, so what is first painted over opaquely is written
    // once. Nothing once all are written.
    std::vector<int> writtenTo;
    int rowsWithBlanks = 0;
    // What the pixels hold against the work meter running when the context was made, given back when it closes.
    double heldBytes = 0;

    ~Impl();
    // Cairo with every unsent save and transform applied, and the state's style.
    cairo_t* synced();
    void save();
    void restore();
    void concatenate(const AffineTransform& transform);
    // Strokes need the path in user space (the line width is there); fills and clips take it in device space.
    enum class PathSpace { user, device };
    void appendPath(const Path& path, PathSpace space);
    // The path's points taken to the device by `toDevice`, with Cairo's matrix the identity meanwhile.
    void appendPath(const Path& path, const AffineTransform& toDevice);
    // The path's points, each taken by `toDevice` when given, as Cairo's new path.
    void tracePath(const Path& path, const AffineTransform* toDevice);
    // Normal blending without a mask clip: drawing needs no group or saved state around it.
    bool drawsPlainly() const;
    void setSourceColor(Color color);
    // The colour at the state's alpha as the converter's pixel, as setSourceColor hands it to Cairo.
    std::uint32_t sourcePixel(Color color) const;
    // Fills with our own scan converter when that draws what Cairo would (plain Over of a solid colour
    // into an argb32 surface, antialiased, clipped to whole pixels at most); false leaves it to Cairo.
    // `toDevice` takes the path's points to device pixels: the state's transform, or a placement before it.
    bool fillDirectly(const Path& path, FillRule rule, const AffineTransform& toDevice);
    // The device pixels drawing may reach now: the clip's box, else the whole canvas.
    raster::PixelBox reachable() const;
    // Charges the running work meter for drawing `path` through `toDevice` (stroked with the state's line
    // when `stroked`, or as the clip when `clipped`); false when the meter refuses, and nothing is to be drawn.
    bool admit(const Path& path, const AffineTransform& toDevice, bool stroked, bool clipped = false);
    // Charges it for what Cairo pays beyond that when it fills or strokes `path` in the state's transform: crowded
    // edges' pairs, and every dash of a dashed stroke.
    bool admitToCairo(const Path& path, bool stroked);
    // Whether a stroke is drawn as a solid hairline: thinner than a pixel on the device, and undashed.
    bool strokesHairline(double stretch) const;
    // Charges it for `pixels` device pixels composited (or masked) and `units` more.
    bool admitPixels(double pixels, double units);
    // Charges it for painting the gradient shape, `unitsAPixel` for each pixel it may cover, `walkedUnits` more for
    // each within `walked`, and `units` more.
    bool admitGradientShape(const DrawingState::GradientShape& shape, double unitsAPixel, double units,
                            double walkedUnits, const raster::PixelBox& walked);
    // Strokes thinner than a device pixel as hairlines.
    bool strokeDirectly(const Path& path, const AffineTransform& toDevice);
    // The pixels when the converter may draw on them (flushed for it), else nothing.
    std::optional<raster::Target> directTarget();
    void markDrawn(const raster::PixelBox& box);
    // Writes the blank pixels that drawing within `area` may read or leave showing: in each of its
    // rows all up to its right side (written pixels stay a prefix), except the columns of `covered`
    // in its rows (within `mask`'s whole coverage), which the drawing writes opaquely without reading.
    void writeBlanks(const raster::PixelBox& area, const raster::PixelBox& covered = {},
                     const raster::Mask* mask = nullptr);
    // Before Cairo draws: what its clip lets it reach.
    void writeBlanksInClip();
    // Before the converter fills `path` in `source` (its pixel) into `target`.
    void writeBlanksBeforeFill(const Path& path, const AffineTransform& toDevice, std::uint32_t source,
                               const raster::Target& target);
    // Before the pixels are read or handed out.
    void writeAllBlanks() { writeBlanks({0, 0, width, height}); }
    // Paints `pattern` (its extend set) Over through our own clip mask, the clip box bounding it in Cairo,
    // when drawing is plain and the mask is one our fills would draw through: Cairo then never makes a
    // mask of the clip path itself. False leaves the drawing to Cairo's clip.
    // In bands, as drawInBands cuts them.
    bool paintThroughClipMask(cairo_pattern_t* pattern, double unitsAPixel = 0, double costAPixel = 0);
    // Draws with the state's blend mode and mask clip. `paint` draws with whatever operator is set;
    // `clipToDrawnArea` clips to the area the drawing covers, which bounds Cairo's unbounded operators.
    void composite(const std::function<void()>& paint, const std::function<void()>& clipToDrawnArea);
    // Cairo's drawing within `area` (device pixels) cut into bands of rows, each clipped to its band and charged
    // `unitsAPixel` a pixel before it is drawn, none costing more than WorkMeter::aBand at `costAPixel`: no call into
    // Cairo runs long between charges. One band draws unclipped. False, the rest undrawn, once a charge is refused.
    // (Templates: a paint of one band, the most common, costs a call.)
    template <typename Draw>
    bool drawInBands(const raster::PixelBox& area, double unitsAPixel, double costAPixel, const Draw& draw);
    // The bands alone, each [top, bottom) handed to `band` once charged.
    template <typename Band>
    bool forEachBand(const raster::PixelBox& area, double unitsAPixel, double costAPixel, const Band& band);
    // Charges and holds what Cairo's pen lays stroking `path` through `toDevice` with `line`: the points of its round
    // joins and caps, thousands a turn for a wide enough line. False, nothing held, when the meter refuses; else
    // `held` takes the bytes to give back once Cairo has drawn.
    bool admitPen(const Path& path, const AffineTransform& toDevice, const DrawingState::Style& line, double& held);
    // The mask Cairo's drawing goes through: clipToMask's, else a union's coverage as an A8 surface (its device
    // origin in `x`, `y`); none without either.
    SharedSurface cairoMask(int& x, int& y) const;
};

template <typename Band>
bool Context::Impl::forEachBand(const raster::PixelBox& area, double unitsAPixel, double costAPixel, const Band& band) {
    if (area.isEmpty()) return true;
    const double width = double(area.right) - double(area.left), rows = double(area.bottom) - double(area.top);
    const double rowCost = width * std::max(costAPixel, unitsAPixel);
    const int bandRows = int(rowCost > 0 ? std::clamp(std::floor(WorkMeter::aBand / rowCost), 1.0, rows) : rows);
    for (int top = area.top; top < area.bottom;) {
        const int bottom = top + std::min(bandRows, area.bottom - top);
        if (!WorkMeter::charge(width * (bottom - top) * unitsAPixel)) return false;
        band(top, bottom);
        top = bottom;
    }
    return true;
}

template <typename Draw>
bool Context::Impl::drawInBands(const raster::PixelBox& area, double unitsAPixel, double costAPixel, const Draw& draw) {
    return forEachBand(area, unitsAPixel, costAPixel, [&](int top, int bottom) {
        if (top == area.top && bottom == area.bottom) return draw();
        cairo_save(cairo);
        cairo_matrix_t matrix;
        cairo_get_matrix(cairo, &matrix);
        cairo_identity_matrix(cairo);
        cairo_new_path(cairo);
        cairo_rectangle(cairo, area.left, top, double(area.right) - double(area.left), bottom - top);
        cairo_clip(cairo);
        cairo_set_matrix(cairo, &matrix);
        draw();
        cairo_restore(cairo);
    });
}

}  // namespace gfx
