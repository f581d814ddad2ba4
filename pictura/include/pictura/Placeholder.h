#pragma once

#include <memory>

#include "gfx/Image.h"
#include "ui/ImageView.h"
#include "ui/View.h"

namespace pictura {

// What an image view shows while it waits for its image. Set-image removes the placeholder it replaces
// and adds the new one. Main thread only.
class Placeholder {
public:
    virtual ~Placeholder() = default;
    virtual void add(const std::shared_ptr<ui::ImageView>& imageView) const = 0;
    virtual void remove(const std::shared_ptr<ui::ImageView>& imageView) const = 0;

    // An image as a placeholder; a view covering the image view as a placeholder.
    static std::shared_ptr<const Placeholder> image(std::shared_ptr<gfx::Image> image);
    static std::shared_ptr<const Placeholder> view(std::shared_ptr<ui::View> view);
};

// Shown as the image view's image; removing it clears the image view's image, whatever it shows by then.
class ImagePlaceholder final : public Placeholder {
public:
    explicit ImagePlaceholder(std::shared_ptr<gfx::Image> image) : image_(std::move(image)) {}

    const std::shared_ptr<gfx::Image>& image() const { return image_; }
    void add(const std::shared_ptr<ui::ImageView>& imageView) const override;
    void remove(const std::shared_ptr<ui::ImageView>& imageView) const override;

private:
    std::shared_ptr<gfx::Image> image_;
};

// A view laid over the image view, centred and as large as it, following its size; removing it takes it
// from whatever superview it has by then.
class ViewPlaceholder final : public Placeholder {
public:
    explicit ViewPlaceholder(std::shared_ptr<ui::View> view) : view_(std::move(view)) {}

    const std::shared_ptr<ui::View>& view() const { return view_; }
    void add(const std::shared_ptr<ui::ImageView>& imageView) const override;
    void remove(const std::shared_ptr<ui::ImageView>& imageView) const override;

private:
    std::shared_ptr<ui::View> view_;
};

}  // namespace pictura
