#include "pictura/AnimatedImageAnimator.h"

#include <algorithm>
#include <cmath>

#include "pictura/ImageCreating.h"

namespace pictura {

bool AnimatedImageRepeatCount::repeatLimitReached(std::uint64_t counter) const {
    switch (kind_) {
        case Kind::once: return counter >= 1;
        case Kind::finite: return counter >= count_;
        case Kind::infinite: return false;
    }
    return false;
}

std::shared_ptr<AnimatedImageAnimator> AnimatedImageAnimator::make(std::shared_ptr<gfx::ImageSource> imageSource,
                                                                   gfx::Size size, gfx::Size imageSize,
                                                                   double imageScale, int maxFrameCount,
                                                                   AnimatedImageRepeatCount maxRepeatCount,
                                                                   std::shared_ptr<dispatch::Queue> preloadQueue) {
    return std::shared_ptr<AnimatedImageAnimator>(new AnimatedImageAnimator(
        std::move(imageSource), size, imageSize, imageScale, maxFrameCount, maxRepeatCount, std::move(preloadQueue)));
}

AnimatedImageAnimator::AnimatedImageAnimator(std::shared_ptr<gfx::ImageSource> imageSource, gfx::Size size,
                                             gfx::Size imageSize, double imageScale, int maxFrameCount,
                                             AnimatedImageRepeatCount maxRepeatCount,
                                             std::shared_ptr<dispatch::Queue> preloadQueue)
    : size_(size),
      imageSize_(imageSize),
      imageScale_(imageScale),
      maxFrameCount_(std::max(maxFrameCount, 0)),
      imageSource_(std::move(imageSource)),
      maxRepeatCount_(maxRepeatCount),
      preloadQueue_(std::move(preloadQueue)) {}

AnimatedImageAnimator::~AnimatedImageAnimator() { animatedFrames_.removeAll(); }

const std::shared_ptr<dispatch::Queue>& AnimatedImageAnimator::preloadQueue() {
    if (!preloadQueue_) preloadQueue_ = dispatch::Queue::serial(std::string(preloadQueueLabel));
    return preloadQueue_;
}

void AnimatedImageAnimator::buildFrameTableAsync() {
    frameCount_ = imageSource_ ? static_cast<int>(std::min<std::size_t>(imageSource_->frameCount(), INT32_MAX)) : 0;
    animatedFrames_.reserveCapacity(static_cast<std::size_t>(frameCount_));
    std::weak_ptr<AnimatedImageAnimator> weakSelf = weak_from_this();
    preloadQueue()->async([weakSelf] {
        if (auto self = weakSelf.lock()) self->buildFrameTable();
    });
}

void AnimatedImageAnimator::buildFrameTable() {
    animatedFrames_.removeAll();
    if (frameCount_ == 0) {
        loopDuration_.store(0, std::memory_order_release);
        return;
    }
    double total = 0;
    for (int index = 0; index < frameCount_; ++index) {
        double duration = GIFAnimatedImage::getFrameDuration(*imageSource_, static_cast<std::size_t>(index));
        total += std::min(duration, maxTimeStep);
        animatedFrames_.append({nullptr, duration});
        if (index <= maxFrameCount_ && animatedFrames_.at(index))
            animatedFrames_.write(index, AnimatedFrame{decodeFrame(index), duration});
    }
    loopDuration_.store(total, std::memory_order_release);
}

std::shared_ptr<gfx::Image> AnimatedImageAnimator::frame(std::ptrdiff_t index) const {
    auto entry = animatedFrames_.at(index);
    return entry ? entry->image : nullptr;
}

double AnimatedImageAnimator::duration(std::ptrdiff_t index) const {
    auto entry = animatedFrames_.at(index);
    return entry ? entry->duration : std::numeric_limits<double>::infinity();
}

// Each frame is decoded into a bitmap of its own: the source composites the frame on a fresh canvas,
// so no drawing context is shared between threads and no frame shows what an earlier one left.
std::shared_ptr<gfx::Image> AnimatedImageAnimator::decodeFrame(int index) const {
    const auto at = static_cast<std::size_t>(index);
    std::shared_ptr<const gfx::Bitmap> bitmap;
    if (needsPrescaling() && (size_.width != 0 || size_.height != 0))
        bitmap = imageSource_->thumbnailAt(at, {.maxPixelSize = std::max(size_.width, size_.height),
                                                .withTransform = true});
    else
        bitmap = imageSource_->frameAt(at);
    if (!bitmap || bitmap->empty()) return nullptr;
    // A frame covers the image's points whatever its pixel size, so it draws where the image would.
    double scale = imageScale_ > 0 ? imageScale_ : 1;
    if (imageSize_.width > 0) scale = bitmap->width / imageSize_.width;
    return gfx::Image::make(std::move(bitmap), scale, gfx::ImageOrientation::up);
}

std::vector<int> AnimatedImageAnimator::preloadWindowIndexes(int index) const {
    std::vector<int> indexes;
    if (frameCount_ <= 0) return indexes;
    const int ahead = std::min(maxFrameCount_, frameCount_ - 1);
    indexes.reserve(static_cast<std::size_t>(ahead));
    for (int step = 1; step <= ahead; ++step) indexes.push_back((index + step) % frameCount_);
    return indexes;
}

bool AnimatedImageAnimator::advanceClock(double step) {
    // A step that is not a positive number moves nothing (a NaN would stop the clock for good).
    if (step > 0) timeSinceLastFrameChange_ += std::min(step, maxTimeStep);
    const double shown = currentFrameDuration();
    if (!(timeSinceLastFrameChange_ >= shown)) return false;
    timeSinceLastFrameChange_ -= shown;
    advanceFrame();
    return true;
}

void AnimatedImageAnimator::advanceFrame() {
    if (frameCount_ <= 0) return;
    const bool wasLast = isLastFrame();
    setCurrentFrameIndex((currentFrameIndex_ + 1) % frameCount_);
    if (isLastFrame()) {
        ++currentRepeatCount_;
        if (maxRepeatCount_.repeatLimitReached(currentRepeatCount_)) {
            isFinished_ = true;
            if (auto delegate = delegate_.lock()) delegate->animatorDidPlayLoops(*this, currentRepeatCount_);
        }
    } else if (wasLast) {
        if (auto delegate = delegate_.lock()) delegate->animatorDidPlayLoops(*this, currentRepeatCount_);
    }
}

// The pass is given the indices as they are now, on the main thread: read later on the queue they
// could already have moved on, and the frames between would never be dropped.
void AnimatedImageAnimator::setCurrentFrameIndex(int index) {
    previousFrameIndex_ = currentFrameIndex_;
    currentFrameIndex_ = index;
    preloadQueue()->async([self = shared_from_this(), current = currentFrameIndex_, previous = previousFrameIndex_] {
        self->refreshPreloadWindow(current, previous);
    });
}

void AnimatedImageAnimator::refreshPreloadWindow(int current, int previous) {
    if (maxFrameCount_ >= frameCount_ - 1) return;
    auto dropped = animatedFrames_.at(previous);
    if (dropped) animatedFrames_.write(previous, AnimatedFrame{nullptr, dropped->duration});
    // The shown frame first, when the clock reached it before its decoding.
    std::vector<int> wanted{current};
    for (int index : preloadWindowIndexes(current)) wanted.push_back(index);
    for (int index : wanted) {
        auto entry = animatedFrames_.at(index);
        if (!entry || entry->image) continue;
        animatedFrames_.write(index, AnimatedFrame{decodeFrame(index), entry->duration});
    }
    // The dropped picture's last reference ends on the main thread, where it was drawn.
    if (dropped && dropped->image) dispatch::Queue::main()->async([image = std::move(dropped->image)] {});
}

}  // namespace pictura
