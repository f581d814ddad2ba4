#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include "foundation/URL.h"
#include <thread>

// A cpp-httplib server on 127.0.0.1 at an ephemeral port, for as long as the object lives.
template <typename Server = httplib::Server>
class Loopback {
public:
    template <typename... Arguments>
    explicit Loopback(Arguments&&... arguments) : server(std::forward<Arguments>(arguments)...) {}

    void start() {
        server.set_keep_alive_timeout(1);  // so that stopping doesn't wait for idle connections
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Loopback() {
        server.stop();
        if (thread.joinable()) thread.join();
    }

    foundation::URL url(const std::string& path, const std::string& scheme = "http") const {
        return *foundation::URL::fromString(text(path, scheme));
    }
    std::string text(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://127.0.0.1:" + std::to_string(port) + path;
    }

    Server server;
    int port = 0;
    std::thread thread;
};

using LoopbackServer = Loopback<>;
