#include <algorithm>
#include <optional>

#include "gfx/TextLayout.h"
#include "map/MapRenderer.h"

namespace map {

namespace {

constexpr double titleFontSize = 17;
constexpr double lineGap = 2;

// Title and detail each as a layout at `width`; either is absent when it has no text.
struct CalloutLines {
    std::optional<gfx::TextLayout> title;
    std::optional<gfx::TextLayout> detail;

    CalloutLines(const std::string& titleText, const AnnotationView& view, double width) {
        gfx::TextLayoutOptions options;
        options.width = width;
        if (!titleText.empty()) {
            options.numberOfLines = 1;
            gfx::TextAttributes attributes;
            attributes.font = gfx::Font::systemFont(titleFontSize);
            attributes.foregroundColor = gfx::Color::label();
            title = gfx::TextLayout::make(gfx::AttributedString(titleText, attributes), options);
        }
        const auto& label = view.detailCalloutAccessory;
        if (label && !label->text.empty()) {
            options.numberOfLines = label->numberOfLines;
            gfx::TextAttributes attributes;
            attributes.font = gfx::Font::systemFont(label->fontSize);
            attributes.foregroundColor = label->textColor;
            detail = gfx::TextLayout::make(gfx::AttributedString(label->text, attributes), options);
        }
    }

    gfx::Size size() const {
        gfx::Size titleSize = title ? title->size() : gfx::Size{};
        gfx::Size detailSize = detail ? detail->size() : gfx::Size{};
        double gap = title && detail ? lineGap : 0;
        return {std::max(titleSize.width, detailSize.width), titleSize.height + gap + detailSize.height};
    }
};

}  // namespace

CalloutText typesetCalloutText() {
    CalloutText text;
    text.measure = [](const std::string& title, const AnnotationView& view, double maximumWidth) {
        return CalloutLines(title, view, maximumWidth).size();
    };
    text.draw = [](gfx::Context& context, const gfx::Rect& rect, const std::string& title, const AnnotationView& view) {
        CalloutLines lines(title, view, rect.width());
        gfx::Point origin = rect.origin;
        context.save();
        context.clip(rect);
        if (lines.title) {
            lines.title->draw(context, origin);
            origin.y += lines.title->size().height + lineGap;
        }
        if (lines.detail) lines.detail->draw(context, origin);
        context.restore();
    };
    return text;
}

}  // namespace map
