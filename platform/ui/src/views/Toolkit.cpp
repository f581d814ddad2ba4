#include "ui/Toolkit.h"

#include <limits>
#include <mutex>

#include "gfx/TextLayout.h"
#include "quartz/TextLayer.h"

namespace ui {

namespace {

gfx::TextAlignment alignmentFor(quartz::TextAlignment alignment) {
    switch (alignment) {
        case quartz::TextAlignment::left: return gfx::TextAlignment::left;
        case quartz::TextAlignment::right: return gfx::TextAlignment::right;
        case quartz::TextAlignment::center: return gfx::TextAlignment::center;
        case quartz::TextAlignment::justified: return gfx::TextAlignment::justified;
        case quartz::TextAlignment::natural: break;
    }
    return gfx::TextAlignment::natural;
}

gfx::LineBreakMode lineBreakFor(quartz::TruncationMode mode) {
    switch (mode) {
        case quartz::TruncationMode::start: return gfx::LineBreakMode::byTruncatingHead;
        case quartz::TruncationMode::middle: return gfx::LineBreakMode::byTruncatingMiddle;
        case quartz::TruncationMode::end: return gfx::LineBreakMode::byTruncatingTail;
        case quartz::TruncationMode::none: break;
    }
    return gfx::LineBreakMode::byClipping;
}

void drawTextLayer(const quartz::TextLayer& layer, gfx::Context& context) {
    gfx::AttributedString string;
    if (const auto* attributed = std::any_cast<gfx::AttributedString>(&layer.attributedString())) {
        string = *attributed;
    } else {
        gfx::TextAttributes attributes;
        attributes.font = gfx::Font::matching(layer.fontName(), layer.fontSize(), 0, 0);
        attributes.foregroundColor = layer.foregroundColor();
        string = gfx::AttributedString(layer.string(), attributes);
    }
    if (string.empty()) return;
    gfx::Rect bounds = layer.bounds();
    gfx::TextLayoutOptions options;
    options.alignment = alignmentFor(layer.alignment());
    options.lineBreakMode = lineBreakFor(layer.truncationMode());
    bool truncates = layer.truncationMode() != quartz::TruncationMode::none;
    // Unwrapped text breaks only at line feeds, unless it truncates, which needs the width.
    options.width = layer.isWrapped() || truncates || options.alignment != gfx::TextAlignment::natural
                        ? bounds.width()
                        : std::numeric_limits<double>::infinity();
    options.numberOfLines = layer.isWrapped() ? 0 : (truncates ? 1 : 0);
    context.save();
    context.clip(bounds);
    gfx::TextLayout::make(string, options).draw(context, bounds.origin);
    context.restore();
}

}  // namespace

void initialize() {
    static std::once_flag once;
    std::call_once(once, [] { quartz::setTextLayerDrawer(&drawTextLayer); });
}

}  // namespace ui
