#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "net/Request.h"
#include "net/Response.h"
#include "net/URLError.h"

namespace net {

class Session;
class TaskRunner;

// One transfer of a session. Made suspended; resume() starts it once. Every task ends with exactly one
// completion, also when cancelled (asynchronously, with cancelled).
class SessionTask : public std::enable_shared_from_this<SessionTask> {
public:
    enum class State { running, suspended, canceling, completed };

    static constexpr float defaultPriority = 0.5f;

    ~SessionTask();

    // Counts up from 1 within its session.
    std::uint64_t taskIdentifier() const { return identifier_; }
    const Request& originalRequest() const { return originalRequest_; }
    Request currentRequest() const;
    std::optional<Response> response() const;
    std::optional<URLError> error() const;
    State state() const;
    float priority() const;
    void setPriority(float priority);
    std::int64_t countOfBytesReceived() const;

    void resume();
    void cancel();

    std::shared_ptr<Session> session() const { return session_; }

private:
    friend class Session;
    friend class TaskRunner;
    SessionTask(std::shared_ptr<Session> session, std::uint64_t identifier, Request request);

    const std::shared_ptr<Session> session_;
    const std::uint64_t identifier_;
    const Request originalRequest_;

    mutable std::mutex mutex_;
    Request currentRequest_;
    std::optional<Response> response_;
    std::optional<URLError> error_;
    State state_ = State::suspended;
    float priority_ = defaultPriority;
    std::int64_t bytesReceived_ = 0;
    bool resumed_ = false;

    std::unique_ptr<TaskRunner> runner_;
};

}  // namespace net
