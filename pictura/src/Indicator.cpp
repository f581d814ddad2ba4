#include "pictura/Indicator.h"

#include <algorithm>

namespace pictura {

ActivityIndicator::ActivityIndicator()
    : activityIndicatorView_(std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::medium)) {}

void ActivityIndicator::startIndicatorAnimation() {
    if (animatingCount_ == 0) {
        activityIndicatorView_->startAnimating();
        activityIndicatorView_->setHidden(false);
    }
    ++animatingCount_;
}

void ActivityIndicator::stopIndicatorAnimation() {
    animatingCount_ = std::max(animatingCount_ - 1, 0);
    if (animatingCount_ == 0) {
        activityIndicatorView_->stopAnimating();
        activityIndicatorView_->setHidden(true);
    }
}

std::shared_ptr<ImageIndicator> ImageIndicator::make(const foundation::Data& imageData,
                                                     std::shared_ptr<const ImageProcessor> processor,
                                                     std::optional<PicturaParsedOptionsInfo> options) {
    auto parsed = options ? std::move(*options) : PicturaParsedOptionsInfo();
    parsed.preloadAllAnimationData = true;
    if (!processor) processor = DefaultImageProcessor::defaultProcessor();
    auto image = processor->process(imageData, parsed);
    if (!image) return nullptr;
    auto view = std::make_shared<ui::ImageView>(std::move(image));
    view->setContentMode(ui::ContentMode::center);
    return std::make_shared<ImageIndicator>(std::move(view));
}

void ImageIndicator::startIndicatorAnimation() {
    animatedImageIndicatorView_->startAnimating();
    animatedImageIndicatorView_->setHidden(false);
}

void ImageIndicator::stopIndicatorAnimation() {
    animatedImageIndicatorView_->stopAnimating();
    animatedImageIndicatorView_->setHidden(true);
}

}  // namespace pictura
