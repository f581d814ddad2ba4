#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "net/Challenge.h"
#include "net/Session.h"
#include "net/SessionDelegate.h"
#include "pictura/Delegate.h"
#include "pictura/PicturaError.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

// The delegate of the downloader's session: files the running shared downloads by URL and turns the
// session's events into outcomes for their consumers. What needs the downloader's settings it asks
// through the five hooks, which the downloader binds.
class SessionDelegate : public net::SessionDelegate, public std::enable_shared_from_this<SessionDelegate> {
public:
    using SessionChallenge = std::tuple<std::shared_ptr<net::Session>, net::AuthenticationChallenge, net::ChallengeReply>;
    using SessionTaskChallenge = std::tuple<std::shared_ptr<net::Session>, std::shared_ptr<net::SessionTask>,
                                            net::AuthenticationChallenge, net::ChallengeReply>;
    using DownloadingFinished = std::pair<foundation::URL, std::expected<net::Response, PicturaError>>;
    // Made under the delegate's lock when no task is filed for the URL.
    using TaskMaker = std::function<std::shared_ptr<SessionDataTask>()>;

    // A body beyond this fails with data-length-exceeds-maximum: an endless or huge answer must not
    // take the process's memory. Far above any picture the app shows.
    static constexpr std::int64_t defaultMaximumBodySize = 64LL * 1024 * 1024;

    static std::shared_ptr<SessionDelegate> make() { return std::make_shared<SessionDelegate>(); }

    // Files a new transfer under `url` (replacing any entry) with its first consumer.
    virtual DownloadTask add(std::shared_ptr<net::SessionTask> task, const foundation::URL& url,
                             SessionDataTask::TaskCallback callback);
    // Joins the consumer to the transfer filed under `url`, or files the one `makeTask` gives, under one
    // hold of the lock: two consumers of one URL never get two transfers. Answers whether it filed one.
    virtual std::pair<DownloadTask, bool> join(const foundation::URL& url, SessionDataTask::TaskCallback callback,
                                               const TaskMaker& makeTask);
    // Unfiles the task (only when it is the one filed under its URL) and drops its consumers untold.
    virtual void remove(const std::shared_ptr<SessionDataTask>& task);
    virtual std::shared_ptr<SessionDataTask> task(const foundation::URL& url) const;
    // The filed download of a transfer; nothing for a transfer that is no longer filed.
    virtual std::shared_ptr<SessionDataTask> task(const net::SessionTask& task) const;
    // Every consumer of every filed download gets `taskCancelled`.
    virtual void cancelAll();
    // Unfiles the transfer's download and hands its consumers the result.
    void finishTask(const net::SessionTask& task, SessionDataTask::DataResult result);

    Delegate<int, bool> onValidStatusCode;
    Delegate<DownloadingFinished, void> onDownloadingFinished;
    // The final body; nothing means the body was refused. The task's body may be taken, not copied.
    Delegate<std::shared_ptr<SessionDataTask>, std::optional<foundation::Data>> onDidDownloadData;
    Delegate<SessionChallenge, void> onReceiveSessionChallenge;
    Delegate<SessionTaskChallenge, void> onReceiveSessionTaskChallenge;

    std::int64_t maximumBodySize = defaultMaximumBodySize;

    // The session's six events.
    void didReceiveResponse(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                            const net::Response& response, net::ResponseReply reply) override;
    void didReceiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                        const foundation::Data& chunk) override;
    void didReceiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                        foundation::Data&& chunk) override;
    void didComplete(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                     const std::optional<net::URLError>& error) override;
    void willPerformHTTPRedirection(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                                    const net::Response& response, net::Request newRequest,
                                    net::RedirectReply reply) override;
    void didReceiveChallenge(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                             const net::AuthenticationChallenge& challenge, net::ChallengeReply reply) override;
    void didReceiveChallenge(net::Session& session, const net::AuthenticationChallenge& challenge,
                             net::ChallengeReply reply) override;

private:
    DownloadTask file(std::shared_ptr<SessionDataTask> task, const foundation::URL& url,
                      SessionDataTask::TaskCallback callback);
    void callbackCancelled(const std::shared_ptr<SessionDataTask>& task, int token,
                           SessionDataTask::TaskCallback callback);
    void failOverCap(const net::SessionTask& task, std::int64_t size);
    // `own` is the chunk when the delegate may keep it.
    void receiveData(net::Session& session, const std::shared_ptr<net::SessionTask>& task,
                     const foundation::Data& chunk, foundation::Data* own);

    std::unordered_map<foundation::URL, std::shared_ptr<SessionDataTask>> tasks_;
    mutable std::mutex lock_;
};

}  // namespace pictura
