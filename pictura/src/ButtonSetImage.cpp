#include <map>

#include "SetImageSupport.h"
#include "pictura/AssociatedValues.h"
#include "pictura/ButtonWrapper.h"

namespace pictura {

namespace {

const char imageIdentifiersKey = 0;
const char imageTaskKey = 0;
const char backgroundIdentifiersKey = 0;
const char backgroundImageTaskKey = 0;

using Wrapper = PicturaWrapper<std::shared_ptr<ui::Button>>;
// State raw value to the cell of the identifier it waits for. A state's cell, once made, stays.
using Identifiers = std::map<std::uint32_t, detail::TaskIdentifierCellPointer>;

struct Channel {
    const void* identifiersKey;
    const void* taskKey;
    void (ui::Button::*set)(std::shared_ptr<gfx::Image>, ui::ControlState);
};

constexpr Channel imageChannel{&imageIdentifiersKey, &imageTaskKey, &ui::Button::setImage};
constexpr Channel backgroundChannel{&backgroundIdentifiersKey, &backgroundImageTaskKey, &ui::Button::setBackgroundImage};

std::uint32_t rawState(ui::ControlState state) { return static_cast<std::uint32_t>(state); }

std::optional<Source::Identifier::Value> identifierOf(const std::shared_ptr<ui::Button>& button, const Channel& channel,
                                                      ui::ControlState state) {
    const auto identifiers = associatedValue<Identifiers>(button, channel.identifiersKey);
    if (!identifiers) return std::nullopt;
    const auto found = identifiers->find(rawState(state));
    if (found == identifiers->end()) return std::nullopt;
    return found->second->get();
}

detail::TaskIdentifierCellPointer cellOf(const std::shared_ptr<ui::Button>& button, const Channel& channel,
                                         ui::ControlState state) {
    auto identifiers = associatedValue<Identifiers>(button, channel.identifiersKey).value_or(Identifiers{});
    auto& cell = identifiers[rawState(state)];
    if (cell) return cell;
    cell = std::make_shared<detail::TaskIdentifierCell>();
    auto made = cell;
    setRetainedAssociatedValue(button, channel.identifiersKey, std::move(identifiers));
    return made;
}

detail::PlainImageTarget targetOf(const std::shared_ptr<ui::Button>& button, const Channel& channel,
                                  ui::ControlState state) {
    std::weak_ptr<ui::Button> weak = button;
    detail::PlainImageTarget target;
    target.setImage = [weak, channel, state](std::shared_ptr<gfx::Image> image) {
        if (auto strong = weak.lock()) ((*strong).*channel.set)(std::move(image), state);
    };
    target.identifier = [weak, channel, state]() -> std::optional<Source::Identifier::Value> {
        auto strong = weak.lock();
        return strong ? identifierOf(strong, channel, state) : std::nullopt;
    };
    target.setIdentifier = [weak, channel, state](std::optional<Source::Identifier::Value> identifier) {
        if (auto strong = weak.lock()) cellOf(strong, channel, state)->set(identifier);
    };
    target.checkFor = [weak, channel, state](Source::Identifier::Value identifier) {
        auto strong = weak.lock();
        return detail::currentTaskCheck(weak, strong ? cellOf(strong, channel, state) : nullptr, identifier);
    };
    target.setTask = [weak, channel](std::optional<DownloadTask> task) {
        if (auto strong = weak.lock())
            setRetainedAssociatedValue(strong, channel.taskKey, task ? std::any(std::move(*task)) : std::any());
    };
    return target;
}

}  // namespace

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, ui::ControlState state,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(source, state, std::move(placeholder), detail::parseWithSharedDefaults(options),
                    std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<ImageResource>& resource, ui::ControlState state,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(resource), state, std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<foundation::URL>& url, ui::ControlState state,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(url), state, std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, ui::ControlState state,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const PicturaParsedOptionsInfo& parsedOptions,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return detail::setPlainImage(targetOf(base, imageChannel, state), source, placeholder, parsedOptions,
                                 std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setBackgroundImage(const std::optional<Source>& source, ui::ControlState state,
                                                        std::shared_ptr<gfx::Image> placeholder,
                                                        const std::optional<PicturaOptionsInfo>& options,
                                                        DownloadProgressBlock progressBlock,
                                                        CompletionHandler completionHandler) const {
    return setBackgroundImage(source, state, std::move(placeholder), detail::parseWithSharedDefaults(options),
                              std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setBackgroundImage(const std::optional<ImageResource>& resource,
                                                        ui::ControlState state, std::shared_ptr<gfx::Image> placeholder,
                                                        const std::optional<PicturaOptionsInfo>& options,
                                                        DownloadProgressBlock progressBlock,
                                                        CompletionHandler completionHandler) const {
    return setBackgroundImage(detail::sourceOf(resource), state, std::move(placeholder), options,
                              std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setBackgroundImage(const std::optional<foundation::URL>& url,
                                                        ui::ControlState state, std::shared_ptr<gfx::Image> placeholder,
                                                        const std::optional<PicturaOptionsInfo>& options,
                                                        DownloadProgressBlock progressBlock,
                                                        CompletionHandler completionHandler) const {
    return setBackgroundImage(detail::sourceOf(url), state, std::move(placeholder), options, std::move(progressBlock),
                              std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setBackgroundImage(const std::optional<Source>& source, ui::ControlState state,
                                                        std::shared_ptr<gfx::Image> placeholder,
                                                        const PicturaParsedOptionsInfo& parsedOptions,
                                                        DownloadProgressBlock progressBlock,
                                                        CompletionHandler completionHandler) const {
    return detail::setPlainImage(targetOf(base, backgroundChannel, state), source, placeholder, parsedOptions,
                                 std::move(progressBlock), std::move(completionHandler));
}

std::optional<Source::Identifier::Value> Wrapper::taskIdentifier(ui::ControlState state) const {
    return identifierOf(base, imageChannel, state);
}

std::optional<Source::Identifier::Value> Wrapper::backgroundTaskIdentifier(ui::ControlState state) const {
    return identifierOf(base, backgroundChannel, state);
}

void Wrapper::cancelImageDownloadTask() const { detail::cancel(associatedValue<DownloadTask>(base, &imageTaskKey)); }

void Wrapper::cancelBackgroundImageDownloadTask() const {
    detail::cancel(associatedValue<DownloadTask>(base, &backgroundImageTaskKey));
}

}  // namespace pictura
