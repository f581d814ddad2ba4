#pragma once

// GIF parsing and the compositing of its frames on the logical screen.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "ImageDecoder.h"

namespace gfx::detail {

struct GifFrameRecord {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;  // rows top to bottom, already de-interlaced; empty when not decoded
    // Premultiplied colour of each index; 0 (fully transparent) means the canvas shows through.
    std::array<std::uint32_t, 256> colors{};
    int disposal = 0;
    int delayCentiseconds = 0;
    bool hasTransparency = false;
};

// Bytes that the composited canvases of one GIF may take: the canvas, and a second one when a frame
// restores what was under it. A few bytes of header can declare a screen of any size; the frames' own
// pixels are bounded separately, by maximumPixelCount.
inline constexpr std::int64_t gifCanvasByteBudget = std::int64_t{256} << 20;

struct GifRecord {
    // The logical screen as far as the frames reach into it: what lies beyond every frame's far edge
    // stays transparent for good, so it is never allocated nor shown.
    int screenWidth = 0;
    int screenHeight = 0;
    std::optional<int> loopCount;
    // Only frames whose data arrived whole; a cut or broken frame ends the list.
    std::vector<GifFrameRecord> frames;
};

// Nothing when the header cannot be read, or the canvases its frames need are too large to allocate
// or exceed gifCanvasByteBudget, or its decoded frames would reach `pixelLimit`: each frame's own pixels
// and each as shown on the screen, counted frame by frame before the frame is decoded. Frames past the
// first `framesDecoded` are walked, not decoded: their place, size and timing are read, their data skipped
// (so a picture is sized from its header before any of it is decoded). A decoded frame's coded bytes are
// charged to the work meter running on the thread before they are read (WorkMeter::aCodedByte); past it
// nothing is given.
std::optional<GifRecord> parseGif(Bytes bytes, std::int64_t pixelLimit = unlimitedPixels,
                                  std::size_t framesDecoded = allFrames);

// Frames of a parsed GIF as shown, kept between calls so that playing in order costs one frame each.
class GifCompositor {
public:
    explicit GifCompositor(const GifRecord& record) : record_(record) {}
    // The canvas itself is handed out, not a copy; it is copied only when the next frame is drawn
    // while someone still holds it. Null for a frame that was not decoded.
    std::shared_ptr<const Bitmap> frame(std::size_t index);

private:
    void restart();
    Bitmap& writableCanvas();
    void draw(const GifFrameRecord& frame);
    void dispose(const GifFrameRecord& frame);

    const GifRecord& record_;
    std::shared_ptr<Bitmap> canvas_;
    Bitmap beforeLast_;  // the canvas before the last drawn frame, kept when that frame restores it
    std::optional<std::size_t> last_;
};

}  // namespace gfx::detail
