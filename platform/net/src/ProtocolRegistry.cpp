#include "net/ProtocolRegistry.h"

#include <algorithm>
#include <cctype>

namespace net {

namespace {
std::string hostKey(std::string_view host) {
    std::string key(host);
    std::ranges::transform(key, key.begin(), [](unsigned char c) { return std::tolower(c); });
    return key;
}
}  // namespace

std::shared_ptr<ProtocolRegistry> ProtocolRegistry::global() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* registry = new auto(std::make_shared<ProtocolRegistry>());
    return *registry;
}

void ProtocolRegistry::registerHandler(std::string host, ProtocolHandler handler) {
    std::lock_guard lock(mutex_);
    handlers_[hostKey(host)] = std::move(handler);
}

void ProtocolRegistry::unregisterHandler(std::string_view host) {
    std::lock_guard lock(mutex_);
    handlers_.erase(hostKey(host));
}

std::optional<ProtocolHandler> ProtocolRegistry::handlerFor(std::string_view host) const {
    std::lock_guard lock(mutex_);
    auto found = handlers_.find(hostKey(host));
    if (found == handlers_.end()) return std::nullopt;
    return found->second;
}

}  // namespace net
