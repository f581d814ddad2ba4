#pragma once

#include <limits>
#include <memory>

#include "gfx/AttributedString.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"

namespace gfx {

struct TextLayoutOptions {
    // Lines wrap at this width; an infinite (or huge) width breaks lines only at line feeds.
    double width = std::numeric_limits<double>::infinity();
    // 0 is unlimited.
    int numberOfLines = 0;
    // Used when the string carries no paragraph style of its own.
    TextAlignment alignment = TextAlignment::natural;
    LineBreakMode lineBreakMode = LineBreakMode::byTruncatingTail;

    bool operator==(const TextLayoutOptions&) const = default;
};

// Sizes are exact (fractional points); views round them up to whole points themselves.
struct TextMeasurement {
    Size size;
    int lineCount = 0;
    // Some text is not shown: cut by the line limit, or replaced by "…".
    bool truncated = false;

    bool operator==(const TextMeasurement&) const = default;
};

// Text laid out by Pango for one width and line limit. Layouts are cached per thread by content, so
// laying out the same label again (the live screen does every few seconds) costs a lookup. Use a
// layout on the thread that made it.
class TextLayout {
public:
    static TextLayout make(const AttributedString& string, const TextLayoutOptions& options = {});

    TextMeasurement measurement() const;
    Size size() const { return measurement().size; }
    int lineCount() const { return measurement().lineCount; }
    bool isTruncated() const { return measurement().truncated; }
    // From the top of the layout to the first line's baseline; 0 without lines.
    double firstBaseline() const;

    // Draws with the layout's top-left at `origin` of the context's user space, which is taken to grow
    // downwards (flip a bottom-left context first). Honours the transform, clip, alpha and blend mode.
    void draw(Context& context, Point origin) const;

    struct Impl;

private:
    explicit TextLayout(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

// Lays the text out at the rectangle's width (aligning within it) and draws it from its top-left.
void drawText(Context& context, const AttributedString& string, const Rect& rect, TextLayoutOptions options = {});

}  // namespace gfx
