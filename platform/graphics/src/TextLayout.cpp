#include "gfx/TextLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <list>
#include <string>
#include <thread>
#include <unordered_map>

#include "BitmapLayout.h"
#include "ContextAccess.h"
#include "PangoText.h"
#include "gfx/WorkMeter.h"

namespace gfx {

// What Pango made of a text at one width: its lines, whatever colours and strokes paint them, so that
// texts differing only in paint (measured plain, drawn coloured) share one.
struct TextShape {
    GObjectPointer<PangoLayout> layout;
    int visibleLines = 0;
    std::size_t items = 0;  // stretches Pango shaped apart (a script or direction each, per line)
    double layoutWidth = 0;
    double firstBaseline = 0;
    TextMeasurement measurement;
};

struct TextLayout::Impl {
    AttributedString string;  // the paint drawn on the shape
    std::shared_ptr<const TextShape> shape;
};

namespace {

// Beyond this a width is as good as unlimited (and would overflow Pango's units).
constexpr double unboundedWidth = 1e7;
constexpr std::size_t cacheCapacity = 512;

PangoEllipsizeMode ellipsizeMode(LineBreakMode mode) {
    switch (mode) {
        case LineBreakMode::byTruncatingHead: return PANGO_ELLIPSIZE_START;
        case LineBreakMode::byTruncatingMiddle: return PANGO_ELLIPSIZE_MIDDLE;
        case LineBreakMode::byTruncatingTail: return PANGO_ELLIPSIZE_END;
        default: return PANGO_ELLIPSIZE_NONE;
    }
}

struct AttrListUnref {
    void operator()(PangoAttrList* list) const { pango().attr_list_unref(list); }
};

void insert(PangoAttrList* list, PangoAttribute* attribute, const AttributedString::Run& run) {
    attribute->start_index = guint(run.location);
    attribute->end_index = guint(run.location + run.length);
    pango().attr_list_insert(list, attribute);
}

std::unique_ptr<PangoAttrList, AttrListUnref> pangoAttributes(const AttributedString& string) {
    std::unique_ptr<PangoAttrList, AttrListUnref> list(pango().attr_list_new());
    for (const AttributedString::Run& run : string.runs()) {
        FontDescriptionPointer description = fontDescription(run.attributes.font);
        insert(list.get(), pango().attr_font_desc_new(description.get()), run);
        if (run.attachment) {
            // Pango's logical rectangles grow downwards from the baseline.
            Rect bounds = run.attachment->effectiveBounds();
            PangoRectangle logical{toPango(bounds.minX()), toPango(-bounds.maxY()), toPango(bounds.width()),
                                   toPango(bounds.height())};
            insert(list.get(), pango().attr_shape_new(&logical, &logical), run);
        }
    }
    return list;
}

template <typename T>
void appendBytes(std::string& key, const T& value) {
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Everything Pango lays out from (text, fonts, attachments, paragraph, options), not the paint.
std::string cacheKey(const AttributedString& string, const TextLayoutOptions& options) {
    std::string key;
    key.reserve(string.string().size() + 96 * string.runs().size() + 32);
    // Field by field: a struct's padding is no part of its value.
    appendBytes(key, options.width);
    appendBytes(key, options.numberOfLines);
    appendBytes(key, options.alignment);
    appendBytes(key, options.lineBreakMode);
    appendBytes(key, string.string().size());
    key += string.string();
    for (const AttributedString::Run& run : string.runs()) {
        const TextAttributes& attributes = run.attributes;
        appendBytes(key, run.location);
        key += attributes.font.familyName();
        appendBytes(key, attributes.font.pointSize());
        appendBytes(key, attributes.font.weight());
        appendBytes(key, attributes.font.traits());
        appendBytes(key, attributes.paragraphStyle.has_value());
        if (attributes.paragraphStyle) appendBytes(key, *attributes.paragraphStyle);
        appendBytes(key, run.attachment.get());
        if (run.attachment) appendBytes(key, run.attachment->effectiveBounds());
    }
    return key;
}

// The y of the bottom of line `count` (1-based), in Pango units.
int bottomOfLine(PangoLayout* layout, int count) {
    PangoLayoutIter* iter = pango().layout_get_iter(layout);
    for (int line = 1; line < count && pango().layout_iter_next_line(iter);) ++line;
    int top = 0, bottom = 0;
    pango().layout_iter_get_line_yrange(iter, &top, &bottom);
    pango().layout_iter_free(iter);
    return bottom;
}

void measure(TextShape& impl, int lineLimit, bool overflows) {
    PangoLayout* layout = impl.layout.get();
    impl.visibleLines = std::min(pango().layout_get_line_count(layout), lineLimit);
    PangoLayoutIter* iter = pango().layout_get_iter(layout);
    impl.firstBaseline = fromPango(pango().layout_iter_get_baseline(iter));
    int width = 0, bottom = 0;
    for (int line = 0; line < impl.visibleLines; ++line) {
        PangoRectangle logical;
        pango().layout_iter_get_line_extents(iter, nullptr, &logical);
        width = std::max(width, logical.width);
        int top = 0;
        pango().layout_iter_get_line_yrange(iter, &top, &bottom);
        if (!pango().layout_iter_next_line(iter)) break;
    }
    pango().layout_iter_free(iter);
    impl.measurement.size = {fromPango(width), fromPango(bottom)};
    impl.measurement.lineCount = impl.visibleLines;
    impl.measurement.truncated = overflows || pango().layout_is_ellipsized(layout);
}

std::shared_ptr<const TextShape> build(const AttributedString& string, const TextLayoutOptions& options) {
    auto impl = std::make_shared<TextShape>();
    if (string.empty() || !pango()) return impl;

    ParagraphStyle paragraph = string.paragraphStyle().value_or(ParagraphStyle{options.alignment, options.lineBreakMode});
    impl->layout.reset(pango().layout_new(threadPangoContext()));
    PangoLayout* layout = impl->layout.get();
    pango().layout_set_text(layout, string.string().data(), int(string.string().size()));
    pango().layout_set_attributes(layout, pangoAttributes(string).get());
    bool bounded = options.width < unboundedWidth;
    if (bounded) pango().layout_set_width(layout, toPango(std::max(options.width, 0.0)));
    pango().layout_set_wrap(layout, paragraph.lineBreakMode == LineBreakMode::byCharWrapping ? PANGO_WRAP_CHAR
                                                                                             : PANGO_WRAP_WORD_CHAR);
    pango().layout_set_auto_dir(layout, paragraph.alignment == TextAlignment::natural);
    switch (paragraph.alignment) {
        case TextAlignment::center: pango().layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
        case TextAlignment::right: pango().layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
        case TextAlignment::justified: pango().layout_set_justify(layout, TRUE); [[fallthrough]];
        default: pango().layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
    }

    int lineLimit = options.numberOfLines > 0 ? options.numberOfLines : INT_MAX;
    bool overflows = pango().layout_get_line_count(layout) > lineLimit;
    if (overflows && isTruncatingMode(paragraph.lineBreakMode)) {
        PangoRectangle natural;
        pango().layout_get_extents(layout, nullptr, &natural);
        // Ellipsizing needs a width; without one, lines end only at line feeds and keep their own.
        if (!bounded) pango().layout_set_width(layout, natural.width);
        // A negative height limits the lines of each paragraph; across line feeds only a height in
        // units limits the whole text.
        bool oneParagraph = string.string().find('\n') == std::string::npos;
        pango().layout_set_height(layout, oneParagraph ? -lineLimit : bottomOfLine(layout, lineLimit));
        pango().layout_set_ellipsize(layout, ellipsizeMode(paragraph.lineBreakMode));
    }
    PangoRectangle logical;
    pango().layout_get_extents(layout, nullptr, &logical);
    impl->layoutWidth = bounded ? options.width : fromPango(logical.width);
    measure(*impl, lineLimit, overflows);
    for (GSList* line = pango().layout_get_lines_readonly(layout); line; line = line->next) {
        impl->items += pango().g_slist_length(static_cast<PangoLayoutLine*>(line->data)->runs);
    }
    return impl;
}

// A shape with the paint last asked of it: a label laid out again as it was (a screen's relayout) is
// handed the same layout, with no copy of its text.
using PaintedShape = std::shared_ptr<const TextLayout::Impl>;

struct LayoutCache {
    std::list<std::pair<std::string, PaintedShape>> entries;  // most recent first
    std::unordered_map<std::string_view, decltype(entries)::iterator> index;

    PaintedShape* find(const std::string& key) {
        auto found = index.find(key);
        if (found == index.end()) return nullptr;
        entries.splice(entries.begin(), entries, found->second);
        return &found->second->second;
    }
    void insert(std::string key, PaintedShape impl) {
        if (entries.size() >= cacheCapacity) {
            index.erase(entries.back().first);
            entries.pop_back();
        }
        entries.emplace_front(std::move(key), std::move(impl));
        index.emplace(entries.front().first, entries.begin());
    }
};

// The layouts made while a work meter runs, kept with it (WorkMeter::shared): a render lays each distinct
// run out once, however many copies, measurements and drawings ask for it, and however many distinct runs it
// has. Each one made was charged, so the meter bounds what they hold. A tree's drawing carries its build's
// on, but finds them only on the thread that made them: a Pango layout is one thread's.
struct RenderLayouts {
    std::thread::id thread = std::this_thread::get_id();
    std::unordered_map<std::string, PaintedShape> shapes;

    PaintedShape* find(const std::string& key) {
        auto found = shapes.find(key);
        return found == shapes.end() ? nullptr : &found->second;
    }
    void insert(std::string key, PaintedShape impl) { shapes.emplace(std::move(key), std::move(impl)); }
};

std::shared_ptr<RenderLayouts> renderLayouts() {
    if (!WorkMeter::running()) return nullptr;
    auto layouts = std::static_pointer_cast<RenderLayouts>(WorkMeter::shared());
    if (!layouts || layouts->thread != std::this_thread::get_id()) {
        layouts = std::make_shared<RenderLayouts>();
        WorkMeter::setShared(layouts);
    }
    return layouts;
}

// What laying the text out costs the meter: a run and each character (a glyph, near enough).
double layoutWork(const std::string& text) {
    const auto characters = std::count_if(text.begin(), text.end(), [](char byte) { return (byte & 0xc0) != 0x80; });
    return WorkMeter::aRunLaidOut + static_cast<double>(characters) * WorkMeter::aGlyphLaidOut;
}

void drawAttachment(Context::Impl& context, const TextAttachment& attachment, double x, double baseline) {
    if (!hasValidLayout(attachment.image)) return;
    Rect bounds = attachment.effectiveBounds();
    Rect rect{x + bounds.minX(), baseline - bounds.maxY(), bounds.width(), bounds.height()};
    if (rect.isEmpty()) return;
    PatternPointer pattern =
        bitmapPattern(attachment.image, rect, BitmapPlacement::firstRowAtMinY, context.state.interpolation);
    cairo_save(context.cairo);
    cairo_rectangle(context.cairo, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(context.cairo);
    cairo_set_source(context.cairo, pattern.get());
    cairo_paint_with_alpha(context.cairo, context.state.alpha);
    cairo_restore(context.cairo);
}

// The font's em on the device, along the longer axis of the current transform.
double devicePixelsAnEm(cairo_t* cairo, PangoFont* font) {
    PangoFontDescription* description = pango().font_describe_with_absolute_size(font);
    double em = fromPango(pango().font_description_get_size(description));
    pango().font_description_free(description);
    double xx = em, xy = 0, yx = 0, yy = em;
    cairo_user_to_device_distance(cairo, &xx, &xy);
    cairo_user_to_device_distance(cairo, &yx, &yy);
    return std::max(std::hypot(xx, xy), std::hypot(yx, yy));
}

void drawGlyphs(Context::Impl& context, const TextAttributes& attributes, PangoFont* font, PangoGlyphString* glyphs,
                double x, double baseline) {
    cairo_t* cairo = context.cairo;
    const double em = devicePixelsAnEm(cairo, font);
    if (em > maximumFontPixels) return;  // beyond every bitmap, and poisonous
    // Each glyph filled, outlined or both, and the pixels of its em.
    const int passes = (attributes.strokeWidth <= 0) + (attributes.strokeWidth != 0);
    if (!WorkMeter::charge(WorkMeter::aGlyphStretch + passes * glyphs->num_glyphs * (WorkMeter::aGlyph + em * em * WorkMeter::aPixel)))
        return;
    Color foreground = attributes.foregroundColor.value_or(Color::black());
    if (attributes.strokeWidth <= 0) {
        context.setSourceColor(foreground);
        cairo_move_to(cairo, x, baseline);
        pango().cairo_show_glyph_string(cairo, font, glyphs);
    }
    if (attributes.strokeWidth != 0) {
        cairo_new_path(cairo);
        cairo_move_to(cairo, x, baseline);
        pango().cairo_glyph_string_path(cairo, font, glyphs);
        cairo_set_line_width(cairo, std::abs(attributes.strokeWidth) / 100 * attributes.font.pointSize());
        context.setSourceColor(attributes.strokeColor.value_or(foreground));
        cairo_stroke(cairo);
    }
}

// Pango runs follow its own attribute changes; colours and strokes can change inside one, so each run
// is drawn in stretches of glyphs that share one of our runs.
void drawRun(Context::Impl& context, const AttributedString& string, PangoLayoutRun* run, double x, double baseline) {
    PangoGlyphString* glyphs = run->glyphs;
    auto ownRun = [&](int glyph) { return string.runAt(std::size_t(run->item->offset + glyphs->log_clusters[glyph])); };
    for (int start = 0; start < glyphs->num_glyphs;) {
        const AttributedString::Run* own = ownRun(start);
        int end = start;
        std::int64_t width = 0;  // glyphs of a huge font overflow an int
        for (; end < glyphs->num_glyphs && ownRun(end) == own; ++end) width += glyphs->glyphs[end].geometry.width;
        if (own && own->attachment) {
            drawAttachment(context, *own->attachment, x, baseline);
        } else if (own) {
            PangoGlyphString stretch{};
            stretch.num_glyphs = end - start;
            stretch.glyphs = glyphs->glyphs + start;
            stretch.log_clusters = glyphs->log_clusters + start;
            drawGlyphs(context, own->attributes, run->item->analysis.font, &stretch, x, baseline);
        }
        x += double(width) / PANGO_SCALE;
        start = end;
    }
}

}  // namespace

TextLayout TextLayout::make(const AttributedString& string, const TextLayoutOptions& options) {
    thread_local LayoutCache cache;
    const auto painted = [&](std::shared_ptr<const TextShape> shape) {
        return std::make_shared<const Impl>(Impl{string, std::move(shape)});
    };
    std::string key = cacheKey(string, options);
    // A render looks in its own layouts alone, so that what it is charged does not depend on what the
    // thread laid out before.
    const std::shared_ptr<RenderLayouts> render = renderLayouts();
    if (PaintedShape* found = render ? render->find(key) : cache.find(key)) {
        // The key holds the text itself, so runs alike are strings alike.
        if ((*found)->string.runs() != string.runs()) *found = painted((*found)->shape);
        return TextLayout(*found);
    }
    // Past a spent meter nothing more is laid out: an empty layout draws nothing.
    if (!WorkMeter::charge(layoutWork(string.string())))
        return TextLayout(painted(std::make_shared<const TextShape>()));
    PaintedShape impl = painted(build(string, options));
    // Each stretch shaped apart past the first costs a run's layout more (known once laid out); a meter
    // spent by it stops the next.
    if (const std::size_t items = impl->shape->items; items > 1)
        WorkMeter::charge(static_cast<double>(items - 1) * WorkMeter::aRunLaidOut);
    if (render) {
        render->insert(std::move(key), impl);
    } else {
        cache.insert(std::move(key), impl);
    }
    return TextLayout(std::move(impl));
}

TextMeasurement TextLayout::measurement() const { return impl_->shape->measurement; }

double TextLayout::firstBaseline() const {
    return impl_->shape->visibleLines > 0 ? impl_->shape->firstBaseline : 0;
}

void TextLayout::draw(Context& context, Point origin) const {
    const TextShape& shape = *impl_->shape;
    if (!shape.layout || shape.visibleLines == 0) return;
    // Its lines walked, clipped and composited, before any glyph is.
    if (!WorkMeter::charge(WorkMeter::aRunDrawn)) return;
    Context::Impl& target = ContextAccess::impl(context);
    cairo_t* cairo = target.synced();
    auto paint = [&] {
        PangoLayoutIter* iter = pango().layout_get_iter(shape.layout.get());
        int line = 0;
        do {
            PangoLayoutRun* run = pango().layout_iter_get_run_readonly(iter);
            if (!run) {
                if (++line >= shape.visibleLines) break;
                continue;
            }
            PangoRectangle logical;
            pango().layout_iter_get_run_extents(iter, nullptr, &logical);
            double baseline = origin.y + fromPango(pango().layout_iter_get_baseline(iter));
            drawRun(target, impl_->string, run, origin.x + fromPango(logical.x), baseline);
        } while (pango().layout_iter_next_run(iter));
        pango().layout_iter_free(iter);
    };
    auto clipToText = [&] {
        // Generous, for glyph ink beyond the logical box (italics, strokes).
        double margin = shape.measurement.size.height;
        cairo_rectangle(cairo, origin.x - margin, origin.y - margin,
                        std::max(shape.layoutWidth, shape.measurement.size.width) + 2 * margin,
                        shape.measurement.size.height + 2 * margin);
        cairo_clip(cairo);
    };
    target.composite(paint, clipToText);
}

void drawText(Context& context, const AttributedString& string, const Rect& rect, TextLayoutOptions options) {
    Rect box = rect.standardized();
    if (box.isNull()) return;
    options.width = box.width();
    TextLayout::make(string, options).draw(context, box.origin);
}

}  // namespace gfx
