#pragma once

#include <memory>
#include <string>

#include "dispatch/Task.h"
#include "foundation/Data.h"

namespace net {
class Session;
}

// The app's one HTTP fetcher: a URL text in, the body out. Any failure (a text that is no URL, a
// transport error, a stalled server after the session's idle time-out) gives empty data, which the
// caller's decoding then rejects. The status is not looked at: an error page comes back as its body.
class Client {
public:
    static Client& shared();

    // A client on its own session, for tests that need other time-outs or transports.
    explicit Client(std::shared_ptr<net::Session> session) : session_(std::move(session)) {}

    dispatch::Task<foundation::Data> run(std::string text) const;

private:
    Client() = default;

    std::shared_ptr<net::Session> session_;  // null: the process-wide shared session
};
