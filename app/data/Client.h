#pragma once

#include <memory>
#include <optional>
#include <string>

#include "dispatch/Task.h"
#include "foundation/Data.h"

namespace net {
class Session;
}

// Why a read gave no document.
struct LoadFailure {
    int status = 0;      // the HTTP status; 0 when no answer came
    std::string reason;  // "Not Found", or what the transport said
    // The reason of a body that arrived but is no document of its kind.
    static constexpr const char* undecodable = "unreadable";
};

// A document read for decoding: the body of a successful answer, with the address it came from. After
// a failure the body is empty and `failure` says why; the client has logged it already.
struct Loaded : foundation::Data {
    Loaded() = default;
    explicit Loaded(foundation::Data body, std::string address = {}, std::optional<LoadFailure> failure = {})
        : foundation::Data(std::move(body)), address(std::move(address)), failure(std::move(failure)) {}

    std::string address;
    std::optional<LoadFailure> failure;

    // "<address>: 404 Not Found", "<address>: <reason>" without a status; empty after success.
    std::string failureDescription() const;
};

// The app's one HTTP fetcher: a URL text in, the body out.
class Client {
public:
    static Client& shared();

    // A client on its own session, for tests that need other time-outs or transports.
    explicit Client(std::shared_ptr<net::Session> session) : session_(std::move(session)) {}

    // Any failure (a text that is no URL, a transport error, a stalled server after the session's idle
    // time-out) gives empty data. The status is not looked at: an error page comes back as its body.
    dispatch::Task<foundation::Data> run(std::string text) const;
    // What the screens read through: the status is checked before anyone decodes. A transport failure,
    // an answer outside 2xx or an empty body is a failure, logged here once with the address, the
    // status and the reason; an error page is never handed on as a document.
    dispatch::Task<Loaded> load(std::string text) const;

private:
    Client() = default;

    std::shared_ptr<net::Session> session_;  // null: the process-wide shared session
};
