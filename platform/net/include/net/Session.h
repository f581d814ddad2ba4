#pragma once

#include <atomic>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dispatch/Queue.h"
#include "dispatch/Task.h"
#include "foundation/Data.h"
#include "net/ProtocolRegistry.h"
#include "net/Request.h"
#include "net/Response.h"
#include "net/SessionDelegate.h"
#include "net/SessionTask.h"
#include "net/URLError.h"

namespace net {

class CookieJar;

struct SessionConfiguration {
    // Idle time-out for tasks made from a bare URL; a request carries its own.
    double timeoutIntervalForRequest = Request::defaultTimeoutInterval;
    // The longest a whole transfer may take.
    double timeoutIntervalForResource = 7 * 24 * 3600;
    // Tasks that gather the body in memory (data() and dataTask with a completion): the most bytes one
    // may hold, counted after decompression, and the longest it may take from resume to the last byte,
    // redirects included. Past either it fails (-1103, -1001). 0 turns a limit off.
    std::int64_t maximumGatheredLength = std::int64_t(64) << 20;
    double timeoutIntervalForGathering = 120;
    HTTPHeaders httpAdditionalHeaders;
    // Default sessions share the process's cookies; ephemeral ones keep their own, in memory.
    bool ephemeral = false;
    std::shared_ptr<ProtocolRegistry> protocols = ProtocolRegistry::global();

    static SessionConfiguration defaultConfiguration() { return {}; }
    static SessionConfiguration ephemeralConfiguration() {
        SessionConfiguration configuration;
        configuration.ephemeral = true;
        return configuration;
    }
};

using DataResult = std::expected<std::pair<foundation::Data, Response>, URLError>;
using DataCompletion =
    std::function<void(foundation::Data, std::optional<Response>, std::optional<URLError>)>;
// The file exists only until the completion returns.
using DownloadCompletion =
    std::function<void(std::optional<std::string> file, std::optional<Response>, std::optional<URLError>)>;

// Makes tasks and delivers their events. Transfers run on one network thread shared by all sessions;
// delegate events and completions run on the session's delegate queue, one at a time.
class Session : public std::enable_shared_from_this<Session> {
public:
    // Without a delegate queue the session makes a serial queue of its own.
    static std::shared_ptr<Session> make(SessionConfiguration configuration = {},
                                         std::weak_ptr<SessionDelegate> delegate = {},
                                         std::shared_ptr<dispatch::Queue> delegateQueue = nullptr);
    // The process-wide session with the default configuration and no delegate.
    static std::shared_ptr<Session> shared();

    ~Session();

    const SessionConfiguration& configuration() const { return configuration_; }
    std::shared_ptr<SessionDelegate> delegate() const { return delegate_.lock(); }

    // Delegate-driven task: response, data and completion go to the delegate.
    std::shared_ptr<SessionTask> dataTask(Request request);
    std::shared_ptr<SessionTask> dataTask(const foundation::URL& url);
    // The body is gathered and handed to the completion; the delegate still sees challenges and redirects.
    std::shared_ptr<SessionTask> dataTask(Request request, DataCompletion completion);
    std::shared_ptr<SessionTask> downloadTask(Request request, DownloadCompletion completion);

    // GET; the body whatever the status, transport failures as the error. The awaiting task resumes on
    // its own queue.
    dispatch::Task<DataResult> data(foundation::URL url);
    dispatch::Task<DataResult> data(Request request);
    // The same, resumed at once, with the completion on the delegate queue.
    void data(const foundation::URL& url, std::function<void(DataResult)> completion);
    void data(Request request, std::function<void(DataResult)> completion);

    // Cancels every task; tasks made afterwards complete with cancelled.
    void invalidateAndCancel();

    const std::shared_ptr<dispatch::Queue>& delegateQueue() const { return delegateQueue_; }

private:
    friend class SessionTask;
    friend class TaskRunner;
    Session(SessionConfiguration configuration, std::weak_ptr<SessionDelegate> delegate,
            std::shared_ptr<dispatch::Queue> delegateQueue);
    std::shared_ptr<SessionTask> makeTask(Request request);
    void forget(const SessionTask& task);

    const SessionConfiguration configuration_;
    const std::weak_ptr<SessionDelegate> delegate_;
    const std::shared_ptr<dispatch::Queue> delegateQueue_;
    std::shared_ptr<CookieJar> cookies_;
    std::atomic<std::uint64_t> nextTaskIdentifier_ = 1;

    std::mutex mutex_;
    bool invalidated_ = false;
    // By address: a session with hundreds of transfers under way files and forgets each in constant time.
    std::unordered_map<const SessionTask*, std::weak_ptr<SessionTask>> tasks_;
    // Tasks dropped unstarted are never forgotten; they are swept once the map has doubled.
    std::size_t sweepAt_ = 64;
};

// Blocks until the whole resource is read, for a caller that runs on the pool (never on the shared
// session's delegate queue).
std::expected<foundation::Data, URLError> readContents(const foundation::URL& url);

}  // namespace net
