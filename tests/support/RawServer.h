#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "LoopbackListener.h"

// A TCP server on loopback that answers every connection with whatever bytes a test scripts, then
// closes or resets it: the misbehaving servers a session must survive.
class RawServer {
public:
    explicit RawServer(std::function<void(int connection)> answer) : answer_(std::move(answer)) {
        listener_ = listenOnLoopback(port_);
        // A connection that goes away between poll() and accept() must not block the accept.
        ::fcntl(listener_, F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawServer() {
        stopping_ = true;
        thread_.join();
        ::close(listener_);
    }
    std::string text() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

    static void send(int connection, const std::string& bytes) { ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    static void reset(int connection) {
        linger abort{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }

private:
    // Waits a short while for `descriptor` to have something to read, so the loops see `stopping_` often.
    static bool readable(int descriptor) {
        pollfd waiting{descriptor, POLLIN, 0};
        return ::poll(&waiting, 1, 50) > 0;
    }

    void serve() {
        while (!stopping_) {
            if (!readable(listener_)) continue;
            int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0) continue;
            if (readRequest(connection)) answer_(connection);
            ::close(connection);
        }
    }

    // False if the client leaves, or is still silent when the server stops: a client that connects and
    // never sends must not keep the destructor waiting.
    bool readRequest(int connection) const {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (stopping_) return false;
            if (!readable(connection)) continue;
            auto count = ::recv(connection, buffer, sizeof buffer, 0);
            if (count <= 0) return false;
            request.append(buffer, count);
        }
        return true;
    }

    std::function<void(int)> answer_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};
