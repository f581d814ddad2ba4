#include <utility>

#include "SetImageSupport.h"
#include "pictura/AssociatedValues.h"
#include "pictura/CallbackQueue.h"
#include "pictura/ImageViewWrapper.h"
#include "ui/LayoutConstraint.h"

namespace pictura {

namespace {

const char taskIdentifierKey = 0;
const char indicatorKey = 0;
const char indicatorTypeKey = 0;
const char placeholderKey = 0;
const char imageTaskKey = 0;
// Raised by every set-image call on the view, with or without a source: a transition still under way
// for an older call must not put its image over what a newer call shows.
const char requestGenerationKey = 0;

using Wrapper = PicturaWrapper<std::shared_ptr<ui::ImageView>>;

std::uint64_t requestGeneration(const std::shared_ptr<ui::ImageView>& view) {
    return associatedValue<std::uint64_t>(view, &requestGenerationKey).value_or(0);
}

std::uint64_t beginRequest(const std::shared_ptr<ui::ImageView>& view) {
    const auto generation = requestGeneration(view) + 1;
    setRetainedAssociatedValue(view, &requestGenerationKey, generation);
    return generation;
}

std::pair<double, ui::ViewAnimationOptions> animationOf(const ImageTransition& transition) {
    ui::ViewAnimationOptions options;
    switch (transition.kind) {
    case ImageTransition::Kind::none: return {0, options};
    case ImageTransition::Kind::fade: options.transition = ui::ViewTransition::crossDissolve; break;
    case ImageTransition::Kind::flipFromLeft: options.transition = ui::ViewTransition::flipFromLeft; break;
    case ImageTransition::Kind::flipFromRight: options.transition = ui::ViewTransition::flipFromRight; break;
    case ImageTransition::Kind::flipFromTop: options.transition = ui::ViewTransition::flipFromTop; break;
    case ImageTransition::Kind::flipFromBottom: options.transition = ui::ViewTransition::flipFromBottom; break;
    case ImageTransition::Kind::custom: options = transition.options; break;
    }
    return {transition.duration, options};
}

}  // namespace

bool shouldPreloadAllAnimation(const ui::ImageView& view) {
    const auto* answering = dynamic_cast<const AnimationPreloading*>(&view);
    return answering ? answering->shouldPreloadAllAnimation() : true;
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(source, std::move(placeholder), detail::parseWithSharedDefaults(options), std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              CompletionHandler completionHandler) const {
    return setImage(source, std::move(placeholder), options, nullptr, std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<ImageResource>& resource,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(resource), std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<ImageResource>& resource,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(resource), std::move(placeholder), options, nullptr, std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<foundation::URL>& url,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(url), std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<foundation::URL>& url,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(url), std::move(placeholder), options, nullptr, std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::shared_ptr<const ImageDataProvider>& provider,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(provider), std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::shared_ptr<const ImageDataProvider>& provider,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(provider), std::move(placeholder), options, nullptr, std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source,
                                              std::shared_ptr<const Placeholder> placeholder,
                                              const PicturaParsedOptionsInfo& parsedOptions,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    const auto generation = beginRequest(base);
    if (!source) {
        setPlaceholder(std::move(placeholder));
        setTaskIdentifier(std::nullopt);
        if (completionHandler) completionHandler(std::unexpected(detail::emptySource()));
        return std::nullopt;
    }
    auto options = parsedOptions;
    const bool showsSomething = base->image() || this->placeholder();
    if (!options.keepCurrentImageWhileLoading || !showsSomething) setPlaceholder(std::move(placeholder));
    const auto indicator = this->indicator();
    if (indicator) indicator->startIndicatorAnimation();
    const auto identifier = Source::Identifier::next();
    setTaskIdentifier(identifier);
    if (shouldPreloadAllAnimation(*base)) options.preloadAllAnimationData = true;
    detail::appendProgress(options, std::move(progressBlock));

    // Shows a retrieved image through its transition: first a transition without animation that stops
    // the indicator, then the animated one; the completion runs once the animation has finished. A newer
    // call on the view in between wins: this image is then not shown and the completion hears 5002.
    auto showWithTransition = [](const std::shared_ptr<ui::ImageView>& view, std::uint64_t generation,
                                 const Source& source, RetrieveImageResult result, ImageTransition transition,
                                 CompletionHandler completionHandler) {
        ui::View::transition(
            view, 0, {},
            [view] {
                if (auto indicator = Wrapper(view).indicator()) indicator->stopIndicatorAnimation();
            },
            [view, generation, source, result = std::move(result), transition = std::move(transition),
             completionHandler = std::move(completionHandler)](bool) mutable {
                if (requestGeneration(view) != generation) {
                    if (completionHandler) completionHandler(std::unexpected(detail::notCurrentSourceTask(result, source)));
                    return;
                }
                Wrapper(view).setPlaceholder(nullptr);
                auto [duration, animationOptions] = animationOf(transition);
                animationOptions.allowUserInteraction = true;
                // Taken before the completion below takes the result over.
                auto image = result.image;
                ui::View::transition(
                    view, duration, animationOptions,
                    [view, image = std::move(image), transition] {
                        if (transition.kind == ImageTransition::Kind::custom) {
                            if (transition.animations) transition.animations(*view, image);
                        } else {
                            view->setImage(image);
                        }
                    },
                    [transition, result = std::move(result),
                     completionHandler = std::move(completionHandler)](bool finished) {
                        if (transition.kind == ImageTransition::Kind::custom && transition.completion)
                            transition.completion(finished);
                        if (completionHandler) completionHandler(result);
                    });
            });
    };

    // The closures hold the view weakly: the manager's consumers end on other threads, where the last
    // reference to a view must never be dropped. What they touch of it, they touch on the main thread;
    // the check for every received chunk reads only the shared identifier cell.
    std::weak_ptr<ui::ImageView> weakView = base;
    std::weak_ptr<Indicator> weakIndicator = indicator;
    auto task = PicturaManager::shared()->retrieveImage(
        *source, options,
        [weakView](std::optional<DownloadTask> task) {
            CallbackQueue::mainCurrentOrAsync().execute([weakView, task = std::move(task)] {
                if (auto view = weakView.lock()) Wrapper(view).setImageTask(task);
            });
        },
        [weakView](std::shared_ptr<gfx::Image> image) {
            CallbackQueue::mainCurrentOrAsync().execute([weakView, image = std::move(image)] {
                if (auto view = weakView.lock()) view->setImage(image);
            });
        },
        detail::currentTaskCheck(weakView, detail::identifierCell(base, &taskIdentifierKey), identifier),
        [weakView, weakIndicator, identifier, generation, showWithTransition, source = *source, options,
         completionHandler = std::move(completionHandler)](PicturaManager::RetrieveResult result) {
            CallbackQueue::mainCurrentOrAsync().execute([weakView, weakIndicator, identifier, generation,
                                                         showWithTransition, source, options, completionHandler,
                                                         result = std::move(result)] {
                if (auto indicator = weakIndicator.lock()) indicator->stopIndicatorAnimation();
                auto view = weakView.lock();
                if (!view || Wrapper(view).taskIdentifier() != identifier) {
                    if (completionHandler)
                        completionHandler(std::unexpected(detail::notCurrentSourceTask(result, source)));
                    return;
                }
                Wrapper wrapper(view);
                wrapper.setImageTask(std::nullopt);
                wrapper.setTaskIdentifier(std::nullopt);
                if (result) {
                    const bool animates = options.transition.kind != ImageTransition::Kind::none &&
                                          (options.forceTransition || result->cacheType == CacheType::none);
                    if (animates) {
                        showWithTransition(view, generation, source, *result, options.transition, completionHandler);
                        return;
                    }
                    wrapper.setPlaceholder(nullptr);
                    view->setImage(result->image);
                } else if (options.onFailureImage) {
                    wrapper.setPlaceholder(nullptr);
                    view->setImage(*options.onFailureImage);
                }
                if (completionHandler) completionHandler(result);
            });
        });
    setImageTask(task);
    return task;
}

void Wrapper::cancelDownloadTask() const { detail::cancel(imageTask()); }

std::optional<Source::Identifier::Value> Wrapper::taskIdentifier() const {
    return detail::storedIdentifier(base, &taskIdentifierKey);
}

void Wrapper::setTaskIdentifier(std::optional<Source::Identifier::Value> identifier) const {
    detail::identifierCell(base, &taskIdentifierKey)->set(identifier);
}

std::optional<DownloadTask> Wrapper::imageTask() const { return associatedValue<DownloadTask>(base, &imageTaskKey); }

void Wrapper::setImageTask(std::optional<DownloadTask> task) const {
    setRetainedAssociatedValue(base, &imageTaskKey, task ? std::any(std::move(*task)) : std::any());
}

std::shared_ptr<const Placeholder> Wrapper::placeholder() const {
    return associatedValue<std::shared_ptr<const Placeholder>>(base, &placeholderKey).value_or(nullptr);
}

void Wrapper::setPlaceholder(std::shared_ptr<const Placeholder> placeholder) const {
    if (auto applied = this->placeholder()) applied->remove(base);
    if (placeholder) placeholder->add(base);
    else base->setImage(nullptr);
    setRetainedAssociatedValue(base, &placeholderKey, placeholder ? std::any(std::move(placeholder)) : std::any());
}

std::shared_ptr<Indicator> Wrapper::indicator() const {
    return associatedValue<std::shared_ptr<Indicator>>(base, &indicatorKey).value_or(nullptr);
}

void Wrapper::setIndicator(std::shared_ptr<Indicator> indicator) const {
    if (auto installed = this->indicator()) detail::removeLaidOverView(installed->indicatorView(), base);
    if (indicator) {
        if (auto view = indicator->indicatorView()) {
            base->addSubview(view);
            view->setTranslatesAutoresizingMaskIntoConstraints(false);
            const auto offset = indicator->centerOffset();
            view->centerXAnchor().constraintEqualTo(base->centerXAnchor(), offset.x)->setActive(true);
            view->centerYAnchor().constraintEqualTo(base->centerYAnchor(), offset.y)->setActive(true);
            const auto strategy = indicator->sizeStrategy(*base);
            switch (strategy.kind()) {
            case IndicatorSizeStrategy::Kind::intrinsicSize: break;
            case IndicatorSizeStrategy::Kind::full:
                view->heightAnchor().constraintEqualTo(base->heightAnchor(), 0)->setActive(true);
                view->widthAnchor().constraintEqualTo(base->widthAnchor(), 0)->setActive(true);
                break;
            case IndicatorSizeStrategy::Kind::size:
                view->heightAnchor().constraintEqualToConstant(strategy.fixedSize().height)->setActive(true);
                view->widthAnchor().constraintEqualToConstant(strategy.fixedSize().width)->setActive(true);
                break;
            }
            view->setHidden(true);
        }
    }
    setRetainedAssociatedValue(base, &indicatorKey, indicator ? std::any(std::move(indicator)) : std::any());
}

IndicatorType Wrapper::indicatorType() const {
    return associatedValue<IndicatorType>(base, &indicatorTypeKey).value_or(IndicatorType::none());
}

void Wrapper::setIndicatorType(const IndicatorType& type) const {
    switch (type.kind()) {
    case IndicatorType::Kind::none: setIndicator(nullptr); break;
    case IndicatorType::Kind::activity: setIndicator(std::make_shared<ActivityIndicator>()); break;
    case IndicatorType::Kind::image: setIndicator(ImageIndicator::make(type.imageData())); break;
    case IndicatorType::Kind::custom: setIndicator(type.indicator()); break;
    }
    setRetainedAssociatedValue(base, &indicatorTypeKey, type);
}

}  // namespace pictura
