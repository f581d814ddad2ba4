#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "net/Request.h"
#include "net/Response.h"

namespace pictura {

class SessionDataTask;

// Decides an HTTP redirect of a download: follow the proposed request, another one, or none.
class ImageDownloadRedirectHandler {
public:
    using CompletionHandler = std::function<void(std::optional<net::Request>)>;

    virtual ~ImageDownloadRedirectHandler() = default;
    // Calls `completionHandler` exactly once, from any thread; no request means the redirect is not followed.
    virtual void handleHTTPRedirection(const std::shared_ptr<SessionDataTask>& task, const net::HTTPResponse& response,
                                       const net::Request& newRequest, CompletionHandler completionHandler) const = 0;
};

// A redirect handler made of one closure, called with the four arguments unchanged.
class AnyRedirectHandler final : public ImageDownloadRedirectHandler {
public:
    using Block = std::function<void(const std::shared_ptr<SessionDataTask>&, const net::HTTPResponse&,
                                     const net::Request&, CompletionHandler)>;
    explicit AnyRedirectHandler(Block handle) : block(std::move(handle)) {}

    void handleHTTPRedirection(const std::shared_ptr<SessionDataTask>& task, const net::HTTPResponse& response,
                               const net::Request& newRequest, CompletionHandler completionHandler) const override {
        block(task, response, newRequest, std::move(completionHandler));
    }

    Block block;
};

}  // namespace pictura
