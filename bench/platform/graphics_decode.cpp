// Decode throughput of the image library against libpng and libjpeg called directly on the same
// bytes; the difference is our overhead (conversion to premultiplied ARGB32, checks, copies).
#include <benchmark/benchmark.h>

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <png.h>

#include <vector>

#include "gfx/Image.h"
#include "gfx/ImageEncoder.h"

namespace {

constexpr int width = 1024;
constexpr int height = 768;

// A photo-like picture: smooth gradients with some texture, partly translucent for PNG.
gfx::Bitmap picture(bool translucent) {
    gfx::Bitmap bitmap = gfx::Bitmap::make(width, height);
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            std::uint32_t a = translucent && x < width / 4 ? 128 : 255;
            std::uint32_t r = (x * 255 / width + (noise >> 28)) & 0xFF;
            std::uint32_t g = (y * 255 / height) & 0xFF;
            std::uint32_t b = ((x + y) / 8) & 0xFF;
            bitmap.row(y)[x] = a << 24 | (r * a / 255) << 16 | (g * a / 255) << 8 | b * a / 255;
        }
    return bitmap;
}

const foundation::Data& pngData() {
    static const foundation::Data data = *gfx::encodePng(picture(true));
    return data;
}

const foundation::Data& jpegData() {
    static const foundation::Data data = *gfx::encodeJpeg(picture(false), 0.85);
    return data;
}

void ours(benchmark::State& state, const foundation::Data& data) {
    for (auto _ : state) {
        auto image = gfx::Image::fromData(data);
        benchmark::DoNotOptimize(image);
        if (!image) state.SkipWithError("decode failed");
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void PngOurs(benchmark::State& state) { ours(state, pngData()); }

void PngLibpngDirect(benchmark::State& state) {
    const foundation::Data& data = pngData();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) state.SkipWithError("header");
        image.format = PNG_FORMAT_BGRA;
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) state.SkipWithError("decode");
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void JpegOurs(benchmark::State& state) { ours(state, jpegData()); }

void JpegLibjpegDirect(benchmark::State& state) {
    const foundation::Data& data = jpegData();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * width * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

}  // namespace

BENCHMARK(PngOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(PngLibpngDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegLibjpegDirect)->Unit(benchmark::kMillisecond);
