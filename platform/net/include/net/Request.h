#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "net/HTTPHeaders.h"

namespace net {

enum class CachePolicy {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
    returnCacheDataElseLoad = 2,
    returnCacheDataDontLoad = 3,
};

// What to fetch and how. The session keeps no cache, so the cache policy, like the pipelining and
// constrained-network flags, is carried for the callers that set and read it.
struct Request {
    static constexpr double defaultTimeoutInterval = 60;

    std::optional<foundation::URL> url;  // a request without one fails with bad URL
    std::string method = "GET";
    HTTPHeaders headers;
    foundation::Data body;
    CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy;
    // Seconds without a byte moving before the transfer fails with timed out; also bounds the connect.
    double timeoutInterval = defaultTimeoutInterval;
    bool httpShouldUsePipelining = false;
    bool allowsConstrainedNetworkAccess = true;

    Request() = default;
    explicit Request(foundation::URL url, double timeoutInterval = defaultTimeoutInterval)
        : url(std::move(url)), timeoutInterval(timeoutInterval) {}

    friend bool operator==(const Request&, const Request&) = default;
};

std::ostream& operator<<(std::ostream& stream, const Request& request);

}  // namespace net
