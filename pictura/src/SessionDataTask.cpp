#include "pictura/SessionDataTask.h"

namespace pictura {

SessionDataTask::SessionDataTask(std::shared_ptr<net::SessionTask> task)
    : originalURL_(task ? task->originalRequest().url : std::nullopt), task_(std::move(task)) {}

std::shared_ptr<SessionDataTask> SessionDataTask::make(std::shared_ptr<net::SessionTask> task) {
    return std::shared_ptr<SessionDataTask>(new SessionDataTask(std::move(task)));
}

int SessionDataTask::addCallback(TaskCallback callback) {
    std::lock_guard guard(lock_);
    const int token = currentToken_++;
    callbacksStore_.emplace(token, std::move(callback));
    return token;
}

std::optional<SessionDataTask::TaskCallback> SessionDataTask::removeCallback(int token) {
    std::lock_guard guard(lock_);
    auto found = callbacksStore_.find(token);
    if (found == callbacksStore_.end()) return std::nullopt;
    auto callback = std::move(found->second);
    callbacksStore_.erase(found);
    return callback;
}

std::vector<SessionDataTask::TaskCallback> SessionDataTask::callbacks() const {
    std::lock_guard guard(lock_);
    std::vector<TaskCallback> list;
    list.reserve(callbacksStore_.size());
    for (const auto& [token, callback] : callbacksStore_) list.push_back(callback);
    return list;
}

std::vector<SessionDataTask::TaskCallback> SessionDataTask::takeCallbacks() {
    std::map<int, TaskCallback> taken;
    {
        std::lock_guard guard(lock_);
        taken.swap(callbacksStore_);
    }
    std::vector<TaskCallback> list;
    list.reserve(taken.size());
    for (auto& [token, callback] : taken) list.push_back(std::move(callback));
    return list;
}

bool SessionDataTask::hasCallbacks() const {
    std::lock_guard guard(lock_);
    return !callbacksStore_.empty();
}

std::vector<std::shared_ptr<DataReceivingSideEffect>> SessionDataTask::dataReceivingSideEffects() const {
    std::vector<std::shared_ptr<DataReceivingSideEffect>> sideEffects;
    std::lock_guard guard(lock_);
    for (const auto& [token, callback] : callbacksStore_)
        if (callback.options.onDataReceived)
            for (const auto& sideEffect : *callback.options.onDataReceived)
                if (sideEffect) sideEffects.push_back(sideEffect);
    return sideEffects;
}

void SessionDataTask::cancel(int token) {
    auto callback = removeCallback(token);
    if (callback) onCallbackCancelled({token, std::move(*callback)});
}

void SessionDataTask::cancelAllCallbacks() {
    std::vector<int> tokens;
    {
        std::lock_guard guard(lock_);
        for (const auto& [token, callback] : callbacksStore_) tokens.push_back(token);
    }
    for (int token : tokens) cancel(token);
}

void SessionDataTask::clearCallbacks() {
    std::map<int, TaskCallback> cleared;
    std::lock_guard guard(lock_);
    cleared.swap(callbacksStore_);
}

void SessionDataTask::start() {
    if (!started_.exchange(true) && task_) task_->resume();
}

void SessionDataTask::appendData(const foundation::Data& chunk) { mutableData_.append(chunk); }

void SessionDataTask::appendData(foundation::Data&& chunk) {
    if (mutableData_.empty() && chunk.bytes().capacity() >= mutableData_.bytes().capacity()) mutableData_ = std::move(chunk);
    else mutableData_.append(chunk);
}

void SessionDataTask::reserveData(std::size_t length) { mutableData_.bytes().reserve(length); }

foundation::Data SessionDataTask::takeData() { return std::exchange(mutableData_, {}); }

}  // namespace pictura
