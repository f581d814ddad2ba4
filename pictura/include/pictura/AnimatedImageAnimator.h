#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "dispatch/Queue.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"
#include "gfx/ImageSource.h"
#include "pictura/SafeArray.h"

namespace pictura {

// How many loops an animated image view plays (`AnimatedImageView::RepeatCount`).
class AnimatedImageRepeatCount {
public:
    enum class Kind { finite, once, infinite };

    static AnimatedImageRepeatCount finite(std::uint64_t count) { return {Kind::finite, count}; }
    static AnimatedImageRepeatCount once() { return {Kind::once, 0}; }
    static AnimatedImageRepeatCount infinite() { return {Kind::infinite, 0}; }

    Kind kind() const { return kind_; }
    // The count of a finite repeat; 0 for the other kinds.
    std::uint64_t count() const { return count_; }

    // Whether a loop counter has reached the limit: once at 1, finite(n) at n, infinite never.
    bool repeatLimitReached(std::uint64_t counter) const;

    friend bool operator==(const AnimatedImageRepeatCount& a, const AnimatedImageRepeatCount& b) {
        return a.kind_ == b.kind_ && (a.kind_ != Kind::finite || a.count_ == b.count_);
    }

private:
    AnimatedImageRepeatCount(Kind kind, std::uint64_t count) : kind_(kind), count_(count) {}

    Kind kind_;
    std::uint64_t count_;
};

// One entry of the frame table: the decoded frame (none while not decoded) and its display time.
struct AnimatedFrame {
    std::shared_ptr<gfx::Image> image;
    double duration = 0;
};

class AnimatedImageAnimator;

// The view, told by its animator of every loop that ends.
class AnimatorDelegate {
public:
    virtual ~AnimatorDelegate() = default;
    virtual void animatorDidPlayLoops(AnimatedImageAnimator& animator, std::uint64_t count) = 0;
};

// The frames and playback clock of one animated image (`AnimatedImageView::Animator`). Frames come
// from the image's source and are decoded on the view's serial preload queue; only the current frame
// and `maxFrameCount` frames after it (in ring order) are kept decoded. The clock and every getter
// belong to the main thread; the frame table is the only state the preload queue shares.
class AnimatedImageAnimator : public std::enable_shared_from_this<AnimatedImageAnimator> {
public:
    static constexpr std::string_view preloadQueueLabel = "com.tolvane.Pictura.Animator.preloadQueue";

    // `size` is the target size in pixels (zero: frames at full size), `imageSize` the image's size
    // in points. Without a queue, a serial one is made on first use. A negative frame count
    // preloads nothing ahead.
    static std::shared_ptr<AnimatedImageAnimator> make(std::shared_ptr<gfx::ImageSource> imageSource, gfx::Size size,
                                                       gfx::Size imageSize, double imageScale, int maxFrameCount,
                                                       AnimatedImageRepeatCount maxRepeatCount,
                                                       std::shared_ptr<dispatch::Queue> preloadQueue = nullptr);
    ~AnimatedImageAnimator();
    AnimatedImageAnimator(const AnimatedImageAnimator&) = delete;
    AnimatedImageAnimator& operator=(const AnimatedImageAnimator&) = delete;

    // Reads the frame count now and builds the frame table on the preload queue, decoding frame 0
    // and the `maxFrameCount` frames after it. Called once, on the main thread.
    void buildFrameTableAsync();

    // The decoded image at an index: none outside the table or while not decoded.
    std::shared_ptr<gfx::Image> frame(std::ptrdiff_t index) const;
    // The display time at an index; infinity outside the table (the clock then waits).
    double duration(std::ptrdiff_t index) const;
    std::shared_ptr<gfx::Image> currentFrameImage() const { return frame(currentFrameIndex_); }
    double currentFrameDuration() const { return duration(currentFrameIndex_); }

    int currentFrameIndex() const { return currentFrameIndex_; }
    int previousFrameIndex() const { return previousFrameIndex_; }
    bool isLastFrame() const { return currentFrameIndex_ == frameCount_ - 1; }
    int frameCount() const { return frameCount_; }
    int maxFrameCount() const { return maxFrameCount_; }
    // One loop, each frame counting at most `maxTimeStep`; known once the table is built.
    double loopDuration() const { return loopDuration_.load(std::memory_order_acquire); }

    gfx::Size size() const { return size_; }
    gfx::Size imageSize() const { return imageSize_; }
    double imageScale() const { return imageScale_; }
    const AnimatedImageRepeatCount& maxRepeatCount() const { return maxRepeatCount_; }
    static constexpr double maxTimeStep = 1.0;

    // Playback state (main thread).
    double timeSinceLastFrameChange() const { return timeSinceLastFrameChange_; }
    std::uint64_t currentRepeatCount() const { return currentRepeatCount_; }
    bool isFinished() const { return isFinished_; }

    // Decode frames as thumbnails no larger than `size`.
    bool needsPrescaling() const { return needsPrescaling_.load(); }
    void setNeedsPrescaling(bool value) { needsPrescaling_.store(value); }
    // Kept for the view's setting; decoding here always gives finished pixels.
    bool backgroundDecode() const { return backgroundDecode_.load(); }
    void setBackgroundDecode(bool value) { backgroundDecode_.store(value); }

    std::weak_ptr<AnimatorDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<AnimatorDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<dispatch::Queue>& preloadQueue();

    // Moves the clock by `step` seconds (at most `maxTimeStep`) and changes to the next frame when
    // the current one has been shown long enough; at most one frame per call. True when the frame
    // changed.
    bool advanceClock(double step);

    // The frames kept decoded after `index`, in ring order: up to `maxFrameCount` of them, never the
    // frame at `index` itself.
    std::vector<int> preloadWindowIndexes(int index) const;

private:
    AnimatedImageAnimator(std::shared_ptr<gfx::ImageSource> imageSource, gfx::Size size, gfx::Size imageSize,
                          double imageScale, int maxFrameCount, AnimatedImageRepeatCount maxRepeatCount,
                          std::shared_ptr<dispatch::Queue> preloadQueue);

    void advanceFrame();
    void setCurrentFrameIndex(int index);
    void buildFrameTable();
    void refreshPreloadWindow(int current, int previous);
    std::shared_ptr<gfx::Image> decodeFrame(int index) const;

    const gfx::Size size_;
    const gfx::Size imageSize_;
    const double imageScale_;
    const int maxFrameCount_;
    const std::shared_ptr<gfx::ImageSource> imageSource_;
    const AnimatedImageRepeatCount maxRepeatCount_;
    SafeArray<AnimatedFrame> animatedFrames_;
    // Set on the main thread before the table is built; read-only afterwards.
    int frameCount_ = 0;
    double timeSinceLastFrameChange_ = 0;
    std::uint64_t currentRepeatCount_ = 0;
    bool isFinished_ = false;
    std::atomic<bool> needsPrescaling_{true};
    std::atomic<bool> backgroundDecode_{true};
    std::weak_ptr<AnimatorDelegate> delegate_;
    std::atomic<double> loopDuration_{0};
    int currentFrameIndex_ = 0;
    int previousFrameIndex_ = 0;
    std::shared_ptr<dispatch::Queue> preloadQueue_;
};

}  // namespace pictura
