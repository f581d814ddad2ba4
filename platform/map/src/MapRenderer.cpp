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
constexpr double accessorySpacing = 8;

// The title as far as a one-line callout `width` points wide can show it. No glyph that shows is
// narrower than a quarter of a point at the callout's size, so nothing past four characters a point is
// ever seen; what is kept past the width is only laid out to be ellipsized. A title of megabytes costs
// a line's worth.
std::string titleOf(const AnnotationView& view, double width) {
    if (!view.annotation() || !view.annotation()->title()) return {};
    const std::string& title = *view.annotation()->title();
    std::size_t characters = 4 * static_cast<std::size_t>(std::clamp(width, 0.0, 1e6)) + 1, end = 0;
    for (; end < title.size() && characters > 0; --characters) {
        ++end;
        while (end < title.size() && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80) ++end;
    }
    return title.substr(0, end);
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

gfx::Size accessorySize(const AnnotationView& view) {
    if (!view.rightCalloutAccessoryView) return {};
    gfx::Size size = view.rightCalloutAccessoryView->bounds().size;
    return size.width > 0 && size.height > 0 ? size : view.rightCalloutAccessoryView->sizeThatFits({});
}

void drawAnnotations(gfx::Context& context, MapState& state) {
    const Viewport& viewport = state.viewport();
    gfx::Rect bounds{0, 0, viewport.size().width, viewport.size().height};
    auto ordered = state.annotationsInDrawingOrder();
    std::vector<std::shared_ptr<AnnotationView>> views(ordered.size());
    // A view that reaches farther than those before it may reach in from beyond the margin the pass
    // began with: look again for the annotations passed over.
    for (double reach = -1; reach != state.viewReach();) {
        reach = state.viewReach();
        for (std::size_t index = 0; index < ordered.size(); ++index) {
            if (!views[index]) views[index] = state.viewNear(ordered[index], bounds);
        }
    }
    for (std::size_t index = 0; index < ordered.size(); ++index) {
        const auto& annotation = ordered[index];
        const auto& view = views[index];
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
    if (text.draw && view) text.draw(context, layout->text, titleOf(*view, layout->text.width()), *view);
}

}  // namespace

std::optional<CalloutLayout> calloutLayout(MapState& state, const CalloutText& text) {
    if (state.selectedAnnotations().empty()) return std::nullopt;
    auto annotation = state.selectedAnnotations().front();
    auto view = state.viewFor(annotation);
    if (!view || !view->canShowCallout) return std::nullopt;
    const Viewport& viewport = state.viewport();
    double maximumWidth = std::max(0.0, viewport.size().width - 16 - 2 * calloutPadding);
    gfx::Size accessory = accessorySize(*view);
    double spacing = accessory.width > 0 ? accessorySpacing : 0;
    double maximumTextWidth = std::max(0.0, maximumWidth - accessory.width - spacing);
    std::string title = titleOf(*view, maximumTextWidth);
    gfx::Size textSize =
        text.measure ? text.measure(title, *view, maximumTextWidth) : estimatedTextSize(title, *view);
    textSize.width = std::min(textSize.width, maximumTextWidth);
    gfx::Size content{std::clamp(textSize.width + spacing + accessory.width, 2 * pointerHalfWidth, maximumWidth),
                      std::max(textSize.height, accessory.height)};
    gfx::Rect frame = view->frame(viewport.point(annotation->coordinate()));
    gfx::Point tip{frame.midX(), frame.minY() - calloutGap};
    double width = content.width + 2 * calloutPadding;
    double height = content.height + 2 * calloutPadding * 0.75;
    double x = std::clamp(tip.x - width / 2, 8.0, std::max(8.0, viewport.size().width - 8 - width));
    // Kept in view only as far as its pointer still reaches the pin: past that it leaves with it.
    double reach = calloutCornerRadius + pointerHalfWidth;
    x = std::clamp(x, tip.x - width + reach, std::max(tip.x - width + reach, tip.x - reach));
    gfx::Rect bubble{x, tip.y - pointerHeight - height, width, height};
    gfx::Rect inner{bubble.minX() + calloutPadding, bubble.minY() + calloutPadding * 0.75, content.width,
                    content.height};
    double textWidth = std::max(0.0, content.width - spacing - accessory.width);
    gfx::Rect textRect{inner.minX(), inner.midY() - textSize.height / 2, textWidth, textSize.height};
    std::optional<gfx::Rect> accessoryRect;
    if (view->rightCalloutAccessoryView) {
        accessoryRect = gfx::Rect{inner.maxX() - accessory.width, inner.midY() - accessory.height / 2, accessory.width,
                                  accessory.height};
    }
    return CalloutLayout{bubble, inner, textRect, accessoryRect, tip};
}

void renderMap(gfx::Context& context, MapState& state, const MapRenderOptions& options) {
    const Viewport& viewport = state.viewport();
    auto land = options.land ? options.land : LandShapes::shared();
    context.save();
    context.clip(gfx::Rect{0, 0, viewport.size().width, viewport.size().height});
    if (options.tiles) {
        options.tiles->draw(context, viewport, land, options.style);
    } else {
        drawBaseMap(context, viewport, *land, options.style);
    }
    for (const auto& overlay : state.overlays()) {
        if (auto renderer = state.rendererFor(overlay)) renderer->draw(context, viewport);
    }
    drawAnnotations(context, state);
    drawCallout(context, state, options.calloutText);
    context.restore();
}

}  // namespace map
