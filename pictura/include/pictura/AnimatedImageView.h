#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dispatch/DisplayLink.h"
#include "dispatch/Queue.h"
#include "gfx/Image.h"
#include "pictura/AnimatedImageAnimator.h"
#include "pictura/ImageViewWrapper.h"
#include "ui/ImageView.h"

namespace pictura {

class AnimatedImageView;

// Told of the loops an animated image view plays and of its end. Both have empty defaults.
class AnimatedImageViewDelegate {
public:
    virtual ~AnimatedImageViewDelegate() = default;
    // After each loop, with the number of loops played so far.
    virtual void animatedImageView(AnimatedImageView&, std::uint64_t /*didPlayAnimationLoops*/) {}
    // When the repeat count is reached; the view stays on the last frame.
    virtual void animatedImageViewDidFinishAnimating(AnimatedImageView&) {}
};

// An image view that plays an animated image frame by frame from the image's source (an image made
// from GIF bytes without preloading its frames carries one), keeping only a window of frames
// decoded. The shown frame advances on a display link on the main run loop. Any other image is shown
// as a plain image view shows it. Main thread only, like every view.
class AnimatedImageView : public ui::ImageView, public AnimationPreloading, private AnimatorDelegate {
public:
    using RepeatCount = AnimatedImageRepeatCount;
    using Animator = AnimatedImageAnimator;
    using AnimatedFrame = pictura::AnimatedFrame;

    // What the display link holds instead of the view, so that a view can end while its link lives.
    class TargetProxy {
    public:
        explicit TargetProxy(std::weak_ptr<AnimatedImageView> target) : target(std::move(target)) {}
        // Advances the target's frame when the target still exists.
        void onScreenUpdate() const;

        std::weak_ptr<AnimatedImageView> target;
    };

    // The default run-loop mode. The run loop here fires timers in every mode, so the mode is only
    // remembered and compared.
    static const std::string& commonModes();

    AnimatedImageView();
    explicit AnimatedImageView(const ui::Rect& frame);
    static std::shared_ptr<AnimatedImageView> make(std::shared_ptr<gfx::Image> image,
                                                   std::shared_ptr<gfx::Image> highlightedImage = nullptr);
    ~AnimatedImageView() override;

    // Start and stop by themselves as the view enters or leaves a window.
    bool autoPlayAnimatedImage() const { return autoPlayAnimatedImage_; }
    void setAutoPlayAnimatedImage(bool value) { autoPlayAnimatedImage_ = value; }
    // Frames decoded ahead of the shown one. This and the two settings below reach the next animator
    // only (a new image or repeat count), never a running one.
    int framePreloadCount() const { return framePreloadCount_; }
    void setFramePreloadCount(int count) { framePreloadCount_ = count; }
    bool needsPrescaling() const { return needsPrescaling_; }
    void setNeedsPrescaling(bool value) { needsPrescaling_ = value; }
    bool backgroundDecode() const { return backgroundDecode_; }
    void setBackgroundDecode(bool value) { backgroundDecode_ = value; }

    const std::string& runLoopMode() const { return runLoopMode_; }
    // Moves the display link to the mode and restarts playback as startAnimating() allows.
    void setRunLoopMode(std::string mode);

    const RepeatCount& repeatCount() const { return repeatCount_; }
    // A different count starts the animation again from its first frame.
    void setRepeatCount(RepeatCount count);

    std::weak_ptr<AnimatedImageViewDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<AnimatedImageViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Present only while the image carries an image source.
    const std::shared_ptr<Animator>& animator() const { return animator_; }

    // One serial queue per view, made on first use and shared by all its animators.
    const std::shared_ptr<dispatch::Queue>& preloadQueue();
    bool isDisplayLinkInitialized() const { return isDisplayLinkInitialized_; }
    // Made on first use, paused, on the main run loop.
    const std::shared_ptr<dispatch::DisplayLink>& displayLink();

    // A different image object starts a new animation; the same one only redraws.
    void setImage(std::shared_ptr<gfx::Image> image) override;
    // Applied only while playback is paused.
    void setHighlighted(bool highlighted) override;
    bool isAnimating() const override;
    // Plays when there is an animator whose repeat count is not used up.
    void startAnimating() override;
    void stopAnimating() override;

    // Set-image leaves the frames to this view instead of decoding them all.
    bool shouldPreloadAllAnimation() const override { return false; }

    // The picture shown now: the current frame, or the image while that frame is not decoded.
    std::shared_ptr<gfx::Image> displayedFrame() const;
    void draw(gfx::Context& context, const ui::Rect& rect) override;

    // One display-link callback: stops a finished animation, else moves the clock by one frame time.
    void updateFrameIfNeeded();

protected:
    void didMoveToWindow() override;
    void didMoveToSuperview() override;

private:
    void reset();
    void syncPlaybackWithPlacement();
    void animatorDidPlayLoops(AnimatedImageAnimator& animator, std::uint64_t count) override;

    bool autoPlayAnimatedImage_ = true;
    int framePreloadCount_ = 10;
    bool needsPrescaling_ = true;
    bool backgroundDecode_ = true;
    std::string runLoopMode_ = commonModes();
    RepeatCount repeatCount_ = RepeatCount::infinite();
    std::weak_ptr<AnimatedImageViewDelegate> delegate_;
    std::shared_ptr<Animator> animator_;
    std::shared_ptr<dispatch::Queue> preloadQueue_;
    bool isDisplayLinkInitialized_ = false;
    std::shared_ptr<dispatch::DisplayLink> displayLink_;
};

}  // namespace pictura
