#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "net/Request.h"
#include "net/Response.h"
#include "pictura/Source.h"

namespace pictura {

class SessionDataTask;

// The chainable front end of the library: a factory turns an image source into a `PC::Builder`
// (PCBuilder.h), whose setters choose the placeholder, options and callbacks and whose terminals set the
// image on a view. A namespace of factories; it has no values.
struct PC {
    class Builder;

    // One redirect of a download, as the closure form of `redirectHandler` receives it. The closure
    // decides by calling `completionHandler`: with a request to follow, with none to stop.
    struct RedirectPayload {
        std::shared_ptr<SessionDataTask> task;
        net::HTTPResponse response;
        net::Request newRequest;
        std::function<void(std::optional<net::Request>)> completionHandler;
    };

    static std::shared_ptr<Builder> source(std::optional<Source> source);
    static std::shared_ptr<Builder> resource(std::optional<ImageResource> resource);
    // A file URL is read by a local-file provider, any other URL downloaded; the key is the given one,
    // else the URL's own (resourceCacheKey).
    static std::shared_ptr<Builder> url(std::optional<foundation::URL> url,
                                        std::optional<std::string> cacheKey = std::nullopt);
    static std::shared_ptr<Builder> dataProvider(std::shared_ptr<const ImageDataProvider> provider);
    static std::shared_ptr<Builder> data(std::optional<foundation::Data> data, std::string cacheKey);
};

}  // namespace pictura
