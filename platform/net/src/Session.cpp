#include "net/Session.h"

#include <algorithm>
#include <future>

#include "CookieJar.h"
#include "NetworkThread.h"
#include "TaskRunner.h"

namespace net {

std::shared_ptr<Session> Session::make(SessionConfiguration configuration, std::weak_ptr<SessionDelegate> delegate,
                                       std::shared_ptr<dispatch::Queue> delegateQueue) {
    NetworkThread::instance();  // curl is set up before the first cookie jar
    if (!delegateQueue) delegateQueue = dispatch::Queue::serial("net.session.delegate");
    if (!configuration.protocols) configuration.protocols = std::make_shared<ProtocolRegistry>();
    return std::shared_ptr<Session>(new Session(std::move(configuration), std::move(delegate), std::move(delegateQueue)));
}

std::shared_ptr<Session> Session::shared() {
    // Never destroyed, like the network thread its tasks run on.
    static const auto* session = new std::shared_ptr<Session>(make());
    return *session;
}

Session::Session(SessionConfiguration configuration, std::weak_ptr<SessionDelegate> delegate,
                 std::shared_ptr<dispatch::Queue> delegateQueue)
    : configuration_(std::move(configuration)), delegate_(std::move(delegate)),
      delegateQueue_(std::move(delegateQueue)),
      cookies_(configuration_.ephemeral ? std::make_shared<CookieJar>() : CookieJar::process()) {}

Session::~Session() = default;

std::shared_ptr<SessionTask> Session::makeTask(Request request) {
    auto task = std::shared_ptr<SessionTask>(
        new SessionTask(shared_from_this(), nextTaskIdentifier_.fetch_add(1), std::move(request)));
    std::lock_guard lock(mutex_);
    if (tasks_.size() >= sweepAt_) {
        std::erase_if(tasks_, [](const auto& entry) { return entry.second.expired(); });
        sweepAt_ = std::max<std::size_t>(64, tasks_.size() * 2);
    }
    tasks_.insert_or_assign(task.get(), task);
    return task;
}

void Session::forget(const SessionTask& task) {
    std::lock_guard lock(mutex_);
    tasks_.erase(&task);
}

std::shared_ptr<SessionTask> Session::dataTask(Request request) {
    auto task = makeTask(std::move(request));
    task->runner_ = std::make_unique<TaskRunner>(*task, TaskKind::delegateDriven, nullptr, nullptr);
    return task;
}

std::shared_ptr<SessionTask> Session::dataTask(const foundation::URL& url) {
    return dataTask(Request(url, configuration_.timeoutIntervalForRequest));
}

std::shared_ptr<SessionTask> Session::dataTask(Request request, DataCompletion completion) {
    auto task = makeTask(std::move(request));
    task->runner_ = std::make_unique<TaskRunner>(*task, TaskKind::gathersData, std::move(completion), nullptr);
    return task;
}

std::shared_ptr<SessionTask> Session::downloadTask(Request request, DownloadCompletion completion) {
    auto task = makeTask(std::move(request));
    task->runner_ = std::make_unique<TaskRunner>(*task, TaskKind::downloadsToFile, nullptr, std::move(completion));
    return task;
}

dispatch::Task<DataResult> Session::data(foundation::URL url) {
    return data(Request(std::move(url), configuration_.timeoutIntervalForRequest));
}

namespace {

// Only pointers cross into the coroutine frame: g++ 12 may move frame values bitwise, which breaks a
// short std::string.
dispatch::Task<DataResult> awaitResult(std::function<void(std::function<void(DataResult)>)> start) {
    co_return co_await dispatch::awaitCallback<DataResult>(std::move(start));
}

}  // namespace

dispatch::Task<DataResult> Session::data(Request request) {
    // The session stays alive while the task waits, even if the caller lets go of it.
    return awaitResult([self = shared_from_this(), request = std::make_shared<Request>(std::move(request))](
                           std::function<void(DataResult)> resume) { self->data(*request, std::move(resume)); });
}

void Session::data(const foundation::URL& url, std::function<void(DataResult)> completion) {
    data(Request(url, configuration_.timeoutIntervalForRequest), std::move(completion));
}

void Session::data(Request request, std::function<void(DataResult)> completion) {
    dataTask(std::move(request),
             [completion = std::move(completion)](foundation::Data body, std::optional<Response> response,
                                                  std::optional<URLError> error) {
                 if (error) return completion(std::unexpected(std::move(*error)));
                 if (!response) return completion(std::unexpected(URLError{URLError::badServerResponse}));
                 completion(std::pair{std::move(body), std::move(*response)});
             })
        ->resume();
}

void Session::invalidateAndCancel() {
    std::vector<std::shared_ptr<SessionTask>> running;
    {
        std::lock_guard lock(mutex_);
        invalidated_ = true;
        for (const auto& [address, weak] : tasks_)
            if (auto task = weak.lock()) running.push_back(std::move(task));
    }
    for (const auto& task : running) task->cancel();
}

std::expected<foundation::Data, URLError> readContents(const foundation::URL& url) {
    std::promise<DataResult> promise;
    auto result = promise.get_future();
    Session::shared()->data(url, [&promise](DataResult answer) { promise.set_value(std::move(answer)); });
    auto answer = result.get();
    if (!answer) return std::unexpected(answer.error());
    return std::move(answer->first);
}

}  // namespace net
