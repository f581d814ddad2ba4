#include "pictura/AnimatedImageView.h"

#include "dispatch/RunLoop.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PlatformWrappers.h"
#include "ui/Window.h"

namespace pictura {

namespace {

ui::Size pointSize(const gfx::Image& image) { return {image.size().width, image.size().height}; }

}  // namespace

void AnimatedImageView::TargetProxy::onScreenUpdate() const {
    if (auto view = target.lock()) view->updateFrameIfNeeded();
}

const std::string& AnimatedImageView::commonModes() {
    static const std::string mode = "kCFRunLoopCommonModes";
    return mode;
}

AnimatedImageView::AnimatedImageView() = default;

AnimatedImageView::AnimatedImageView(const ui::Rect& frame) { setFrame(frame); }

std::shared_ptr<AnimatedImageView> AnimatedImageView::make(std::shared_ptr<gfx::Image> image,
                                                           std::shared_ptr<gfx::Image> highlightedImage) {
    auto view = std::make_shared<AnimatedImageView>();
    if (image) view->setFrame({{0, 0}, pointSize(*image)});
    view->setImage(std::move(image));
    view->setHighlightedImage(std::move(highlightedImage));
    return view;
}

AnimatedImageView::~AnimatedImageView() {
    if (displayLink_) displayLink_->invalidate();
}

const std::shared_ptr<dispatch::Queue>& AnimatedImageView::preloadQueue() {
    if (!preloadQueue_) preloadQueue_ = dispatch::Queue::serial(std::string(Animator::preloadQueueLabel));
    return preloadQueue_;
}

const std::shared_ptr<dispatch::DisplayLink>& AnimatedImageView::displayLink() {
    if (!displayLink_) {
        isDisplayLinkInitialized_ = true;
        auto proxy = std::make_shared<TargetProxy>(
            std::static_pointer_cast<AnimatedImageView>(weak_from_this().lock()));
        displayLink_ = dispatch::DisplayLink::create([proxy](dispatch::DisplayLink&) { proxy->onScreenUpdate(); });
        // Paused before it joins the loop, so no frame is scheduled in between.
        displayLink_->setPaused(true);
        displayLink_->addToRunLoop(dispatch::RunLoop::main());
    }
    return displayLink_;
}

void AnimatedImageView::setRunLoopMode(std::string mode) {
    if (mode == runLoopMode_) return;
    stopAnimating();
    runLoopMode_ = std::move(mode);
    if (displayLink_) {
        displayLink_->removeFromRunLoop();
        displayLink_->addToRunLoop(dispatch::RunLoop::main());
    }
    startAnimating();
}

void AnimatedImageView::setRepeatCount(RepeatCount count) {
    if (count == repeatCount_) return;
    repeatCount_ = count;
    reset();
    setNeedsDisplay();
}

void AnimatedImageView::setImage(std::shared_ptr<gfx::Image> image) {
    const bool changed = image != this->image();
    ImageView::setImage(std::move(image));
    if (changed) reset();
    setNeedsDisplay();
}

void AnimatedImageView::setHighlighted(bool highlighted) {
    if (displayLink()->isPaused()) ImageView::setHighlighted(highlighted);
}

bool AnimatedImageView::isAnimating() const {
    if (displayLink_) return !displayLink_->isPaused();
    return ImageView::isAnimating();
}

void AnimatedImageView::startAnimating() {
    if (isAnimating() || !animator_) return;
    if (animator_->maxRepeatCount().repeatLimitReached(animator_->currentRepeatCount())) return;
    displayLink()->setPaused(false);
}

void AnimatedImageView::stopAnimating() {
    ImageView::stopAnimating();
    if (displayLink_) displayLink_->setPaused(true);
}

std::shared_ptr<gfx::Image> AnimatedImageView::displayedFrame() const {
    if (animator_)
        if (auto frame = animator_->currentFrameImage(); frame && frame->bitmap()) return frame;
    return image();
}

// Layers here keep no backing store, so the frame the platform would put in the layer's contents is
// drawn each time the view draws, placed like the image.
void AnimatedImageView::draw(gfx::Context& context, const ui::Rect& rect) {
    if (!animator_) {
        ImageView::draw(context, rect);
        return;
    }
    auto shown = displayedFrame();
    if (!shown) return;
    ui::Size content = image() ? pointSize(*image()) : pointSize(*shown);
    std::optional<gfx::Color> tint;
    if (renderingMode() == ui::ImageRenderingMode::alwaysTemplate) tint = tintColor();
    ui::drawImage(context, *shown, ui::contentRect(contentMode(), content, rect), tint);
}

void AnimatedImageView::didMoveToWindow() {
    ImageView::didMoveToWindow();
    syncPlaybackWithPlacement();
}

void AnimatedImageView::didMoveToSuperview() {
    ImageView::didMoveToSuperview();
    syncPlaybackWithPlacement();
}

void AnimatedImageView::reset() {
    animator_.reset();
    const auto& shown = image();
    if (auto source = shown ? pc(shown).imageSource() : nullptr) {
        const double screenScale = ui::Screen::main().scale;
        const ui::Size bounds = this->bounds().size;
        auto animator = Animator::make(std::move(source), {bounds.width * screenScale, bounds.height * screenScale},
                                       shown->size(), shown->scale(), framePreloadCount_, repeatCount_,
                                       preloadQueue());
        // The animator knows the view only as its delegate, a private base.
        if (auto self = weak_from_this().lock())
            animator->setDelegate(std::shared_ptr<AnimatorDelegate>(self, static_cast<AnimatorDelegate*>(this)));
        animator->setNeedsPrescaling(needsPrescaling_);
        animator->setBackgroundDecode(backgroundDecode_);
        animator->buildFrameTableAsync();
        animator_ = std::move(animator);
    }
    syncPlaybackWithPlacement();
}

void AnimatedImageView::syncPlaybackWithPlacement() {
    if (!autoPlayAnimatedImage_ || !animator_) return;
    if (superview() && window())
        startAnimating();
    else
        stopAnimating();
}

void AnimatedImageView::updateFrameIfNeeded() {
    // Held here: a delegate told of a loop may set another image, which drops the view's animator.
    auto animator = animator_;
    if (!animator) return;
    if (animator->isFinished()) {
        stopAnimating();
        if (auto delegate = delegate_.lock()) delegate->animatedImageViewDidFinishAnimating(*this);
        return;
    }
    const auto& link = displayLink();
    const int framesPerSecond = link->preferredFramesPerSecond();
    const double step = framesPerSecond > 0 ? 1.0 / framesPerSecond : link->duration();
    if (animator->advanceClock(step)) setNeedsDisplay();
}

void AnimatedImageView::animatorDidPlayLoops(AnimatedImageAnimator&, std::uint64_t count) {
    if (auto delegate = delegate_.lock()) delegate->animatedImageView(*this, count);
}

}  // namespace pictura
