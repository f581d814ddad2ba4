#include "pictura/Placeholder.h"

#include "ui/LayoutConstraint.h"

namespace pictura {

std::shared_ptr<const Placeholder> Placeholder::image(std::shared_ptr<gfx::Image> image) {
    return std::make_shared<const ImagePlaceholder>(std::move(image));
}

std::shared_ptr<const Placeholder> Placeholder::view(std::shared_ptr<ui::View> view) {
    return std::make_shared<const ViewPlaceholder>(std::move(view));
}

void ImagePlaceholder::add(const std::shared_ptr<ui::ImageView>& imageView) const {
    if (imageView) imageView->setImage(image_);
}

void ImagePlaceholder::remove(const std::shared_ptr<ui::ImageView>& imageView) const {
    if (imageView) imageView->setImage(nullptr);
}

void ViewPlaceholder::add(const std::shared_ptr<ui::ImageView>& imageView) const {
    if (!imageView || !view_) return;
    imageView->addSubview(view_);
    view_->setTranslatesAutoresizingMaskIntoConstraints(false);
    ui::LayoutConstraint::activate({
        view_->centerXAnchor().constraintEqualTo(imageView->centerXAnchor()),
        view_->centerYAnchor().constraintEqualTo(imageView->centerYAnchor()),
        view_->heightAnchor().constraintEqualTo(imageView->heightAnchor()),
        view_->widthAnchor().constraintEqualTo(imageView->widthAnchor()),
    });
}

void ViewPlaceholder::remove(const std::shared_ptr<ui::ImageView>&) const {
    if (view_) view_->removeFromSuperview();
}

}  // namespace pictura
