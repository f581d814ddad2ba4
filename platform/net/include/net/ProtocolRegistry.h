#pragma once

#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Data.h"
#include "net/Request.h"
#include "net/Response.h"
#include "net/URLError.h"

namespace net {

struct ProtocolAnswer {
    Response response;  // without a url, the request's is used
    foundation::Data body;
};

// Answers a request in-process. Runs on the network thread, so it answers from memory or disk, quickly.
using ProtocolHandler = std::function<std::expected<ProtocolAnswer, URLError>(const Request&)>;

// Hosts answered in-process instead of over the network (the offline season, fake transports in tests).
// Their tasks see the same events as real transfers, redirects included.
class ProtocolRegistry {
public:
    // The registry that sessions use unless their configuration names another.
    static std::shared_ptr<ProtocolRegistry> global();

    // Host names match without regard to case; a later handler for a host replaces the earlier one.
    void registerHandler(std::string host, ProtocolHandler handler);
    void unregisterHandler(std::string_view host);
    std::optional<ProtocolHandler> handlerFor(std::string_view host) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, ProtocolHandler, std::less<>> handlers_;
};

}  // namespace net
