#include "pictura/PCBuilder.h"

namespace pictura {

PC::Builder::Builder(Token, std::optional<Source> source)
    : source_(std::move(source)), options_(PicturaManager::shared()->defaultOptions()) {}

std::shared_ptr<PC::Builder> PC::Builder::make(std::optional<Source> source) {
    return std::make_shared<Builder>(Token{}, std::move(source));
}

std::shared_ptr<PC::Builder> PC::Builder::placeholder(std::shared_ptr<const Placeholder> placeholder) {
    placeholder_ = std::move(placeholder);
    return shared_from_this();
}

std::shared_ptr<PC::Builder> PC::Builder::placeholder(std::shared_ptr<gfx::Image> image) {
    return placeholder(image ? Placeholder::image(std::move(image)) : nullptr);
}

std::shared_ptr<gfx::Image> PC::Builder::placeholderImage() const {
    auto image = std::dynamic_pointer_cast<const ImagePlaceholder>(placeholder_);
    return image ? image->image() : nullptr;
}

std::optional<DownloadTask> PC::Builder::set(const std::shared_ptr<ui::ImageView>& imageView) {
    return pc(imageView).setImage(source_, placeholder_, PicturaParsedOptionsInfo(options_), progressForwarder(),
                                  resultForwarder());
}

std::optional<DownloadTask> PC::Builder::set(const std::shared_ptr<gfx::TextAttachment>& attachment,
                                             AttributedViewProvider attributedView) {
    return pc(attachment).setImage(source_, std::move(attributedView), placeholderImage(),
                                   PicturaParsedOptionsInfo(options_), progressForwarder(), resultForwarder());
}

std::optional<DownloadTask> PC::Builder::set(const std::shared_ptr<ui::Button>& button, ui::ControlState state) {
    return pc(button).setImage(source_, state, placeholderImage(), PicturaParsedOptionsInfo(options_),
                               progressForwarder(), resultForwarder());
}

std::optional<DownloadTask> PC::Builder::setBackground(const std::shared_ptr<ui::Button>& button, ui::ControlState state) {
    return pc(button).setBackgroundImage(source_, state, placeholderImage(), PicturaParsedOptionsInfo(options_),
                                         progressForwarder(), resultForwarder());
}

std::optional<DownloadTask> PC::Builder::set(const std::shared_ptr<ui::ListItem>& listItem) {
    return pc(listItem).setImage(source_, placeholderImage(), PicturaParsedOptionsInfo(options_), progressForwarder(),
                                 resultForwarder());
}

std::shared_ptr<PC::Builder> PC::Builder::transition(ImageTransition transition) {
    options_.transition = std::move(transition);
    return shared_from_this();
}

std::shared_ptr<PC::Builder> PC::Builder::fade(double duration) { return transition(ImageTransition::fade(duration)); }

std::shared_ptr<PC::Builder> PC::Builder::keepCurrentImageWhileLoading(bool enabled) {
    options_.keepCurrentImageWhileLoading = enabled;
    return shared_from_this();
}

std::shared_ptr<PC::Builder> PC::Builder::onlyLoadFirstFrame(bool enabled) {
    options_.onlyLoadFirstFrame = enabled;
    return shared_from_this();
}

std::shared_ptr<PC::Builder> PC::Builder::progressiveJPEG(std::optional<ImageProgressive> progressive) {
    options_.progressiveJPEG = std::move(progressive);
    return shared_from_this();
}

std::shared_ptr<PC::Builder> PC::Builder::loadImmediately(bool) { return shared_from_this(); }

PicturaManager::ProgressBlock PC::Builder::progressForwarder() {
    return [self = shared_from_this()](std::int64_t received, std::int64_t expected) {
        self->onProgressDelegate_.call({received, expected});
    };
}

PicturaManager::CompletionHandler PC::Builder::resultForwarder() {
    return [self = shared_from_this()](PicturaManager::RetrieveResult result) {
        if (result) self->onSuccessDelegate_.call(*result);
        else self->onFailureDelegate_.call(result.error());
    };
}

}  // namespace pictura
