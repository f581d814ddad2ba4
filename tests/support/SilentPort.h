#pragma once

#include <unistd.h>

#include <string>

#include "LoopbackListener.h"

// A loopback port that takes connections and never answers: the kernel completes each connection
// into the listen backlog and nobody accepts it, so a client waits until its own time-out. close()
// ends the wait early (the pending connections are reset).
class SilentPort {
public:
    SilentPort() { socket_ = listenOnLoopback(port_); }
    ~SilentPort() { close(); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    void close() {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }
    // "127.0.0.1:<port>", to stand in for a service host.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string url(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://" + host() + path;
    }

private:
    int socket_ = -1;
    int port_ = 0;
};
