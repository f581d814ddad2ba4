#pragma once

#include <memory>
#include <optional>

#include "gfx/AttributedString.h"
#include "gfx/Image.h"
#include "pictura/ButtonWrapper.h"
#include "pictura/ImageProgressive.h"
#include "pictura/ImageTransition.h"
#include "pictura/PC.h"
#include "pictura/PCOptionSetter.h"
#include "pictura/PicturaManager.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/ListItemWrapper.h"
#include "pictura/PicturaOptions.h"
#include "pictura/Placeholder.h"
#include "pictura/Source.h"
#include "pictura/TextAttachmentWrapper.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/ListItem.h"

namespace pictura {

// A request being configured: a source (made by a `PC` factory), a placeholder, the options and three
// callbacks. Each terminal starts an independent request with what the builder holds at that moment
// and keeps the builder alive until the request has ended, so a caller may drop it at once. Requests of
// one builder share its callbacks. Main thread.
class PC::Builder final : public PCOptionSetter<PC::Builder>, public std::enable_shared_from_this<PC::Builder> {
    struct Token {};

public:
    // Made by the `PC` factories only.
    Builder(Token, std::optional<Source> source);
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    // Set once by the factory; absent when the factory was given nothing.
    const std::optional<Source>& source() const { return source_; }
    const std::shared_ptr<const Placeholder>& placeholder() const { return placeholder_; }

    // Starts out as the shared manager's default options; what terminals copy.
    PicturaParsedOptionsInfo& options() { return options_; }
    OnFailureDelegate& onFailureDelegate() { return onFailureDelegate_; }
    OnSuccessDelegate& onSuccessDelegate() { return onSuccessDelegate_; }
    OnProgressDelegate& onProgressDelegate() { return onProgressDelegate_; }
    std::shared_ptr<Builder> delegateObserver() { return shared_from_this(); }
    std::shared_ptr<Builder> receiver() { return shared_from_this(); }

    // None clears it. Image views show either kind; the other targets take only an image placeholder.
    std::shared_ptr<Builder> placeholder(std::shared_ptr<const Placeholder> placeholder);
    std::shared_ptr<Builder> placeholder(std::shared_ptr<gfx::Image> image);
    std::shared_ptr<Builder> transition(ImageTransition transition);
    std::shared_ptr<Builder> fade(double duration);
    std::shared_ptr<Builder> keepCurrentImageWhileLoading(bool enabled = true);
    std::shared_ptr<Builder> onlyLoadFirstFrame(bool enabled = true);
    // None turns progressive display off.
    std::shared_ptr<Builder> progressiveJPEG(std::optional<ImageProgressive> progressive = ImageProgressive{});
    // Kept for callers that name it; requests always start at the terminal.
    std::shared_ptr<Builder> loadImmediately(bool enabled = true);

    // Terminals: each starts the target's own set-image with the source, the placeholder and a copy of
    // the options as they stand, and answers what that set-image answers. A builder without a source
    // reports `emptySource` to `onFailure` before returning nothing.
    std::optional<DownloadTask> set(const std::shared_ptr<ui::ImageView>& imageView);
    // The provider is handed on unevaluated.
    std::optional<DownloadTask> set(const std::shared_ptr<gfx::TextAttachment>& attachment,
                                    AttributedViewProvider attributedView);
    std::optional<DownloadTask> set(const std::shared_ptr<ui::Button>& button, ui::ControlState state);
    std::optional<DownloadTask> setBackground(const std::shared_ptr<ui::Button>& button, ui::ControlState state);
    std::optional<DownloadTask> set(const std::shared_ptr<ui::ListItem>& listItem);

    // What the terminals hand to a flow: forwarders to the callbacks that hold the builder strongly.
    PicturaManager::ProgressBlock progressForwarder();
    PicturaManager::CompletionHandler resultForwarder();

private:
    friend struct PC;
    static std::shared_ptr<Builder> make(std::optional<Source> source);

    std::optional<Source> source_;
    // Targets other than image views take an image placeholder only.
    std::shared_ptr<gfx::Image> placeholderImage() const;

    std::shared_ptr<const Placeholder> placeholder_;
    PicturaParsedOptionsInfo options_;
    OnFailureDelegate onFailureDelegate_;
    OnSuccessDelegate onSuccessDelegate_;
    OnProgressDelegate onProgressDelegate_;
};

}  // namespace pictura
