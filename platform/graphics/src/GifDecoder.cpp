#include "GifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "gfx/WorkMeter.h"

namespace gfx::detail {

namespace {

struct MemoryReader {
    Bytes bytes;
    std::size_t offset = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    std::size_t available = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                                  reader->bytes.size() - reader->offset);
    std::memcpy(out, reader->bytes.data() + reader->offset, available);
    reader->offset += available;
    return static_cast<int>(available);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

bool readExtensions(GifFileType* gif, GraphicsControlBlock& control, std::optional<int>& loopCount) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
    bool netscape = false;
    bool first = true;
    while (block) {
        if (code == GRAPHICS_EXT_FUNC_CODE && first) {
            if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK) return false;
        } else if (code == APPLICATION_EXT_FUNC_CODE) {
            if (first) netscape = block[0] >= 11 && std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
            else if (netscape && block[0] >= 3 && block[1] == 1) loopCount = block[2] | block[3] << 8;
        }
        first = false;
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
    }
    return true;
}

// What decoding the frames so far makes, against the caller's limit.
struct FrameCount {
    std::int64_t limit = unlimitedPixels;
    int declaredWidth = 0;
    int declaredHeight = 0;
    std::int64_t frames = 0;
    std::int64_t ownPixels = 0;  // the frames' own pixels, kept from the parse on
    int right = 0;
    int bottom = 0;

    // Whether one more frame placed so still keeps every decoded frame, as decoded and as shown on the
    // screen reached so far, below the limit. A frame only walked widens the screen and costs nothing.
    bool admits(const GifImageDesc& desc, bool decoded) {
        right = std::max(right, desc.Left + desc.Width);
        bottom = std::max(bottom, desc.Top + desc.Height);
        if (!decoded) return true;
        ++frames;
        ownPixels += std::int64_t(desc.Width) * desc.Height;
        return pixelsAllowed(ownPixels, limit) && pixelsAllowed(frames * width() * height(), limit);
    }
    std::int64_t width() const { return declaredWidth > 0 ? std::min(declaredWidth, right) : right; }
    std::int64_t height() const { return declaredHeight > 0 ? std::min(declaredHeight, bottom) : bottom; }
};

// Passes over a frame's data sub-blocks unread.
bool skipFrameData(GifFileType* gif) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) return false;
    while (block)
        if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
    return true;
}

enum class FrameRead { read, broken, overLimit };

FrameRead readFrame(GifFileType* gif, const GraphicsControlBlock& control, std::int64_t& pixelBudget,
                    FrameCount& count, bool decode, GifFrameRecord& frame) {
    if (DGifGetImageDesc(gif) != GIF_OK) return FrameRead::broken;
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0 || !sizeAllowed(desc.Width, desc.Height)) return FrameRead::broken;
    std::int64_t pixels = static_cast<std::int64_t>(desc.Width) * desc.Height;
    if (pixels > pixelBudget) return FrameRead::broken;
    if (!count.admits(desc, decode)) return FrameRead::overLimit;
    pixelBudget -= pixels;

    frame.left = desc.Left;
    frame.top = desc.Top;
    frame.width = desc.Width;
    frame.height = desc.Height;
    frame.disposal = control.DisposalMode;
    frame.delayCentiseconds = control.DelayTime;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map) return FrameRead::broken;
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        const GifColorType& c = map->Colors[i];
        frame.colors[i] = 0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
    }
    if (control.TransparentColor >= 0 && control.TransparentColor < 256) {
        frame.colors[control.TransparentColor] = 0;
        frame.hasTransparency = true;
    }
    if (!decode) return skipFrameData(gif) ? FrameRead::read : FrameRead::broken;
    // Its codes are the work of decoding it, counted from its sub-blocks' lengths before any is read.
    const auto* reader = static_cast<const MemoryReader*>(gif->UserData);
    std::size_t end = reader->offset;
    while (end < reader->bytes.size() && reader->bytes[end] != 0) end += reader->bytes[end] + 1u;
    if (!WorkMeter::charge(double(end - reader->offset) * WorkMeter::aCodedByte)) return FrameRead::overLimit;

    frame.indices.assign(static_cast<std::size_t>(pixels), 0);
    auto readRow = [&](int y) {
        return DGifGetLine(gif, frame.indices.data() + static_cast<std::size_t>(y) * desc.Width, desc.Width) == GIF_OK;
    };
    if (desc.Interlace) {
        static constexpr int starts[4] = {0, 4, 2, 1};
        static constexpr int steps[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = starts[pass]; y < desc.Height; y += steps[pass])
                if (!readRow(y)) return FrameRead::broken;
    } else {
        for (int y = 0; y < desc.Height; ++y)
            if (!readRow(y)) return FrameRead::broken;
    }
    return FrameRead::read;
}

}  // namespace

std::optional<GifRecord> parseGif(Bytes bytes, std::int64_t pixelLimit, std::size_t framesDecoded) {
    if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0) return std::nullopt;
    MemoryReader reader{bytes};
    int error = 0;
    GifHandle gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif) return std::nullopt;

    GifRecord record;
    record.screenWidth = gif->SWidth;
    record.screenHeight = gif->SHeight;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::int64_t pixelBudget = maximumPixelCount;
    FrameCount count{pixelLimit, gif->SWidth, gif->SHeight};
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) break;
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!readExtensions(gif.get(), control, record.loopCount)) break;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            GifFrameRecord frame;
            const bool decode = record.frames.size() < framesDecoded;
            const FrameRead read = readFrame(gif.get(), control, pixelBudget, count, decode, frame);
            if (read == FrameRead::overLimit) return std::nullopt;
            if (read == FrameRead::broken) break;
            record.frames.push_back(std::move(frame));
            control = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        } else {
            break;
        }
    }
    // A screen of no size takes the first frame's extent, as browsers do.
    if ((record.screenWidth <= 0 || record.screenHeight <= 0) && !record.frames.empty()) {
        record.screenWidth = record.frames[0].left + record.frames[0].width;
        record.screenHeight = record.frames[0].top + record.frames[0].height;
    }
    if (!sizeAllowed(record.screenWidth, record.screenHeight)) return std::nullopt;
    if (record.frames.empty()) return record;
    int right = 0;
    int bottom = 0;
    bool restoresPrevious = false;
    for (const GifFrameRecord& frame : record.frames) {
        right = std::max(right, frame.left + frame.width);
        bottom = std::max(bottom, frame.top + frame.height);
        restoresPrevious = restoresPrevious || frame.disposal == DISPOSE_PREVIOUS;
    }
    record.screenWidth = std::min(record.screenWidth, right);
    record.screenHeight = std::min(record.screenHeight, bottom);
    // Frames walked past the decoded ones may have widened the screen those are shown on.
    if (!pixelsAllowed(count.frames * record.screenWidth * record.screenHeight, pixelLimit)) return std::nullopt;
    std::int64_t canvasBytes = std::int64_t{record.screenWidth} * record.screenHeight * 4;
    if (canvasBytes * (restoresPrevious ? 2 : 1) > gifCanvasByteBudget) return std::nullopt;
    return record;
}

std::shared_ptr<const Bitmap> GifCompositor::frame(std::size_t index) {
    if (index >= record_.frames.size() || record_.frames[index].indices.empty()) return nullptr;
    if (!last_ || *last_ > index) restart();
    while (!last_ || *last_ < index) {
        std::size_t next = last_ ? *last_ + 1 : 0;
        if (last_) dispose(record_.frames[*last_]);
        if (record_.frames[next].disposal == DISPOSE_PREVIOUS) beforeLast_ = *canvas_;
        draw(record_.frames[next]);
        last_ = next;
    }
    return canvas_;
}

void GifCompositor::restart() {
    canvas_ = std::make_shared<Bitmap>(Bitmap::make(record_.screenWidth, record_.screenHeight));
    beforeLast_ = {};
    last_.reset();
}

Bitmap& GifCompositor::writableCanvas() {
    // Only this compositor creates holders, under the source's lock, so a count of one cannot grow.
    if (canvas_.use_count() > 1) canvas_ = std::make_shared<Bitmap>(*canvas_);
    return *canvas_;
}

void GifCompositor::draw(const GifFrameRecord& frame) {
    Bitmap& canvas = writableCanvas();
    int right = std::min(frame.left + frame.width, canvas.width);
    int bottom = std::min(frame.top + frame.height, canvas.height);
    for (int y = frame.top; y < bottom; ++y) {
        const std::uint8_t* indices = frame.indices.data() + static_cast<std::size_t>(y - frame.top) * frame.width;
        std::uint32_t* row = canvas.row(y);
        for (int x = frame.left; x < right; ++x) {
            std::uint32_t color = frame.colors[indices[x - frame.left]];
            if (color) row[x] = color;
        }
    }
}

void GifCompositor::dispose(const GifFrameRecord& frame) {
    if (frame.disposal == DISPOSE_BACKGROUND) {
        // The platform clears to transparent rather than to the background colour.
        int right = std::min(frame.left + frame.width, canvas_->width);
        int bottom = std::min(frame.top + frame.height, canvas_->height);
        if (right <= frame.left || bottom <= frame.top) return;
        Bitmap& canvas = writableCanvas();
        for (int y = frame.top; y < bottom; ++y) std::fill(canvas.row(y) + frame.left, canvas.row(y) + right, 0u);
    } else if (frame.disposal == DISPOSE_PREVIOUS && !beforeLast_.empty()) {
        canvas_ = std::make_shared<Bitmap>(std::exchange(beforeLast_, Bitmap{}));
    }
}

}  // namespace gfx::detail
