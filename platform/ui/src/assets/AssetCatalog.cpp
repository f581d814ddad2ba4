#include "ui/AssetCatalog.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "AssetDrawings.h"
#include "gfx/ImageRenderer.h"

namespace ui {

namespace {

constexpr double imageScale = 2;

const assets::ImageDrawing* findDrawing(std::string_view name) {
    auto drawings = assets::imageDrawings();
    auto found = std::ranges::find(drawings, name, &assets::ImageDrawing::name);
    return found == drawings.end() ? nullptr : &*found;
}

std::shared_ptr<gfx::Image> render(const assets::ImageDrawing& drawing) {
    gfx::ImageRenderer renderer(drawing.size, {.scale = imageScale});
    auto rendered = renderer.image([&](gfx::Context& context) { drawing.draw(context); });
    return gfx::Image::fromBitmap(std::move(rendered.bitmap), rendered.scale);
}

// Each image is drawn once, by whichever thread asks first; the others wait for it.
struct CachedImage {
    std::once_flag drawn;
    std::shared_ptr<gfx::Image> image;
};

CachedImage& cacheSlot(const assets::ImageDrawing& drawing) {
    static std::vector<CachedImage> slots(assets::imageDrawings().size());
    return slots[&drawing - assets::imageDrawings().data()];
}

template <typename Entry>
std::vector<std::string_view> namesOf(std::span<const Entry> entries) {
    std::vector<std::string_view> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
}

}  // namespace

std::shared_ptr<gfx::Image> namedImage(std::string_view name) {
    auto drawing = findDrawing(name);
    if (!drawing) return nullptr;
    auto& slot = cacheSlot(*drawing);
    std::call_once(slot.drawn, [&] { slot.image = render(*drawing); });
    return slot.image;
}

bool namedImageIsTemplate(std::string_view name) {
    auto drawing = findDrawing(name);
    return drawing && drawing->isTemplate;
}

std::optional<gfx::Color> namedColor(std::string_view name) {
    auto colors = assets::namedColors();
    auto found = std::ranges::find(colors, name, &assets::NamedColor::name);
    if (found == colors.end()) return std::nullopt;
    return found->color;
}

std::span<const std::string_view> namedImageNames() {
    static const auto names = namesOf(assets::imageDrawings());
    return names;
}

std::span<const std::string_view> namedColorNames() {
    static const auto names = namesOf(assets::namedColors());
    return names;
}

}  // namespace ui
