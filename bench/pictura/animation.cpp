// Playing an animated GIF through the animated image view's animator: one frame change with the
// preload pass it queues (the frame left dropped, the next one decoded), prescaled and at full size,
// next to decoding one frame straight from the image source. The counters give the decoded bytes
// the ring holds against every frame of the animation decoded at once.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "gfx/ImageEncoder.h"
#include "pictura/AnimatedImageAnimator.h"

namespace {

using pictura::AnimatedImageAnimator;
using pictura::AnimatedImageRepeatCount;

constexpr int side = 300;
constexpr int frames = 60;

// A soft blob moving round the picture, one position a frame, each frame lasting 0.04 s.
std::shared_ptr<gfx::ImageSource> movingBlob() {
    std::vector<gfx::GifFrame> gifFrames;
    for (int frame = 0; frame < frames; ++frame) {
        auto bitmap = gfx::Bitmap::make(side, side);
        const double angle = 2 * M_PI * frame / frames;
        const double cx = side / 2.0 + side / 4.0 * std::cos(angle), cy = side / 2.0 + side / 4.0 * std::sin(angle);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const double distance = std::hypot(x - cx, y - cy);
                const auto level = static_cast<std::uint32_t>(std::clamp(255 - distance * 2, 0.0, 255.0));
                bitmap.row(y)[x] = 0xFF000000u | (level << 16) | ((255 - level) << 8) | (y * 255 / side);
            }
        gifFrames.push_back({.bitmap = std::move(bitmap), .delay = 0.04});
    }
    return gfx::ImageSource::create(*gfx::encodeGif(gifFrames, side, side));
}

const std::shared_ptr<gfx::ImageSource>& source() {
    static const auto made = movingBlob();
    return made;
}

std::size_t decodedBytes(const AnimatedImageAnimator& animator) {
    std::size_t bytes = 0;
    for (int index = 0; index < animator.frameCount(); ++index)
        if (auto frame = animator.frame(index)) bytes += frame->bitmap()->pixels.size();
    return bytes;
}

// Argument: the target size in pixels (0: full size).
void BM_FrameChangeWithPreloadPass(benchmark::State& state) {
    const double target = static_cast<double>(state.range(0));
    auto animator = AnimatedImageAnimator::make(source(), {target, target}, {side, side}, 1, 10,
                                                AnimatedImageRepeatCount::infinite());
    animator->buildFrameTableAsync();
    animator->preloadQueue()->sync([] {});
    for (auto _ : state) {
        animator->advanceClock(0.04);
        animator->preloadQueue()->sync([] {});
    }
    state.counters["ringBytes"] = static_cast<double>(decodedBytes(*animator));
    state.counters["allFramesBytes"] = static_cast<double>(frames) * (target > 0 ? target * target : side * side) * 4;
}
BENCHMARK(BM_FrameChangeWithPreloadPass)->Arg(0)->Arg(150)->Unit(benchmark::kMillisecond);

void BM_DecodeOneFrameDirectly(benchmark::State& state) {
    const double target = static_cast<double>(state.range(0));
    std::size_t index = 0;
    for (auto _ : state) {
        auto bitmap = target > 0 ? source()->thumbnailAt(index, {.maxPixelSize = target, .withTransform = true})
                                 : source()->frameAt(index);
        benchmark::DoNotOptimize(bitmap);
        index = (index + 1) % frames;
    }
}
BENCHMARK(BM_DecodeOneFrameDirectly)->Arg(0)->Arg(150)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
