#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "ImageDecoder.h"

namespace gfx::detail {

namespace {

constexpr std::uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct MemoryReader {
    Bytes bytes;
    std::size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->bytes.size() - reader->offset < count) png_error(png, "truncated");
    std::memcpy(out, reader->bytes.data() + reader->offset, count);
    reader->offset += count;
}

// libpng's own buffers (a row, a chunk's data, the inflate state) never need more than this. A chunk
// over the chunk limit is only a warning to libpng, which then still allocates what the chunk
// announces (a 41-byte file asked for 1.5 GB); refused here, the chunk is skipped instead.
constexpr png_alloc_size_t largestAllocation = 16 * 1024 * 1024;

png_voidp cappedAllocation(png_structp, png_alloc_size_t size) {
    return size > largestAllocation ? nullptr : std::malloc(size);
}
void release(png_structp, png_voidp pointer) { std::free(pointer); }

// libpng's default handlers print to stderr and abort the process on longjmp failure.
[[noreturn]] void failSilently(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

// One read session; the destructor frees libpng state on every path, including after a longjmp.
class PngReader {
public:
    explicit PngReader(Bytes bytes) : reader_{bytes} {
        png_ = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, failSilently, ignoreWarning, nullptr,
                                        cappedAllocation, release);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool valid() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

    // Call inside the setjmp scope: reads the signature and the chunks up to the image data.
    void readInfo() {
        // Side chunks nothing here reads (text, times, histograms, palettes suggested, unknown ones)
        // are skipped unread: kept, 128 compressed texts inflate to a gigabyte from a 1 MB file. What
        // stays is what the pixels or the header need, each chunk at most once.
        static constexpr png_byte unused[] = "bKGD\0cHRM\0hIST\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sTER\0tEXt\0tIME\0zTXt";
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, unused, sizeof unused / 5);
        png_set_user_limits(png_, maximumPixelDimension, maximumPixelDimension);
        png_set_chunk_cache_max(png_, 128);
        png_set_chunk_malloc_max(png_, 8 * 1024 * 1024);
        png_set_read_fn(png_, &reader_, readFromMemory);
        png_read_info(png_, info_);
    }

    ImageHeader header() const {
        ImageHeader header;
        header.width = static_cast<int>(png_get_image_width(png_, info_));
        header.height = static_cast<int>(png_get_image_height(png_, info_));
        int colorType = png_get_color_type(png_, info_);
        header.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png_, info_, PNG_INFO_tRNS);
        png_uint_32 exifLength = 0;
        png_bytep exif = nullptr;
        if (png_get_eXIf_1(png_, info_, &exifLength, &exif) && exif)
            header.orientation = exifOrientation(Bytes(exif, exifLength)).value_or(ImageOrientation::up);
        return header;
    }

private:
    MemoryReader reader_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Shows the picture as browsers do on an sRGB screen: a colour profile or an sRGB chunk names the
// encoding (taken as sRGB here), and only without them does a gAMA chunk say how the samples are
// encoded. A file without any of them is taken as sRGB, as it always was.
void applyFileGamma(png_structp png, png_infop info) {
    if (!png_get_valid(png, info, PNG_INFO_gAMA) || png_get_valid(png, info, PNG_INFO_sRGB) ||
        png_get_valid(png, info, PNG_INFO_iCCP))
        return;
    double fileGamma = 0;
    if (!png_get_gAMA(png, info, &fileGamma) || !(fileGamma > 0)) return;
    png_set_gamma(png, PNG_DEFAULT_sRGB, fileGamma);
}

// Deflate compresses at most 1032 to 1, so the file must hold at least the filtered rows (a filter
// byte and the samples of each row) over 1032.
bool deflatedRowsFit(std::size_t fileSize, const PngReader& reader) {
    const auto width = static_cast<std::int64_t>(png_get_image_width(reader.png(), reader.info()));
    const auto height = static_cast<std::int64_t>(png_get_image_height(reader.png(), reader.info()));
    const std::int64_t bitsPerPixel =
        static_cast<std::int64_t>(png_get_bit_depth(reader.png(), reader.info())) * png_get_channels(reader.png(), reader.info());
    const std::int64_t rowBytes = 1 + (width * bitsPerPixel + 7) / 8;
    return static_cast<std::int64_t>(fileSize) * 1032 >= rowBytes * height;
}

bool hasSignature(Bytes bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), pngSignature, 8) == 0;
}

}  // namespace

std::optional<ImageHeader> pngHeader(Bytes bytes) {
    if (!hasSignature(bytes)) return std::nullopt;
    PngReader reader(bytes);
    if (!reader.valid()) return std::nullopt;
    if (setjmp(png_jmpbuf(reader.png()))) return std::nullopt;
    reader.readInfo();
    ImageHeader header = reader.header();
    if (!sizeAllowed(header.width, header.height)) return std::nullopt;
    return header;
}

std::optional<Bitmap> decodePng(Bytes bytes, std::int64_t pixelLimit) {
    if (!hasSignature(bytes)) return std::nullopt;
    PngReader reader(bytes);
    if (!reader.valid()) return std::nullopt;
    // Declared before setjmp so that a longjmp leaves them in a defined state to destroy.
    Bitmap bitmap;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(reader.png()))) return std::nullopt;

    png_structp png = reader.png();
    reader.readInfo();
    ImageHeader header = reader.header();
    if (!sizeAllowed(header.width, header.height)) return std::nullopt;
    if (!pixelsAllowed(std::int64_t(header.width) * header.height, pixelLimit)) return std::nullopt;
    if (!deflatedRowsFit(bytes.size(), reader)) return std::nullopt;

    // Everything becomes 8-bit RGBA: palettes and low-depth grey expanded, tRNS made alpha.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    applyFileGamma(png, reader.info());
    png_read_update_info(png, reader.info());
    if (png_get_rowbytes(png, reader.info()) != static_cast<png_size_t>(header.width) * 4) return std::nullopt;

    bitmap = Bitmap::make(header.width, header.height);
    rows.resize(static_cast<std::size_t>(header.height));
    for (int y = 0; y < header.height; ++y) rows[y] = bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.stride;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    premultiplyRgbaInPlace(bitmap);
    return bitmap;
}

}  // namespace gfx::detail
