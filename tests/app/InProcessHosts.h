#pragma once

#include <expected>
#include <string>
#include <vector>

#include "data/ServiceHosts.h"
#include "net/ProtocolRegistry.h"

// Points the app at the given service hosts and answers each of them in-process with one handler,
// for as long as it lives; afterwards the hosts from the environment are back and the handlers gone.
class InProcessHosts {
public:
    InProcessHosts(ServiceHosts hosts, net::ProtocolHandler handler) {
        for (const std::string& host : {hosts.resultsAPI, hosts.liveTiming, hosts.polls}) {
            if (host.empty() || std::find(registered_.begin(), registered_.end(), host) != registered_.end()) continue;
            net::ProtocolRegistry::global()->registerHandler(host, handler);
            registered_.push_back(host);
        }
        ServiceHosts::setCurrent(std::move(hosts));
    }
    ~InProcessHosts() {
        for (const std::string& host : registered_) net::ProtocolRegistry::global()->unregisterHandler(host);
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }
    InProcessHosts(const InProcessHosts&) = delete;
    InProcessHosts& operator=(const InProcessHosts&) = delete;

    static std::expected<net::ProtocolAnswer, net::URLError> answer(const net::Request& request, int status,
                                                                    std::string body) {
        return net::ProtocolAnswer{net::Response::make(request.url, status, {}), foundation::Data::fromString(body)};
    }

private:
    std::vector<std::string> registered_;
};
