#include "gfx/Font.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

#include "PangoText.h"

namespace gfx {

namespace {

constexpr std::array<double, 9> weightTraits{-0.8, -0.6, -0.4, 0.0, 0.23, 0.3, 0.4, 0.56, 0.62};
constexpr const char* systemFamily = "DejaVu Sans";

bool isGenericAlias(std::string_view family) {
    for (std::string_view alias : {"Sans", "Serif", "Monospace", "System-ui", "Cursive", "Fantasy", "Emoji", "Math"})
        if (family == alias) return true;
    return false;
}

double sanitizedSize(double size) { return std::isfinite(size) && size > 0 ? size : 0; }

FontMetrics measureMetrics(const Font& font) {
    if (!pango()) return {};
    PangoContext* context = threadPangoContext();
    FontDescriptionPointer description = fontDescription(font);
    FontMetrics result;
    PangoFontMetrics* metrics = pango().context_get_metrics(context, description.get(), nullptr);
    result.ascender = fromPango(pango().font_metrics_get_ascent(metrics));
    result.descender = -fromPango(pango().font_metrics_get_descent(metrics));
    result.lineHeight = result.ascender - result.descender;
    pango().font_metrics_unref(metrics);
    // Pango has no cap height; the ink of a capital H is exactly that.
    GObjectPointer<PangoLayout> layout(pango().layout_new(context));
    pango().layout_set_font_description(layout.get(), description.get());
    pango().layout_set_text(layout.get(), "H", 1);
    PangoRectangle ink;
    pango().layout_get_extents(layout.get(), &ink, nullptr);
    result.capHeight = fromPango(ink.height);
    return result;
}

}  // namespace

double weightTrait(FontWeight weight) { return weightTraits[static_cast<std::size_t>(weight)]; }

Font::Font(std::string family, double size, double weight, unsigned traits)
    : family_(std::move(family)),
      size_(sanitizedSize(size)),
      weight_(std::isfinite(weight) ? std::clamp(weight, -1.0, 1.0) : 0),
      traits_(traits & (FontTraits::italic | FontTraits::condensed | FontTraits::expanded)) {
    if (traits & FontTraits::bold) weight_ = std::max(weight_, weightTrait(FontWeight::bold));
}

Font Font::systemFont(double size, FontWeight weight) { return Font(systemFamily, size, weightTrait(weight), 0); }

Font Font::italicSystemFont(double size) { return Font(systemFamily, size, 0, FontTraits::italic); }

Font Font::preferredFont(TextStyle style) {
    switch (style) {
        case TextStyle::largeTitle: return systemFont(34);
        case TextStyle::title1: return systemFont(28);
        case TextStyle::title2: return systemFont(22);
        case TextStyle::title3: return systemFont(20);
        case TextStyle::headline: return systemFont(17, FontWeight::semibold);
        case TextStyle::body: return systemFont(17);
        case TextStyle::callout: return systemFont(16);
        case TextStyle::subheadline: return systemFont(15);
        case TextStyle::footnote: return systemFont(13);
        case TextStyle::caption1: return systemFont(12);
        case TextStyle::caption2: return systemFont(11);
    }
    return systemFont(17);
}

std::optional<Font> Font::named(std::string_view family, double size) {
    const auto& families = familyNames();
    if (!std::binary_search(families.begin(), families.end(), family)) return std::nullopt;
    return Font(std::string(family), size, 0, 0);
}

Font Font::matching(std::string_view family, double size, double weightTrait, unsigned traits) {
    const auto& families = familyNames();
    bool installed = std::binary_search(families.begin(), families.end(), family);
    return Font(installed ? std::string(family) : systemFamilyName(), size, weightTrait, traits);
}

const std::vector<std::string>& Font::familyNames() {
    // Installed fonts do not change while the app runs.
    static const std::vector<std::string> names = [] {
        if (!pango()) return std::vector<std::string>{};
        GObjectPointer<PangoFontMap> fontMap(pango().cairo_font_map_new());
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango().font_map_list_families(fontMap.get(), &families, &count);
        std::vector<std::string> result;
        for (int i = 0; i < count; ++i) {
            std::string name = pango().font_family_get_name(families[i]);
            if (!isGenericAlias(name)) result.push_back(std::move(name));
        }
        pango().g_free(families);
        std::sort(result.begin(), result.end());
        result.erase(std::unique(result.begin(), result.end()), result.end());
        return result;
    }();
    return names;
}

const std::string& Font::systemFamilyName() {
    static const std::string name = systemFamily;
    return name;
}

unsigned Font::traits() const {
    return traits_ | (weight_ >= weightTrait(FontWeight::bold) - 1e-9 ? FontTraits::bold : 0u);
}

Font Font::withSize(double size) const { return Font(family_, size, weight_, traits_); }
Font Font::withWeight(FontWeight weight) const { return Font(family_, size_, weightTrait(weight), traits_); }
Font Font::withTraits(unsigned traits) const {
    double weight = (traits & FontTraits::bold) || !isBold() ? weight_ : 0.0;
    return Font(family_, size_, weight, traits);
}

FontMetrics Font::metrics() const {
    thread_local std::map<std::tuple<std::string, double, double, unsigned>, FontMetrics> cache;
    auto key = std::make_tuple(family_, size_, weight_, traits_);
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    if (cache.size() > 512) cache.clear();
    return cache.emplace(key, measureMetrics(*this)).first->second;
}

}  // namespace gfx
