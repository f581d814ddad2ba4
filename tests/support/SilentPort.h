#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

// A loopback port that takes connections and never answers: the kernel completes each connection
// into the listen backlog and nobody accepts it, so a client waits until its own time-out. close()
// ends the wait early (the pending connections are reset).
class SilentPort {
public:
    SilentPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(socket_, 16);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
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
    int socket_;
    int port_ = 0;
};
