#pragma once

#include <memory>
#include <vector>

#include "gfx/Image.h"
#include "ui/View.h"

namespace ui {

// How content is fitted into a view's bounds.
enum class ContentMode {
    scaleToFill, scaleAspectFit, scaleAspectFill, redraw, center,
    top, bottom, left, right, topLeft, topRight, bottomLeft, bottomRight,
};

// Template images show only their shape, filled with the view's tint colour.
using ImageRenderingMode = gfx::ImageRenderingMode;

// Where content of `contentSize` lands in `bounds` for a content mode.
Rect contentRect(ContentMode mode, Size contentSize, const Rect& bounds);

// Shows an image, fitted by its content mode. It plays animations two ways: a list of images over a
// duration (startAnimating), and an animated image (frames over its duration) as soon as it is set.
// Frames follow foundation::Clock uptime, so a manual clock steps them.
class ImageView : public View {
public:
    ImageView() { setUserInteractionEnabled(false); }
    explicit ImageView(std::shared_ptr<gfx::Image> image);

    const std::shared_ptr<gfx::Image>& image() const { return image_; }
    virtual void setImage(std::shared_ptr<gfx::Image> image);
    const std::shared_ptr<gfx::Image>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<gfx::Image> image);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode);
    ImageRenderingMode renderingMode() const { return renderingMode_; }
    void setRenderingMode(ImageRenderingMode mode);

    const std::vector<std::shared_ptr<gfx::Image>>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<std::shared_ptr<gfx::Image>> images);
    // 0 means a thirtieth of a second a frame.
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    // 0 repeats forever.
    int animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(int count) { animationRepeatCount_ = count; }
    virtual void startAnimating();
    virtual void stopAnimating();
    virtual bool isAnimating() const;

    // The image drawn at uptime `time`: an animation frame, the highlighted image or the image.
    std::shared_ptr<gfx::Image> displayedImage(double time) const;

    Size intrinsicContentSize() const override;
    Size sizeThatFits(Size size) const override;
    void draw(gfx::Context& context, const Rect& rect) override;
    bool isAnimatingContent() const override;

protected:
    void tintColorDidChange() override { setNeedsDisplay(); }

private:
    double listDuration() const;

    std::shared_ptr<gfx::Image> image_;
    std::shared_ptr<gfx::Image> highlightedImage_;
    bool highlighted_ = false;
    ContentMode contentMode_ = ContentMode::scaleToFill;
    ImageRenderingMode renderingMode_ = ImageRenderingMode::automatic;
    std::vector<std::shared_ptr<gfx::Image>> animationImages_;
    double animationDuration_ = 0;
    int animationRepeatCount_ = 0;
    // Uptime when the list animation started; nothing while stopped.
    std::optional<double> listStart_;
    // Uptime when the animated image was set.
    double imageStart_ = 0;
};

// Draws `image` into `rect` of the context: its bitmap upright, or as a template filled with `tint`.
void drawImage(gfx::Context& context, const gfx::Image& image, const Rect& rect, std::optional<gfx::Color> tint);

}  // namespace ui
