#include "LayerPainting.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <typeinfo>
#include <vector>

#include "Offscreen.h"
#include "quartz/GradientLayer.h"
#include "quartz/ShapeLayer.h"
#include "gfx/WorkMeter.h"
#include "gfx/BoxBlur.h"
#include "quartz/Renderer.h"

namespace quartz {

namespace {

bool isInvertible(const gfx::AffineTransform& t) {
    double determinant = t.a * t.d - t.b * t.c;
    return determinant != 0 && std::isfinite(determinant);
}

bool hasShadow(const Layer& layer) {
    auto color = layer.shadowColor();
    return layer.shadowOpacity() > 0 && color && color->alpha > 0;
}

bool hasVisibleBackground(const Layer& layer) {
    auto color = layer.backgroundColor();
    return color && color->alpha > 0;
}

bool hasVisibleBorder(const Layer& layer) {
    auto color = layer.borderColor();
    return layer.borderWidth() > 0 && color && color->alpha > 0;
}

// Whether the layer paints anything besides its own drawing and its sublayers.
bool paintsDecoration(const Layer& layer) {
    return hasVisibleBackground(layer) || layer.contents() || hasVisibleBorder(layer) || hasShadow(layer);
}

double shadowReach(const Layer& layer) {
    gfx::Size offset = layer.shadowOffset();
    return std::abs(offset.width) + std::abs(offset.height) + 3 * std::max(layer.shadowRadius(), 0.0);
}

// Three box blurs approach a Gaussian of the given deviation (in pixels).
gfx::Bitmap gaussianBlur(gfx::Bitmap bitmap, double deviation) {
    if (deviation < 0.5) return bitmap;
    int width = int(std::lround(std::sqrt(4 * deviation * deviation + 1)));
    for (int pass = 0; pass < 3; ++pass) bitmap = gfx::boxBlur(bitmap, width | 1, width | 1);
    return bitmap;
}

// The shadow's picture: `source`'s alpha in the shadow colour, widened by `margin` pixels a side, blurred.
DeviceBitmap shadowImage(const DeviceBitmap& source, gfx::Color color, int margin, double deviation) {
    DeviceBitmap shadow{gfx::Bitmap::make(source.bitmap.width + 2 * margin, source.bitmap.height + 2 * margin),
                        source.x - margin, source.y - margin};
    std::uint32_t opaque = color.withAlphaComponent(1).premultipliedPixel();
    for (int y = 0; y < source.bitmap.height; ++y) {
        const std::uint32_t* in = source.bitmap.row(y);
        std::uint32_t* out = shadow.bitmap.row(y + margin) + margin;
        for (int x = 0; x < source.bitmap.width; ++x) {
            std::uint32_t coverage = (in[x] >> 24) * std::uint32_t(std::lround(color.alpha * 255));
            std::uint32_t pixel = 0;
            for (int shift = 0; shift < 32; shift += 8)
                pixel |= ((((opaque >> shift) & 0xFF) * coverage + 255 * 127) / (255 * 255)) << shift;
            out[x] = pixel;
        }
    }
    shadow.bitmap = gaussianBlur(std::move(shadow.bitmap), deviation);
    return shadow;
}

// Whether the layer's whole picture is one painting operation, so its opacity can scale that paint: a group
// would give the same pixels.
bool paintsOnce(const Layer& model, const Layer& shown) {
    if (!model.sublayers().empty() || paintsDecoration(shown)) return false;
    return shown.ownDrawing().kind != Layer::OwnDrawing::Kind::several;
}

// A mask whose pixels are the union of paths filled opaque, each placed in the masked layer's space (none: the mask
// covers nothing), within `bounds` there when given.
struct MaskShape {
    std::vector<gfx::ClipShape> fills;
    std::optional<gfx::Path> bounds;
};

// Adds what `layer` (placed into the mask's space by `outer`) covers to `shape`; false when that coverage is not
// opaque fills.
bool addMaskShape(const Layer& layer, const gfx::AffineTransform& outer, MaskShape& shape) {
    using Kind = Layer::OwnDrawing::Kind;
    if (layer.hasAnimations()) return false;
    if (layer.isHidden() || !(layer.opacity() > 0)) return true;
    gfx::AffineTransform placement = layer.transformToSuperlayer();
    if (!isInvertible(placement)) return true;
    if (layer.opacity() < 1 || layer.mask() || layer.masksToBounds() || paintsDecoration(layer)) return false;
    gfx::AffineTransform space = placement.concatenating(outer);
    Layer::OwnDrawing own = layer.ownDrawing();
    if (own.kind == Kind::fill) {
        if (!(own.color.alpha >= 1)) return false;
        if (own.path) shape.fills.push_back({own.path, own.rule, own.pathTransform.concatenating(space)});
    } else if (own.kind != Kind::nothing) {
        return false;
    }
    if (!layer.sublayerTransform().isIdentity()) space = layer.sublayerSpaceTransform().concatenating(space);
    for (const auto& sublayer : layer.sublayers())
        if (!addMaskShape(*sublayer, space, shape)) return false;
    return true;
}

// A plain layer that fills its bounds opaquely and is masked in turn: as a mask it only places its own mask, cut
// to its bounds.
bool onlyPlacesItsMask(const Layer& mask) {
    const auto background = mask.backgroundColor();
    return typeid(mask) == typeid(Layer) && mask.mask() && mask.sublayers().empty() && !mask.hasAnimations() &&
           !mask.isHidden() && mask.opacity() >= 1 && background && background->alpha >= 1 && !mask.contents() &&
           !hasVisibleBorder(mask) && !hasShadow(mask) && mask.cornerRadius() <= 0 &&
           mask.ownDrawing().kind == Layer::OwnDrawing::Kind::nothing && isInvertible(mask.transformToSuperlayer());
}

std::optional<MaskShape> maskShape(const Layer& mask) {
    MaskShape shape;
    if (!addMaskShape(mask, {}, shape)) return std::nullopt;
    return shape;
}

// Whether the mask is one of those shapes, or only places one (a clip path's coverage cut to the bounds of what
// it clips).
std::optional<MaskShape> placedMaskShape(const Layer& mask) {
    if (!onlyPlacesItsMask(mask)) return maskShape(mask);
    MaskShape shape;
    if (!addMaskShape(*mask.mask(), {}, shape)) return std::nullopt;
    // Fills within the bounds are not cut by them (a clip path's bounds are most often its content's).
    const gfx::Rect bounds = mask.bounds().standardized();
    bool within = true;
    for (gfx::ClipShape& fill : shape.fills) {
        within = within && bounds.contains(fill.path->boundingBox(fill.placement));
        fill.placement = fill.placement.concatenating(mask.transformToSuperlayer());
    }
    if (!within) {
        shape.bounds.emplace();
        shape.bounds->addRect(bounds);
        *shape.bounds = shape.bounds->transformed(mask.transformToSuperlayer());
    }
    return shape;
}

// Clips `context` to the shape: false where it cannot hold a union's coverage (the mask is drawn apart then).
bool clipToMaskShape(gfx::Context& context, const MaskShape& shape) {
    if (shape.bounds) context.clip(*shape.bounds);
    if (shape.fills.empty()) {
        context.clip(gfx::Rect{0, 0, 0, 0});
        return true;
    }
    if (shape.fills.size() == 1) {
        const gfx::ClipShape& fill = shape.fills.front();
        context.clip(fill.path->transformed(fill.placement), fill.rule);
        return true;
    }
    return context.clipToUnion(shape.fills);
}

}  // namespace

gfx::Path roundedBounds(const Layer& layer) {
    gfx::Path path;
    gfx::Rect box = layer.bounds().standardized();
    double radius = std::clamp(layer.cornerRadius(), 0.0, std::min(box.width(), box.height()) / 2);
    if (radius > 0)
        path.addRoundedRect(box, radius, radius);
    else
        path.addRect(box);
    return path;
}

void LayerPainter::renderLayer(const Layer& model, gfx::Context& context, bool asSublayer) const {
    std::shared_ptr<Layer> presented = model.hasAnimations() ? model.presentationLayer(time) : nullptr;
    const Layer& shown = presented ? *presented : model;
    // A render whose work meter is spent draws nothing more: it has failed.
    if (shown.isHidden() || !(shown.opacity() > 0) || gfx::WorkMeter::spentNow()) return;
    if (const auto& bound = model.workBound(); bound && !gfx::WorkMeter::running()) {
        // Over the clip: what the tree covers is not known without walking it all.
        renderWithinBound(context, *bound, std::nullopt,
                          [&](gfx::Context& target) { renderLayer(model, target, asSublayer); });
        return;
    }
    bool drawsSomething = shown.backgroundColor() || shown.contents() || !model.sublayers().empty() ||
                          shown.borderWidth() > 0 || hasShadow(shown) || typeid(shown) != typeid(Layer) ||
                          !shown.delegate().expired();
    // A bare layer leaves no pixel, masked or not: no state to set up for it.
    if (!drawsSomething) return;
    gfx::AffineTransform placement = asSublayer ? shown.transformToSuperlayer() : gfx::AffineTransform{};
    if (!isInvertible(placement)) return;  // flattened to nothing
    context.save();
    context.concatenate(placement);
    if (shown.opacity() < 1 && paintsOnce(model, shown)) {
        context.setAlpha(context.alpha() * shown.opacity());
        renderWithShadow(model, shown, context);
    } else if (shown.opacity() < 1) {
        // Opacity applies to the layer as a whole, so overlapping parts do not show through each other.
        std::optional<DeviceBitmap> group =
            drawOffscreen(context, extent(model, shown), 0, gfx::PixelFormat::argb32,
                          [&](gfx::Context& offscreen) { renderWithShadow(model, shown, offscreen); });
        if (group) drawInDeviceSpace(context, *group, std::min(shown.opacity(), 1.0));
    } else {
        renderWithShadow(model, shown, context);
    }
    context.restore();
}

void LayerPainter::renderWithShadow(const Layer& model, const Layer& shown, gfx::Context& context) const {
    if (!hasShadow(shown)) {
        renderBody(model, shown, context);
        return;
    }
    double scale = pixelsPerPoint(context);
    double padding = shadowReach(shown) * scale + 2;
    std::optional<DeviceBitmap> body;
    std::optional<DeviceBitmap> shape;
    if (shown.shadowPath()) {
        shape = drawOffscreen(context, shown.shadowPath()->boundingBox(), padding, gfx::PixelFormat::alphaOnly,
                              [&](gfx::Context& offscreen) { offscreen.fill(*shown.shadowPath()); });
    } else {
        // Without a path the shadow follows everything the layer draws.
        body = drawOffscreen(context, extent(model, shown), padding, gfx::PixelFormat::argb32,
                             [&](gfx::Context& offscreen) { renderBody(model, shown, offscreen); });
        shape = body;
    }
    if (shape) {
        double deviation = std::max(shown.shadowRadius(), 0.0) / 2 * scale;
        int margin = int(std::ceil(3 * deviation)) + 1;
        DeviceBitmap shadow = shadowImage(*shape, *shown.shadowColor(), margin, deviation);
        gfx::AffineTransform device = context.deviceTransform();
        gfx::Size offset = device.apply(shown.shadowOffset());
        drawInDeviceSpace(context, shadow, std::min(shown.shadowOpacity(), 1.0), std::round(offset.width),
                          std::round(offset.height));
    }
    if (body)
        drawInDeviceSpace(context, *body, 1);
    else if (shown.shadowPath())
        renderBody(model, shown, context);
}

// The mask's shape when `shown` paints one gradient through a mask that is one opaque fill or stroke: the gradient
// then paints only that shape (gfx::Context::setGradientShape), not its whole bounds.
static const ShapeLayer* gradientShape(const Layer& model, const Layer& shown) {
    const Layer& mask = *shown.mask();
    if (!dynamic_cast<const GradientLayer*>(&shown) || shown.ownDrawing().kind != Layer::OwnDrawing::Kind::single ||
        !model.sublayers().empty() || paintsDecoration(shown) || shown.masksToBounds())
        return nullptr;
    if (mask.hasAnimations() || mask.isHidden() || mask.opacity() < 1 || mask.mask() || mask.masksToBounds() ||
        !mask.sublayers().empty() || paintsDecoration(mask) || !isInvertible(mask.transformToSuperlayer()))
        return nullptr;
    return dynamic_cast<const ShapeLayer*>(&mask);
}

void LayerPainter::renderBody(const Layer& model, const Layer& shown, gfx::Context& context) const {
    if (!shown.mask()) {
        renderUnmasked(model, shown, context);
        return;
    }
    if (const ShapeLayer* shape = gradientShape(model, shown)) {
        context.save();
        const bool shaped = shape->setAsGradientShape(context, shape->transformToSuperlayer());
        if (shaped) renderUnmasked(model, shown, context);
        context.restore();
        if (shaped) return;
    }
    if (std::optional<MaskShape> shape = placedMaskShape(*shown.mask())) {
        // Clipping each thing drawn to the shapes gives the masked picture (but for antialiased edges where
        // drawings overlap) without drawing apart.
        context.save();
        const bool clipped = clipToMaskShape(context, *shape);
        if (clipped) renderUnmasked(model, shown, context);
        context.restore();
        if (clipped) return;
    }
    // The mask applies to the finished picture of the layer, not to each thing drawn in it.
    std::optional<DeviceBitmap> body =
        drawOffscreen(context, extent(model, shown), 0, gfx::PixelFormat::argb32,
                      [&](gfx::Context& offscreen) { renderUnmasked(model, shown, offscreen); });
    if (!body) return;
    context.save();
    // Only the mask's coverage under the picture is needed.
    clipToDeviceArea(context, *body);
    if (const Layer& mask = *shown.mask(); onlyPlacesItsMask(mask)) {
        // Its coverage is its own mask's within its bounds: that mask is applied in its place, with no picture of
        // the placing layer drawn apart (and a mask several such layers share is drawn once).
        context.concatenate(mask.transformToSuperlayer());
        context.clip(mask.bounds());
        applyMask(mask.mask(), context);
    } else {
        applyMask(shown.mask(), context);
    }
    drawInDeviceSpace(context, *body, 1);
    context.restore();
}

void LayerPainter::renderUnmasked(const Layer& model, const Layer& shown, gfx::Context& context) const {
    // Colours set here are the caller's to restore; only the clip needs a state of its own.
    const bool clips = shown.masksToBounds();
    if (clips) {
        context.save();
        context.clip(roundedBounds(shown));
    }
    if (auto background = shown.backgroundColor(); background && background->alpha > 0) {
        context.setFillColor(*background);
        context.fill(roundedBounds(shown));
    }
    if (auto placed = shown.contentsRectInBounds()) {
        context.drawBitmap(*shown.contents(), *placed, gfx::BitmapPlacement::firstRowAtMinY);
    }
    if (shown.ownDrawing().kind != Layer::OwnDrawing::Kind::nothing) {
        // What the drawing sets must not reach the sublayers or the border; drawn last, it is undone by the
        // state every caller saved around this layer.
        const bool drawnAfter = !model.sublayers().empty() || hasVisibleBorder(shown);
        if (drawnAfter) context.save();
        shown.draw(context);
        if (drawnAfter) context.restore();
    }
    if (!model.sublayers().empty()) {
        const bool moved = !shown.sublayerTransform().isIdentity();
        if (moved) {
            context.save();
            context.concatenate(shown.sublayerSpaceTransform());
        }
        for (const auto& sublayer : model.sublayers()) renderLayer(*sublayer, context, true);
        if (moved) context.restore();
    }
    if (auto border = shown.borderColor(); shown.borderWidth() > 0 && border && border->alpha > 0) {
        gfx::Rect box = shown.bounds().standardized();
        double width = std::min(shown.borderWidth(), std::min(box.width(), box.height()) / 2);
        double inner = std::max(0.0, std::min(shown.cornerRadius(), std::min(box.width(), box.height()) / 2) - width);
        gfx::Path ring = roundedBounds(shown);
        gfx::Rect innerBox = box.insetBy(width, width);
        if (!innerBox.isNull()) {
            if (inner > 0)
                ring.addRoundedRect(innerBox, inner, inner);
            else
                ring.addRect(innerBox);
        }
        context.setFillColor(*border);
        context.fill(ring, gfx::FillRule::evenOdd);
    }
    if (clips) context.restore();
}

bool MaskCoverages::Key::operator<(const Key& other) const {
    const auto fields = [](const Key& key) {
        const gfx::AffineTransform& t = key.device;
        const gfx::Rect& r = key.area;
        return std::tie(key.mask, t.a, t.b, t.c, t.d, t.tx, t.ty, r.origin.x, r.origin.y, r.size.width, r.size.height);
    };
    return fields(*this) < fields(other);
}

void LayerPainter::applyMask(const std::shared_ptr<Layer>& mask, gfx::Context& context) const {
    std::optional<gfx::Rect> area;
    if (!mask->hasAnimations())
        if (auto maskExtent = extent(*mask, *mask)) area = mask->transformToSuperlayer().apply(*maskExtent);
    const auto draw = [&](gfx::Context& offscreen) { renderLayer(*mask, offscreen, true); };
    std::optional<DeviceBitmap> drawn;
    const std::optional<DeviceBitmap>* coverage = &drawn;
    if (coverages && area && mask.use_count() > 1) {
        // Shared, it is drawn over all of the target it covers, whatever the clip, so that every layer it masks
        // here finds it drawn.
        std::optional<gfx::Rect> pixels = offscreenArea(context, area, 0, false);
        MaskCoverages::Key key{mask.get(), context.deviceTransform(), pixels.value_or(gfx::Rect{})};
        auto found = coverages->drawn.find(key);
        if (found == coverages->drawn.end()) {
            if (pixels) drawn = drawOffscreenOver(context, *pixels, gfx::PixelFormat::alphaOnly, draw);
            const std::size_t bytes = drawn ? drawn->bitmap.pixels.size() : 0;
            if (coverages->bytes + bytes <= MaskCoverages::maximumBytes) {
                coverages->bytes += bytes;
                found = coverages->drawn.emplace(key, std::move(drawn)).first;
            }
        }
        if (found != coverages->drawn.end()) coverage = &found->second;
    } else {
        drawn = drawOffscreen(context, area, 0, gfx::PixelFormat::alphaOnly, draw);
    }
    if (!*coverage) {
        context.clip(gfx::Rect{0, 0, 0, 0});  // the mask shows nothing here
        return;
    }
    const DeviceBitmap& pixels = **coverage;
    gfx::AffineTransform layerSpace = context.deviceTransform();
    useDeviceSpace(context);
    context.clipToMask(
        {double(pixels.x), double(pixels.y), double(pixels.bitmap.width), double(pixels.bitmap.height)},
        pixels.bitmap, gfx::BitmapPlacement::firstRowAtMinY);
    context.concatenate(layerSpace.concatenating(context.deviceTransform().inverted()));
}

std::optional<gfx::Rect> LayerPainter::extent(const Layer& model, const Layer& shown) const {
    gfx::Rect area = shown.drawingBounds();
    if (!shown.masksToBounds()) {
        gfx::AffineTransform sublayerSpace = shown.sublayerSpaceTransform();
        for (const auto& sublayer : model.sublayers()) {
            if (sublayer->isHidden()) continue;
            if (sublayer->hasAnimations()) return std::nullopt;
            std::optional<gfx::Rect> inner = extent(*sublayer, *sublayer);
            if (!inner) return std::nullopt;
            area = area.unionWith(sublayer->transformToSuperlayer().concatenating(sublayerSpace).apply(*inner));
        }
    }
    if (hasShadow(shown)) area = area.insetBy(-shadowReach(shown), -shadowReach(shown));
    return area;
}

}  // namespace quartz
