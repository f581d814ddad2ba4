#include "pictura/SessionDelegate.h"

#include "net/URLError.h"

namespace pictura {

namespace {

PicturaError sessionError(net::URLError error) {
    return PicturaError::responseError(PicturaError::URLSessionError{AnyError(std::move(error))});
}

std::string urlText(const net::SessionTask& task) {
    const auto& url = task.originalRequest().url;
    return url ? url->absoluteString() : std::string();
}

}  // namespace

DownloadTask SessionDelegate::file(std::shared_ptr<SessionDataTask> task, const foundation::URL& url,
                                   SessionDataTask::TaskCallback callback) {
    std::weak_ptr<SessionDataTask> weakTask = task;
    task->onCallbackCancelled.delegate(
        shared_from_this(), [weakTask](SessionDelegate& self, const SessionDataTask::CallbackCancelled& cancelled) {
            if (auto task = weakTask.lock()) self.callbackCancelled(task, cancelled.first, cancelled.second);
        });
    const int token = task->addCallback(std::move(callback));
    tasks_[url] = task;
    return DownloadTask{std::move(task), token};
}

DownloadTask SessionDelegate::add(std::shared_ptr<net::SessionTask> task, const foundation::URL& url,
                                  SessionDataTask::TaskCallback callback) {
    auto dataTask = SessionDataTask::make(std::move(task));
    std::shared_ptr<SessionDataTask> replaced;
    std::lock_guard guard(lock_);
    if (auto found = tasks_.find(url); found != tasks_.end()) replaced = found->second;
    return file(std::move(dataTask), url, std::move(callback));
}

std::pair<DownloadTask, bool> SessionDelegate::join(const foundation::URL& url, SessionDataTask::TaskCallback callback,
                                                    const TaskMaker& makeTask) {
    std::lock_guard guard(lock_);
    if (auto found = tasks_.find(url); found != tasks_.end()) {
        const int token = found->second->addCallback(std::move(callback));
        return {DownloadTask{found->second, token}, false};
    }
    return {file(makeTask(), url, std::move(callback)), true};
}

void SessionDelegate::remove(const std::shared_ptr<SessionDataTask>& task) {
    if (!task->originalURL()) return;
    std::shared_ptr<SessionDataTask> unfiled;
    {
        std::lock_guard guard(lock_);
        auto found = tasks_.find(*task->originalURL());
        // A newer transfer filed under the same URL stays.
        if (found != tasks_.end() && found->second == task) {
            unfiled = std::move(found->second);
            tasks_.erase(found);
        }
    }
    task->clearCallbacks();
}

std::shared_ptr<SessionDataTask> SessionDelegate::task(const foundation::URL& url) const {
    std::lock_guard guard(lock_);
    auto found = tasks_.find(url);
    return found == tasks_.end() ? nullptr : found->second;
}

std::shared_ptr<SessionDataTask> SessionDelegate::task(const net::SessionTask& task) const {
    const auto& url = task.originalRequest().url;
    if (!url) return nullptr;
    std::lock_guard guard(lock_);
    auto found = tasks_.find(*url);
    // The same transfer, not merely the same identifier: identifiers count per session, and a
    // replaced session starts again from 1.
    if (found == tasks_.end() || found->second->task().get() != &task) return nullptr;
    return found->second;
}

void SessionDelegate::cancelAll() {
    std::vector<std::shared_ptr<SessionDataTask>> snapshot;
    {
        std::lock_guard guard(lock_);
        for (const auto& [url, task] : tasks_) snapshot.push_back(task);
    }
    for (const auto& task : snapshot) task->cancelAllCallbacks();
}

void SessionDelegate::finishTask(const net::SessionTask& task, SessionDataTask::DataResult result) {
    std::shared_ptr<SessionDataTask> finished;
    std::vector<SessionDataTask::TaskCallback> callbacks;
    {
        // Unfiled and emptied in one step: a consumer that joins now starts a new transfer, and one that
        // cancels now finds nothing, so every consumer gets exactly one outcome.
        std::lock_guard guard(lock_);
        const auto& url = task.originalRequest().url;
        if (!url) return;
        auto found = tasks_.find(*url);
        if (found == tasks_.end() || found->second->task().get() != &task) return;
        finished = std::move(found->second);
        tasks_.erase(found);
        callbacks = finished->takeCallbacks();
    }
    finished->onTaskDone({std::move(result), std::move(callbacks)});
}

void SessionDelegate::callbackCancelled(const std::shared_ptr<SessionDataTask>& task, int token,
                                        SessionDataTask::TaskCallback callback) {
    auto error = PicturaError::requestError(PicturaError::TaskCancelled{task, token});
    task->onTaskDone({std::unexpected(std::move(error)), {std::move(callback)}});
    {
        // The test for remaining consumers and the unfiling share the lock that joining takes, so a
        // consumer that joins meanwhile is either counted here or starts a transfer of its own.
        std::lock_guard guard(lock_);
        if (task->hasCallbacks()) return;
        if (task->originalURL()) {
            auto found = tasks_.find(*task->originalURL());
            if (found != tasks_.end() && found->second == task) tasks_.erase(found);
        }
        if (task->task()) task->task()->cancel();
    }
}

void SessionDelegate::failOverCap(const net::SessionTask& task, std::int64_t size) {
    finishTask(task, std::unexpected(sessionError(net::URLError(
                         net::URLError::dataLengthExceedsMaximum, urlText(task),
                         "a body of " + std::to_string(size) + " bytes is over the limit of " +
                             std::to_string(maximumBodySize)))));
}

void SessionDelegate::didReceiveResponse(net::Session&, const std::shared_ptr<net::SessionTask>& task,
                                         const net::Response& response, net::ResponseReply reply) {
    if (!response.isHTTP()) {
        finishTask(*task, std::unexpected(PicturaError::responseError(PicturaError::InvalidURLResponse{response})));
        return reply(net::ResponseDisposition::cancel);
    }
    if (onValidStatusCode(response.statusCode) != true) {
        finishTask(*task, std::unexpected(PicturaError::responseError(PicturaError::InvalidHTTPStatusCode{response})));
        return reply(net::ResponseDisposition::cancel);
    }
    if (response.expectedContentLength > maximumBodySize) {
        failOverCap(*task, response.expectedContentLength);
        return reply(net::ResponseDisposition::cancel);
    }
    // Sized once by the stated length: a body grown by doubling is copied over and over.
    if (response.expectedContentLength > 0)
        if (auto dataTask = this->task(*task)) dataTask->reserveData(static_cast<std::size_t>(response.expectedContentLength));
    reply(net::ResponseDisposition::allow);
}

void SessionDelegate::didReceiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                                     const foundation::Data& chunk) {
    receiveData(session, task, chunk, nullptr);
}

void SessionDelegate::didReceiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                                     foundation::Data&& chunk) {
    receiveData(session, task, chunk, &chunk);
}

void SessionDelegate::receiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                                  const foundation::Data& chunk, foundation::Data* own) {
    auto dataTask = this->task(*task);
    if (!dataTask) return;
    const auto size = static_cast<std::int64_t>(dataTask->mutableData().size() + chunk.size());
    if (size > maximumBodySize) {
        failOverCap(*task, size);
        return task->cancel();
    }
    // Only the side effects are copied out: a chunk must not cost a copy of every consumer's options.
    auto sideEffects = dataTask->dataReceivingSideEffects();
    // A chunk that no side effect is shown is taken rather than copied when it may be kept.
    if (own && sideEffects.empty()) return dataTask->appendData(std::move(*own));
    dataTask->appendData(chunk);
    if (sideEffects.empty()) return;
    const auto sessionPointer = session.shared_from_this();
    for (const auto& sideEffect : sideEffects) sideEffect->onDataReceived(sessionPointer, *dataTask, chunk);
}

void SessionDelegate::didComplete(net::Session&, const std::shared_ptr<net::SessionTask>& task,
                                  const std::optional<net::URLError>& error) {
    auto dataTask = this->task(*task);
    if (!dataTask) return;
    const auto response = task->response();
    if (const auto& url = dataTask->originalURL()) {
        std::expected<net::Response, PicturaError> finished =
            error      ? std::unexpected(sessionError(*error))
            : response ? std::expected<net::Response, PicturaError>(*response)
                       : std::unexpected(PicturaError::responseError(PicturaError::NoURLResponse{dataTask}));
        onDownloadingFinished({*url, std::move(finished)});
    }
    if (error) return finishTask(*task, std::unexpected(sessionError(*error)));
    auto body = onDidDownloadData(dataTask);
    if (!body) return finishTask(*task, std::unexpected(PicturaError::responseError(PicturaError::DataModifyingFailed{dataTask})));
    finishTask(*task, std::pair(std::make_shared<foundation::Data>(std::move(*body)), response));
}

void SessionDelegate::willPerformHTTPRedirection(net::Session&, const std::shared_ptr<net::SessionTask>& task,
                                                 const net::Response& response, net::Request newRequest,
                                                 net::RedirectReply reply) {
    auto dataTask = this->task(*task);
    if (!dataTask) return reply(std::move(newRequest));
    auto callbacks = dataTask->callbacks();
    if (callbacks.empty() || !callbacks.back().options.redirectHandler) return reply(std::move(newRequest));
    // The transport follows only http and https, whatever the handler answers.
    callbacks.back().options.redirectHandler->handleHTTPRedirection(
        dataTask, response, newRequest, [reply](std::optional<net::Request> request) { reply(std::move(request)); });
}

void SessionDelegate::didReceiveChallenge(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                                          const net::AuthenticationChallenge& challenge, net::ChallengeReply reply) {
    // Server trust belongs to the session, as on the platform when a delegate answers session challenges.
    if (challenge.protectionSpace.authenticationMethod == net::ProtectionSpace::AuthenticationMethod::serverTrust)
        return didReceiveChallenge(session, challenge, std::move(reply));
    onReceiveSessionTaskChallenge({session.shared_from_this(), task, challenge, std::move(reply)});
}

void SessionDelegate::didReceiveChallenge(net::Session& session, const net::AuthenticationChallenge& challenge,
                                          net::ChallengeReply reply) {
    // A hook that keeps no copy of the reply leaves it unanswered: the reply then gives the default
    // handling, so a missing answer never stalls the transfer.
    onReceiveSessionChallenge({session.shared_from_this(), challenge, std::move(reply)});
}

}  // namespace pictura
