#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>

#include "ImageDecoder.h"
#include "gfx/WorkMeter.h"

namespace gfx::detail {

namespace {

constexpr int maximumScanCount = 1000;  // progressive files with endless scans are a known denial of service
// A scan walks every block of its components however few bytes it has (a scan of end-of-band runs is a few
// bytes for a whole picture), so scans are bounded by the blocks they walk: this many times the picture's
// 8 x 8 blocks, however many components it has (counting theirs, a CMYK file would walk four times what a
// grey one may). An encoder's usual scans walk a colour picture's blocks eight to fourteen times, a CMYK
// one's twenty-four (six a component).
constexpr std::int64_t maximumPassesOverTheBlocks = 32;
// Every 8 x 8 block costs at least one bit in the first scan with Huffman coding; arithmetic coding
// goes lower, so the bound keeps a margin of 16.
constexpr std::int64_t jpegPixelsPerByte = 64 * 8 * 16;
// What libjpeg may hold besides the picture: a progressive file keeps every coefficient of the whole
// image (2 bytes a sample), which for the largest pictures would be gigabytes.
constexpr long decoderMemoryBudget = 512L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void failByJump(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void stayQuiet(j_common_ptr, int) {}
void printNothing(j_common_ptr) {}

// The blocks the scans so far walk, counted as each scan begins (the monitor runs before each row of a
// scan is read).
struct ScanWork {
    jpeg_progress_mgr base{};
    int scan = 0;
    std::int64_t blocks = 0;
};

std::int64_t blocksOf(const jpeg_component_info& component) {
    return std::int64_t(component.width_in_blocks) * component.height_in_blocks;
}

// The picture's own 8 x 8 blocks, whatever its components.
std::int64_t pictureBlocks(const jpeg_decompress_struct& info) {
    return std::int64_t((info.image_width + 7) / 8) * ((info.image_height + 7) / 8);
}

// What a decode of several scans holds besides its bitmap: every coefficient of every component, 2 bytes each.
std::int64_t coefficientBytes(const jpeg_decompress_struct& info) {
    std::int64_t blocks = 0;
    for (int index = 0; index < info.num_components; ++index) blocks += blocksOf(info.comp_info[index]);
    return blocks * DCTSIZE2 * std::int64_t(sizeof(JCOEF));
}

void refuseEndlessScans(j_common_ptr common) {
    if (!common->is_decompressor) return;
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* work = reinterpret_cast<ScanWork*>(info->progress);
    if (info->input_scan_number > maximumScanCount) failByJump(common);
    if (info->input_scan_number == work->scan) return;
    work->scan = info->input_scan_number;
    std::int64_t walked = 0;
    for (int index = 0; index < info->comps_in_scan; ++index) walked += blocksOf(*info->cur_comp_info[index]);
    work->blocks += walked;
    // The scan is the render's work as it comes: a meter spent ends the decode.
    if (work->blocks > maximumPassesOverTheBlocks * pictureBlocks(*info) ||
        !WorkMeter::charge(double(walked) * WorkMeter::aBlockWalked))
        failByJump(common);
}

// One decompression session; cleans up on every path, including after a longjmp.
struct JpegReader {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    ScanWork progress{};
    bool created = false;

    JpegReader() {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = failByJump;
        errors.base.emit_message = stayQuiet;
        errors.base.output_message = printNothing;
        progress.base.progress_monitor = refuseEndlessScans;
    }
    ~JpegReader() {
        if (created) jpeg_destroy_decompress(&info);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // Call inside the setjmp scope. jpeg_mem_src ends short data with a fake end-of-image marker, so
    // a cut progressive file yields the scans that arrived. Only the header's orientation needs the
    // APP1 segments: libjpeg skips every segment it is not told to keep, unread.
    void open(Bytes bytes, bool keepExif) {
        jpeg_create_decompress(&info);
        created = true;
        info.mem->max_memory_to_use = decoderMemoryBudget;
        info.progress = &progress.base;
        jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
        if (keepExif) jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    }

    ImageOrientation orientation() const {
        static constexpr std::uint8_t exifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
        for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
            if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6) continue;
            if (std::memcmp(marker->data, exifHeader, 6) != 0) continue;
            if (auto orientation = exifOrientation(Bytes(marker->data + 6, marker->data_length - 6)))
                return *orientation;
        }
        return ImageOrientation::up;
    }
};

bool isStartOfFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Bytes worth decoding: complete files, or progressive files cut once a scan has begun (the scans so
// far give a coarse picture; a cut baseline file would be mostly missing).
bool decodable(Bytes bytes) {
    JpegLayout layout = jpegLayout(bytes);
    return layout.reachesEnd || (layout.progressive && layout.scans > 0);
}

std::uint32_t fromCmyk(const std::uint8_t* cmyk, bool inverted) {
    // Adobe writes CMYK inverted (each byte is 255 minus the ink), as almost every CMYK file is.
    auto level = [&](int i) -> std::uint32_t { return inverted ? cmyk[i] : 255u - cmyk[i]; };
    std::uint32_t k = level(3);
    std::uint32_t r = (level(0) * k + 127) / 255;
    std::uint32_t g = (level(1) * k + 127) / 255;
    std::uint32_t b = (level(2) * k + 127) / 255;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

}  // namespace

JpegLayout jpegLayout(Bytes bytes) {
    JpegLayout layout;
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return layout;
    std::size_t offset = 2;
    bool inScan = false;
    while (offset + 1 < bytes.size()) {
        if (bytes[offset] != 0xFF) {
            // Entropy-coded data, or stray bytes between two segments, which libjpeg skips up to the
            // next marker with a warning: so do we.
            ++offset;
            continue;
        }
        std::uint8_t marker = bytes[offset + 1];
        if (marker == 0xFF) {  // fill byte
            ++offset;
            continue;
        }
        if (inScan && (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7))) {  // stuffed byte or restart
            offset += 2;
            continue;
        }
        inScan = false;
        if (marker == 0xD9) {
            layout.reachesEnd = true;
            return layout;
        }
        if (offset + 3 >= bytes.size()) return layout;
        std::size_t length = static_cast<std::size_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
        if (length < 2) return layout;
        if (isStartOfFrame(marker)) layout.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        offset += 2 + length;
        if (marker == 0xDA) {
            inScan = true;
            ++layout.scans;
        }
    }
    return layout;
}

std::optional<ImageHeader> jpegHeader(Bytes bytes) {
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
    JpegReader reader;
    if (setjmp(reader.errors.jump)) return std::nullopt;
    reader.open(bytes, true);
    ImageHeader header;
    header.width = static_cast<int>(reader.info.image_width);
    header.height = static_cast<int>(reader.info.image_height);
    header.orientation = reader.orientation();
    if (jpeg_has_multiple_scans(&reader.info)) header.workingBytes = coefficientBytes(reader.info);
    if (!sizeAllowed(header.width, header.height)) return std::nullopt;
    return header;
}

std::optional<Bitmap> decodeJpeg(Bytes bytes, int minimumSide, std::int64_t pixelLimit) {
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || !decodable(bytes)) return std::nullopt;
    JpegReader reader;
    Bitmap bitmap;
    std::vector<std::uint8_t> cmykRow;
    if (setjmp(reader.errors.jump)) return std::nullopt;

    reader.open(bytes, false);
    jpeg_decompress_struct& info = reader.info;
    if (!sizeAllowed(info.image_width, info.image_height)) return std::nullopt;
    if (!plausiblyFilled(bytes.size(), info.image_width, info.image_height, jpegPixelsPerByte)) return std::nullopt;
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (cmyk) info.out_color_space = JCS_CMYK;
    else info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    if (minimumSide > 0) {
        unsigned longest = std::max(info.image_width, info.image_height);
        unsigned denominator = 1;
        while (denominator < 8 && longest / (denominator * 2) >= static_cast<unsigned>(minimumSide)) denominator *= 2;
        info.scale_num = 1;
        info.scale_denom = denominator;
    }
    // Starting reads every scan of a file of several into coefficients of the whole picture, held beside the
    // bitmap: they count against the limit as pixels of as many bytes. One of a single scan starts with
    // buffers of a few rows.
    jpeg_calc_output_dimensions(&info);
    const std::int64_t held = std::int64_t(info.output_width) * info.output_height +
                              (jpeg_has_multiple_scans(&info) ? coefficientBytes(info) / std::int64_t(sizeof(std::uint32_t)) : 0);
    if (!pixelsAllowed(held, pixelLimit)) return std::nullopt;
    // Reading the coefficients costs their bytes, the blocks walked apart (refuseEndlessScans).
    if (!WorkMeter::charge(double(bytes.size()) * WorkMeter::aCodedByte)) return std::nullopt;
    jpeg_start_decompress(&info);
    if (!sizeAllowed(info.output_width, info.output_height)) return std::nullopt;
    if (!pixelsAllowed(std::int64_t(info.output_width) * info.output_height, pixelLimit)) return std::nullopt;

    bitmap = Bitmap::make(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (cmyk) cmykRow.resize(static_cast<std::size_t>(bitmap.width) * 4);
    while (info.output_scanline < info.output_height) {
        int y = static_cast<int>(info.output_scanline);
        JSAMPROW row = cmyk ? cmykRow.data() : reinterpret_cast<JSAMPROW>(bitmap.row(y));
        if (jpeg_read_scanlines(&info, &row, 1) != 1) return std::nullopt;
        if (cmyk) {
            std::uint32_t* out = bitmap.row(y);
            for (int x = 0; x < bitmap.width; ++x) out[x] = fromCmyk(cmykRow.data() + x * 4, info.saw_Adobe_marker);
        }
    }
    jpeg_finish_decompress(&info);
    return bitmap;
}

}  // namespace gfx::detail
