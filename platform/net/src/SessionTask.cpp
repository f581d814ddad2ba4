#include "net/SessionTask.h"

#include "NetworkThread.h"
#include "TaskRunner.h"

namespace net {

SessionTask::SessionTask(std::shared_ptr<Session> session, std::uint64_t identifier, Request request)
    : session_(std::move(session)), identifier_(identifier), originalRequest_(request),
      currentRequest_(std::move(request)) {}

SessionTask::~SessionTask() = default;

Request SessionTask::currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
}

std::optional<Response> SessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<URLError> SessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

SessionTask::State SessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

float SessionTask::priority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

void SessionTask::setPriority(float priority) {
    std::lock_guard lock(mutex_);
    priority_ = std::clamp(priority, 0.0f, 1.0f);
}

std::int64_t SessionTask::countOfBytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

void SessionTask::resume() {
    {
        std::lock_guard lock(mutex_);
        if (resumed_ || state_ != State::suspended) return;
        resumed_ = true;
        state_ = State::running;
    }
    NetworkThread::instance().post([self = shared_from_this()] { self->runner_->start(self); });
}

void SessionTask::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::completed || state_ == State::canceling) return;
        state_ = State::canceling;
    }
    NetworkThread::instance().post([self = shared_from_this()] { self->runner_->cancel(); });
}

}  // namespace net
