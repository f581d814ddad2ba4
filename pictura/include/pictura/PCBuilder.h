#pragma once

#include <memory>
#include <optional>

#include "gfx/Image.h"
#include "pictura/ImageProgressive.h"
#include "pictura/ImageTransition.h"
#include "pictura/PC.h"
#include "pictura/PCOptionSetter.h"
#include "pictura/PicturaManager.h"
#include "pictura/PicturaOptions.h"
#include "pictura/Source.h"

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
    const std::shared_ptr<gfx::Image>& placeholderImage() const { return placeholder_; }

    // Starts out as the shared manager's default options; what terminals copy.
    PicturaParsedOptionsInfo& options() { return options_; }
    OnFailureDelegate& onFailureDelegate() { return onFailureDelegate_; }
    OnSuccessDelegate& onSuccessDelegate() { return onSuccessDelegate_; }
    OnProgressDelegate& onProgressDelegate() { return onProgressDelegate_; }
    std::shared_ptr<Builder> delegateObserver() { return shared_from_this(); }
    std::shared_ptr<Builder> receiver() { return shared_from_this(); }

    // None clears it.
    std::shared_ptr<Builder> placeholder(std::shared_ptr<gfx::Image> image);
    std::shared_ptr<Builder> transition(ImageTransition transition);
    std::shared_ptr<Builder> fade(double duration);
    std::shared_ptr<Builder> keepCurrentImageWhileLoading(bool enabled = true);
    std::shared_ptr<Builder> onlyLoadFirstFrame(bool enabled = true);
    // None turns progressive display off.
    std::shared_ptr<Builder> progressiveJPEG(std::optional<ImageProgressive> progressive = ImageProgressive{});
    // Kept for callers that name it; requests always start at the terminal.
    std::shared_ptr<Builder> loadImmediately(bool enabled = true);

    // What the terminals hand to a flow: forwarders to the callbacks that hold the builder strongly.
    PicturaManager::ProgressBlock progressForwarder();
    PicturaManager::CompletionHandler resultForwarder();

private:
    friend struct PC;
    static std::shared_ptr<Builder> make(std::optional<Source> source);

    std::optional<Source> source_;
    std::shared_ptr<gfx::Image> placeholder_;
    PicturaParsedOptionsInfo options_;
    OnFailureDelegate onFailureDelegate_;
    OnSuccessDelegate onSuccessDelegate_;
    OnProgressDelegate onProgressDelegate_;
};

}  // namespace pictura
