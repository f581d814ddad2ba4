#pragma once

#include <functional>
#include <optional>

#include "net/Request.h"

namespace pictura {

struct DownloadTask;

// Rewrites or vetoes the request of a download before it starts: the form the options hold.
class AsyncImageDownloadRequestModifier {
public:
    using ReportModified = std::function<void(std::optional<net::Request>)>;
    using OnDownloadTaskStarted = std::function<void(const DownloadTask*)>;

    virtual ~AsyncImageDownloadRequestModifier() = default;
    // Calls `reportModified` exactly once, now or later, from any thread; no request means no download.
    virtual void modified(const net::Request& request, ReportModified reportModified) const = 0;
    // Told the download task once the download has started; none by default.
    virtual OnDownloadTaskStarted onDownloadTaskStarted() const { return nullptr; }
};

// The synchronous form: answers at once.
class ImageDownloadRequestModifier : public AsyncImageDownloadRequestModifier {
public:
    // No request means no download.
    virtual std::optional<net::Request> modified(const net::Request& request) const = 0;
    void modified(const net::Request& request, ReportModified reportModified) const final {
        reportModified(modified(request));
    }
};

// A request modifier made of one closure.
class AnyModifier final : public ImageDownloadRequestModifier {
public:
    using Block = std::function<std::optional<net::Request>(net::Request)>;
    explicit AnyModifier(Block modify) : block(std::move(modify)) {}

    using ImageDownloadRequestModifier::modified;
    std::optional<net::Request> modified(const net::Request& request) const override { return block(request); }

    Block block;
};

}  // namespace pictura
