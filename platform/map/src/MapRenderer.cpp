#include "map/MapRenderer.h"

#include <algorithm>

#include "gfx/Path.h"

namespace map {

namespace {

constexpr double calloutPadding = 12;
constexpr double calloutCornerRadius = 10;
constexpr double pointerHeight = 9;
constexpr double pointerHalfWidth = 10;
constexpr double calloutGap = 2;

std::string titleOf(const AnnotationView& view) {
    auto title = view.annotation() ? view.annotation()->title() : std::nullopt;
    return title.value_or("");
}

// Roughly the size of the platform's callout fonts (17 pt title, detail label) when no text
// drawing is available.
gfx::Size estimatedTextSize(const std::string& title, const AnnotationView& view) {
    double width = static_cast<double>(title.size()) * 9;
    double height = title.empty() ? 0 : 22;
    if (view.detailCalloutAccessory && !view.detailCalloutAccessory->text.empty()) {
        const DetailLabel& detail = *view.detailCalloutAccessory;
        width = std::max(width, static_cast<double>(detail.text.size()) * detail.fontSize * 0.55);
        height += detail.fontSize * 1.3;
    }
    return {width, height};
}

void drawAnnotations(gfx::Context& context, MapState& state) {
    const Viewport& viewport = state.viewport();
    gfx::Rect bounds{0, 0, viewport.size().width, viewport.size().height};
    for (const auto& annotation : state.annotationsInDrawingOrder()) {
        auto view = state.viewFor(annotation);
        if (!view || !view->image || !view->image->bitmap()) continue;
        gfx::Rect frame = view->frame(viewport.point(annotation->coordinate()));
        if (!frame.intersects(bounds)) continue;
        context.drawBitmap(*view->image->bitmap(), frame, gfx::BitmapPlacement::firstRowAtMinY);
    }
}

void drawCallout(gfx::Context& context, MapState& state, const CalloutText& text) {
    auto layout = calloutLayout(state, text);
    if (!layout) return;
    const gfx::Rect& bubble = layout->bubble;
    gfx::Path shape;
    shape.addRoundedRect(bubble, calloutCornerRadius, calloutCornerRadius);
    double pointerX = std::clamp(layout->tip.x, bubble.minX() + calloutCornerRadius + pointerHalfWidth,
                                 bubble.maxX() - calloutCornerRadius - pointerHalfWidth);
    gfx::Path pointer;
    pointer.moveTo({pointerX - pointerHalfWidth, bubble.maxY() - 1});
    pointer.lineTo({pointerX, bubble.maxY() + pointerHeight});
    pointer.lineTo({pointerX + pointerHalfWidth, bubble.maxY() - 1});
    pointer.closeSubpath();
    context.save();
    // A soft edge instead of the platform's shadow: a wider translucent outline under the bubble.
    context.setStrokeColor(gfx::Color::black().withAlphaComponent(0.08));
    context.setLineWidth(3);
    context.stroke(shape);
    context.stroke(pointer);
    context.setFillColor(gfx::Color::white());
    context.fill(shape);
    context.fill(pointer);
    context.restore();
    auto selected = state.selectedAnnotations().front();
    auto view = state.viewFor(selected);
    if (text.draw && view) text.draw(context, layout->content, titleOf(*view), *view);
}

}  // namespace

std::optional<CalloutLayout> calloutLayout(MapState& state, const CalloutText& text) {
    if (state.selectedAnnotations().empty()) return std::nullopt;
    auto annotation = state.selectedAnnotations().front();
    auto view = state.viewFor(annotation);
    if (!view || !view->canShowCallout) return std::nullopt;
    std::string title = titleOf(*view);
    gfx::Size content = text.measure ? text.measure(title, *view) : estimatedTextSize(title, *view);
    const Viewport& viewport = state.viewport();
    double maximumWidth = std::max(0.0, viewport.size().width - 16 - 2 * calloutPadding);
    content.width = std::clamp(content.width, 2 * pointerHalfWidth, maximumWidth);
    gfx::Rect frame = view->frame(viewport.point(annotation->coordinate()));
    gfx::Point tip{frame.midX(), frame.minY() - calloutGap};
    double width = content.width + 2 * calloutPadding;
    double height = content.height + 2 * calloutPadding * 0.75;
    double x = std::clamp(tip.x - width / 2, 8.0, std::max(8.0, viewport.size().width - 8 - width));
    gfx::Rect bubble{x, tip.y - pointerHeight - height, width, height};
    gfx::Rect inner{bubble.minX() + calloutPadding, bubble.minY() + calloutPadding * 0.75, content.width,
                    content.height};
    return CalloutLayout{bubble, inner, tip};
}

void renderMap(gfx::Context& context, MapState& state, const MapRenderOptions& options) {
    const Viewport& viewport = state.viewport();
    auto land = options.land ? options.land : LandShapes::shared();
    context.save();
    context.clip(gfx::Rect{0, 0, viewport.size().width, viewport.size().height});
    drawBaseMap(context, viewport, *land, options.style);
    for (const auto& overlay : state.overlays()) {
        if (auto renderer = state.rendererFor(overlay)) renderer->draw(context, viewport);
    }
    drawAnnotations(context, state);
    drawCallout(context, state, options.calloutText);
    context.restore();
}

}  // namespace map
