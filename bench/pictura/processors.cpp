// Each built-in processor on a 1000 x 1000 picture, next to the same work done directly with Cairo or the
// graphics layer's pixel filters; and downsampling a 4000 x 3000 JPEG next to libjpeg-turbo's scaled
// decoding. The ratios of each pair are what to watch.
#include <benchmark/benchmark.h>
#include <cairo/cairo.h>

#include <cmath>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <memory>

#include "gfx/BoxBlur.h"
#include "gfx/Filters.h"
#include "gfx/ImageEncoder.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PlatformWrappers.h"

namespace {

using namespace pictura;
constexpr int side = 1000;

gfx::Bitmap pattern(int width, int height) {
    auto bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.row(y)[x] = 0xFF000000u | (std::uint32_t(x * 7 % 256) << 16) | (std::uint32_t(y * 3 % 256) << 8) |
                               std::uint32_t((x + y) % 256);
    return bitmap;
}

const std::shared_ptr<gfx::Image>& picture() {
    static const auto image = gfx::Image::fromBitmap(pattern(side, side));
    return image;
}

void runProcessor(benchmark::State& state, const ImageProcessor& processor) {
    PicturaParsedOptionsInfo options;
    ImageProcessItem item = picture();
    for (auto _ : state) benchmark::DoNotOptimize(processor.process(item, options));
}

// Cairo over the same pixels: a source surface on the bitmap, a fresh target surface of `width` x
// `height`, `draw` between them.
template <class Draw>
void runCairo(benchmark::State& state, int width, int height, Draw draw) {
    const auto& bitmap = *picture()->bitmap();
    cairo_surface_t* source = cairo_image_surface_create_for_data(const_cast<unsigned char*>(bitmap.pixels.data()),
                                                                  CAIRO_FORMAT_ARGB32, side, side, bitmap.stride);
    for (auto _ : state) {
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cairo = cairo_create(target);
        draw(cairo, source);
        cairo_destroy(cairo);
        cairo_surface_flush(target);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
        cairo_surface_destroy(target);
    }
    cairo_surface_destroy(source);
}

void roundedRectangle(cairo_t* cairo, double x, double y, double width, double height, double radius) {
    cairo_new_sub_path(cairo);
    cairo_arc(cairo, x + width - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cairo, x + width - radius, y + height - radius, radius, 0, M_PI / 2);
    cairo_arc(cairo, x + radius, y + height - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cairo, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cairo);
}

void blend(benchmark::State& state) {
    runProcessor(state, BlendImageProcessor(gfx::BlendMode::multiply, 0.8, gfx::Color::white()));
}
void blendCairo(benchmark::State& state) {
    runCairo(state, side, side, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_set_source_rgba(cairo, 1, 1, 1, 1);
        cairo_paint(cairo);
        cairo_set_operator(cairo, CAIRO_OPERATOR_MULTIPLY);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_paint_with_alpha(cairo, 0.8);
    });
}

void roundCorner(benchmark::State& state) {
    runProcessor(state, RoundCornerImageProcessor(40.0, std::nullopt, RectCorner::all(), std::nullopt));
}
void roundCornerCairo(benchmark::State& state) {
    runCairo(state, side, side, [](cairo_t* cairo, cairo_surface_t* source) {
        roundedRectangle(cairo, 0, 0, side, side, 40);
        cairo_clip(cairo);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_paint(cairo);
    });
}

void border(benchmark::State& state) {
    runProcessor(state, BorderImageProcessor({.color = {0, 0, 0, 0.5}, .lineWidth = 6, .radius = Radius::point(20)}));
}
void borderCairo(benchmark::State& state) {
    runCairo(state, side, side, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_paint(cairo);
        roundedRectangle(cairo, 3, 3, side - 6, side - 6, 17);
        cairo_set_source_rgba(cairo, 0, 0, 0, 0.5);
        cairo_set_line_width(cairo, 6);
        cairo_set_line_cap(cairo, CAIRO_LINE_CAP_SQUARE);
        cairo_stroke(cairo);
    });
}

void resizing(benchmark::State& state) { runProcessor(state, ResizingImageProcessor({500, 300}, ContentMode::aspectFit)); }
void resizingCairo(benchmark::State& state) {
    runCairo(state, 300, 300, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_scale(cairo, 0.3, 0.3);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(cairo_get_source(cairo), CAIRO_EXTEND_PAD);
        cairo_paint(cairo);
    });
}

void overlay(benchmark::State& state) { runProcessor(state, OverlayImageProcessor({1, 0, 0, 1}, 0.5)); }
void overlayCairo(benchmark::State& state) {
    runCairo(state, side, side, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_set_source_rgba(cairo, 1, 0, 0, 1);
        cairo_paint(cairo);
        cairo_set_operator(cairo, CAIRO_OPERATOR_DEST_IN);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_paint(cairo);
        cairo_set_operator(cairo, CAIRO_OPERATOR_ATOP);
        cairo_paint_with_alpha(cairo, 0.5);
    });
}

void cropping(benchmark::State& state) { runProcessor(state, CroppingImageProcessor({500, 500}, {0.5, 0.5})); }
void croppingCairo(benchmark::State& state) {
    runCairo(state, 500, 500, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cairo, source, -250, -250);
        cairo_paint(cairo);
    });
}

void downsampling(benchmark::State& state) { runProcessor(state, DownsamplingImageProcessor({100, 100})); }
void downsamplingCairo(benchmark::State& state) {
    runCairo(state, 100, 100, [](cairo_t* cairo, cairo_surface_t* source) {
        cairo_scale(cairo, 0.1, 0.1);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
        cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cairo);
    });
}

// No Cairo blur: the direct form is three passes of the graphics layer's box convolution (kernel 9 for
// radius 4).
void blur(benchmark::State& state) { runProcessor(state, BlurImageProcessor(4)); }
void blurDirect(benchmark::State& state) {
    for (auto _ : state) {
        auto pixels = gfx::boxBlur(*picture()->bitmap(), 9, 9);
        pixels = gfx::boxBlur(pixels, 9, 9);
        benchmark::DoNotOptimize(gfx::boxBlur(pixels, 9, 9));
    }
}

void tint(benchmark::State& state) { runProcessor(state, TintImageProcessor({0, 0, 1, 0.4})); }
void tintDirect(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(gfx::sourceOver(gfx::constantColor({0, 0, 1, 0.4}, side, side), *picture()->bitmap()));
}

void colorControls(benchmark::State& state) { runProcessor(state, ColorControlsProcessor(0.1, 1.1, 0.5, 0.3)); }
void colorControlsDirect(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(gfx::exposureAdjust(gfx::colorControls(*picture()->bitmap(), 0.1, 1.1, 0.5), 0.3));
}

void blackWhite(benchmark::State& state) { runProcessor(state, BlackWhiteProcessor()); }
void blackWhiteDirect(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(gfx::exposureAdjust(gfx::colorControls(*picture()->bitmap(), 0, 1, 0), 0.7));
}

BENCHMARK(blend)->Unit(benchmark::kMillisecond);
BENCHMARK(blendCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(roundCorner)->Unit(benchmark::kMillisecond);
BENCHMARK(roundCornerCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(border)->Unit(benchmark::kMillisecond);
BENCHMARK(borderCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(resizing)->Unit(benchmark::kMillisecond);
BENCHMARK(resizingCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(overlay)->Unit(benchmark::kMillisecond);
BENCHMARK(overlayCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(cropping)->Unit(benchmark::kMillisecond);
BENCHMARK(croppingCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(downsampling)->Unit(benchmark::kMillisecond);
BENCHMARK(downsamplingCairo)->Unit(benchmark::kMillisecond);
BENCHMARK(blur)->Unit(benchmark::kMillisecond);
BENCHMARK(blurDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(tint)->Unit(benchmark::kMillisecond);
BENCHMARK(tintDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(colorControls)->Unit(benchmark::kMillisecond);
BENCHMARK(colorControlsDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(blackWhite)->Unit(benchmark::kMillisecond);
BENCHMARK(blackWhiteDirect)->Unit(benchmark::kMillisecond);

// A 4000 x 3000 photo shown at 100 x 100 points on a 2x screen: 200 x 150 pixels.
const foundation::Data& photo() {
    static const auto data = *gfx::encodeJpeg(pattern(4000, 3000), 0.85);
    return data;
}

void downsamplingJpeg(benchmark::State& state) {
    DownsamplingImageProcessor processor({100, 100});
    PicturaParsedOptionsInfo options({PicturaOptionsInfoItem::scaleFactor(2)});
    ImageProcessItem item = photo();
    for (auto _ : state) benchmark::DoNotOptimize(processor.process(item, options));
}

// libjpeg-turbo decoding at 1/8 scale (500 x 375, the smallest that covers 200 pixels) and Cairo's
// area filter down to 200 x 150: the same work without the library around it.
void downsamplingJpegDirect(benchmark::State& state) {
    const auto& data = photo();
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 8;
        info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
        const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
        std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * stride;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);

        cairo_surface_t* source =
            cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, width, height, stride);
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 150);
        cairo_t* cairo = cairo_create(target);
        cairo_scale(cairo, 200.0 / width, 150.0 / height);
        cairo_set_source_surface(cairo, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cairo), CAIRO_FILTER_GOOD);
        cairo_set_operator(cairo, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cairo);
        cairo_destroy(cairo);
        cairo_surface_flush(target);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
        cairo_surface_destroy(target);
        cairo_surface_destroy(source);
    }
}
BENCHMARK(downsamplingJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(downsamplingJpegDirect)->Unit(benchmark::kMillisecond);

}  // namespace
