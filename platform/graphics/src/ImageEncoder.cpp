#include "gfx/ImageEncoder.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <map>

#include "ImageDecoder.h"

namespace gfx {

namespace {

void appendToData(png_structp png, png_bytep bytes, png_size_t count) {
    static_cast<foundation::Data*>(png_get_io_ptr(png))->append(bytes, count);
}
void flushNothing(png_structp) {}
[[noreturn]] void failSilently(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};
[[noreturn]] void failByJump(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
void stayQuiet(j_common_ptr, int) {}
void printNothing(j_common_ptr) {}

// The colours of a frame, exact when there are few enough, else a fixed 6 x 7 x 6 colour cube.
struct GifPalette {
    static constexpr int cubeSize = 6 * 7 * 6;
    std::vector<GifColorType> colors;
    std::map<std::uint32_t, int> exact;  // straight 0xRRGGBB to index
    bool reduced = false;
    int transparent = -1;

    static std::uint32_t rgb(std::uint32_t pixel) {
        std::uint8_t straight[4];
        detail::unpremultiply(pixel, straight);
        return std::uint32_t(straight[0]) << 16 | std::uint32_t(straight[1]) << 8 | straight[2];
    }
    static bool clear(std::uint32_t pixel) { return (pixel >> 24) < 128; }

    explicit GifPalette(const Bitmap& bitmap) {
        for (int y = 0; y < bitmap.height && !reduced; ++y)
            for (int x = 0; x < bitmap.width && !reduced; ++x) {
                std::uint32_t pixel = bitmap.row(y)[x];
                if (clear(pixel)) continue;
                exact.emplace(rgb(pixel), 0);
                reduced = exact.size() > 255;
            }
        if (reduced) {
            for (int i = 0; i < cubeSize; ++i)
                colors.push_back({static_cast<GifByteType>(i / 42 * 51), static_cast<GifByteType>(i / 6 % 7 * 255 / 6),
                                  static_cast<GifByteType>(i % 6 * 51)});
            transparent = cubeSize;
        } else {
            for (auto& [color, index] : exact) {
                index = static_cast<int>(colors.size());
                colors.push_back({static_cast<GifByteType>(color >> 16), static_cast<GifByteType>(color >> 8),
                                  static_cast<GifByteType>(color)});
            }
            transparent = static_cast<int>(colors.size());
            colors.push_back({0, 0, 0});
        }
        while (colors.size() & (colors.size() - 1) || colors.size() < 2) colors.push_back({0, 0, 0});
    }

    GifByteType index(std::uint32_t pixel) const {
        if (clear(pixel)) return static_cast<GifByteType>(transparent);
        std::uint32_t color = rgb(pixel);
        if (!reduced) return static_cast<GifByteType>(exact.at(color));
        int r = ((color >> 16 & 0xFF) * 5 + 127) / 255, g = ((color >> 8 & 0xFF) * 6 + 127) / 255,
            b = ((color & 0xFF) * 5 + 127) / 255;
        return static_cast<GifByteType>(r * 42 + g * 6 + b);
    }
};

int writeToData(GifFileType* gif, const GifByteType* bytes, int count) {
    static_cast<foundation::Data*>(gif->UserData)->append(bytes, static_cast<std::size_t>(count));
    return count;
}

struct GifWriter {
    GifFileType* gif = nullptr;
    ~GifWriter() {
        int error = 0;
        if (gif) EGifCloseFile(gif, &error);
    }
};

bool putFrame(GifFileType* gif, const GifFrame& frame) {
    GifPalette palette(frame.bitmap);
    GraphicsControlBlock control{static_cast<int>(frame.disposal), false,
                                 static_cast<int>(std::lround(std::clamp(frame.delay, 0.0, 655.35) * 100)),
                                 palette.transparent};
    GifByteType extension[4];
    std::size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK) return false;

    ColorMapObject* map = GifMakeMapObject(static_cast<int>(palette.colors.size()), palette.colors.data());
    if (!map) return false;
    bool ok = EGifPutImageDesc(gif, frame.left, frame.top, frame.bitmap.width, frame.bitmap.height, false, map) == GIF_OK;
    GifFreeMapObject(map);
    std::vector<GifByteType> line(static_cast<std::size_t>(frame.bitmap.width));
    for (int y = 0; ok && y < frame.bitmap.height; ++y) {
        for (int x = 0; x < frame.bitmap.width; ++x) line[x] = palette.index(frame.bitmap.row(y)[x]);
        ok = EGifPutLine(gif, line.data(), frame.bitmap.width) == GIF_OK;
    }
    return ok;
}

}  // namespace

std::optional<foundation::Data> encodePng(const Bitmap& bitmap) {
    if (bitmap.empty()) return std::nullopt;
    foundation::Data data;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failSilently, ignoreWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::nullopt;
    }
    png_set_write_fn(png, &data, appendToData, flushNothing);
    png_set_IHDR(png, info, bitmap.width, bitmap.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bitmap.height; ++y) {
        const std::uint32_t* pixels = bitmap.row(y);
        for (int x = 0; x < bitmap.width; ++x) detail::unpremultiply(pixels[x], row.data() + x * 4);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return data;
}

std::optional<foundation::Data> encodeJpeg(const Bitmap& bitmap, double quality) {
    if (bitmap.empty()) return std::nullopt;
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failByJump;
    errors.base.emit_message = stayQuiet;
    errors.base.output_message = printNothing;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width) * 3);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return std::nullopt;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(bitmap.width);
    info.image_height = static_cast<JDIMENSION>(bitmap.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)), TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // Premultiplied colour is the colour over black.
        const std::uint32_t* pixels = bitmap.row(static_cast<int>(info.next_scanline));
        for (int x = 0; x < bitmap.width; ++x) {
            row[x * 3] = static_cast<std::uint8_t>(pixels[x] >> 16);
            row[x * 3 + 1] = static_cast<std::uint8_t>(pixels[x] >> 8);
            row[x * 3 + 2] = static_cast<std::uint8_t>(pixels[x]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    foundation::Data data(buffer, size);
    std::free(buffer);
    return data;
}

std::optional<foundation::Data> encodeGif(const std::vector<GifFrame>& frames, int width, int height, int loopCount) {
    if (frames.empty() || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return std::nullopt;
    for (const GifFrame& frame : frames)
        if (frame.bitmap.empty() || frame.left < 0 || frame.top < 0 || frame.left + frame.bitmap.width > 0xFFFF ||
            frame.top + frame.bitmap.height > 0xFFFF)
            return std::nullopt;
    foundation::Data data;
    GifWriter writer;
    int error = 0;
    writer.gif = EGifOpen(&data, writeToData, &error);
    if (!writer.gif) return std::nullopt;
    EGifSetGifVersion(writer.gif, true);
    if (EGifPutScreenDesc(writer.gif, width, height, 8, 0, nullptr) != GIF_OK) return std::nullopt;
    if (frames.size() > 1) {
        GifByteType loop[3] = {1, static_cast<GifByteType>(loopCount & 0xFF), static_cast<GifByteType>(loopCount >> 8 & 0xFF)};
        if (EGifPutExtensionLeader(writer.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
            EGifPutExtensionBlock(writer.gif, 11, "NETSCAPE2.0") != GIF_OK ||
            EGifPutExtensionBlock(writer.gif, 3, loop) != GIF_OK || EGifPutExtensionTrailer(writer.gif) != GIF_OK)
            return std::nullopt;
    }
    for (const GifFrame& frame : frames)
        if (!putFrame(writer.gif, frame)) return std::nullopt;
    int closeError = 0;
    int closed = EGifCloseFile(writer.gif, &closeError);
    writer.gif = nullptr;
    if (closed != GIF_OK) return std::nullopt;
    return data;
}

}  // namespace gfx
