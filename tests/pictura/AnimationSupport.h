#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "ImageSamples.h"
#include "dispatch/Queue.h"
#include "pictura/AnimatedImageAnimator.h"
#include "pictura/ImageWrapper.h"

namespace pictura::samples {

// The bytes of an animated GIF, opened as the source an animated image carries.
inline std::shared_ptr<gfx::ImageSource> gifSource(const std::vector<double>& delays, int width = 4, int height = 3) {
    return gfx::ImageSource::create(gif(delays, width, height));
}

// An image made from GIF bytes without decoding its frames: it carries its source.
inline std::shared_ptr<gfx::Image> animatedGif(const std::vector<double>& delays, int width = 4, int height = 3) {
    return PicturaWrapper<std::shared_ptr<gfx::Image>>::animatedImage(gif(delays, width, height), {});
}

// Waits for everything queued so far on a serial queue.
inline void drain(const std::shared_ptr<dispatch::Queue>& queue) {
    queue->sync([] {});
}

// The indices of the frames an animator holds decoded.
inline std::set<int> decodedFrames(const AnimatedImageAnimator& animator) {
    std::set<int> decoded;
    for (int index = 0; index < animator.frameCount(); ++index)
        if (animator.frame(index)) decoded.insert(index);
    return decoded;
}

}  // namespace pictura::samples
