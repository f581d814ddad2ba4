// Every flag of the offline season from its bytes to pixels at 64 pixels high (85 x 64, the flags are
// 4:3), by this library and by librsvg in the same process, so the two can be compared directly.
#include <benchmark/benchmark.h>

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Context.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace {

constexpr double height = 64;

const std::vector<foundation::Data>& flagBytes() {
    static const std::vector<foundation::Data> flags = [] {
        std::vector<foundation::Data> all;
        const auto folder = std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
        if (!std::filesystem::exists(folder)) return all;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.path().extension() != ".svg") continue;
            std::ifstream file(entry.path(), std::ios::binary);
            all.emplace_back(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
        }
        return all;
    }();
    return flags;
}

void Vellum_ParseAndRenderEveryFlag(benchmark::State& state) {
    const auto& flags = flagBytes();
    if (flags.empty()) return state.SkipWithError("no offline-season flags");
    for (auto _ : state) {
        for (const auto& bytes : flags) {
            auto image = vellum::VellumImage::initWithData(bytes);
            if (!image) return state.SkipWithError("a flag did not parse");
            const gfx::Size natural = image->size();
            image->setSize({natural.width * height / natural.height, height});
            auto context = gfx::Context::create(image->size(), {.scale = 1});
            vellum::VellumImageDrawing::renderInContext(*image, *context);
            benchmark::DoNotOptimize(context->takeImage());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(flags.size()));
}
BENCHMARK(Vellum_ParseAndRenderEveryFlag)->Unit(benchmark::kMillisecond);

void Librsvg_ParseAndRenderEveryFlag(benchmark::State& state) {
    const auto& flags = flagBytes();
    if (flags.empty()) return state.SkipWithError("no offline-season flags");
    for (auto _ : state) {
        for (const auto& bytes : flags) {
            GError* error = nullptr;
            RsvgHandle* handle = rsvg_handle_new_from_data(bytes.data(), bytes.size(), &error);
            if (!handle) {
                g_clear_error(&error);
                return state.SkipWithError("librsvg could not read a flag");
            }
            double naturalWidth = 0;
            double naturalHeight = 0;
            if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &naturalWidth, &naturalHeight) || naturalHeight <= 0) {
                // Only a view box: the flags are 4:3.
                naturalWidth = 4;
                naturalHeight = 3;
            }
            const int width = static_cast<int>(std::ceil(naturalWidth * height / naturalHeight));
            cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, static_cast<int>(height));
            cairo_t* cairo = cairo_create(surface);
            const RsvgRectangle viewport{0, 0, static_cast<double>(width), height};
            rsvg_handle_render_document(handle, cairo, &viewport, &error);
            g_clear_error(&error);
            cairo_surface_flush(surface);
            benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
            cairo_destroy(cairo);
            cairo_surface_destroy(surface);
            g_object_unref(handle);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(flags.size()));
}
BENCHMARK(Librsvg_ParseAndRenderEveryFlag)->Unit(benchmark::kMillisecond);

}  // namespace
