#pragma once

#include <atomic>
#include <expected>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "net/Response.h"
#include "net/SessionTask.h"
#include "pictura/Delegate.h"
#include "pictura/ImageLoadingResult.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"

namespace pictura {

// One shared download of one URL. Any number of consumers wait on it, each under its own token, so a
// request for a URL that is already being fetched joins the transfer instead of starting another.
class SessionDataTask : public std::enable_shared_from_this<SessionDataTask> {
public:
    // One consumer: where its outcome goes and the options it asked with.
    struct TaskCallback {
        // Null when the consumer gave no completion handler.
        std::shared_ptr<const Delegate<ImageLoadingOutcome, void>> onCompleted;
        PicturaParsedOptionsInfo options;
    };
    // The whole body, handed on once and never copied: its one receiver may take the bytes.
    using Body = std::shared_ptr<foundation::Data>;
    // The received bytes with the response (absent when the transfer had none), or the failure.
    using DataResult = std::expected<std::pair<Body, std::optional<net::Response>>, PicturaError>;
    using TaskDone = std::pair<DataResult, std::vector<TaskCallback>>;
    using CallbackCancelled = std::pair<int, TaskCallback>;

    static std::shared_ptr<SessionDataTask> make(std::shared_ptr<net::SessionTask> task);
    virtual ~SessionDataTask() = default;

    // The body so far. Written and read only on the session's delegate queue.
    virtual const foundation::Data& mutableData() const { return mutableData_; }
    // The URL of the transfer's original request, taken once at creation.
    const std::optional<foundation::URL>& originalURL() const { return originalURL_; }
    const std::shared_ptr<net::SessionTask>& task() const { return task_; }
    bool started() const { return started_; }

    // Tokens are 0, 1, 2, ... in the order callbacks are added, never reused.
    virtual int addCallback(TaskCallback callback);
    virtual std::optional<TaskCallback> removeCallback(int token);
    // The waiting consumers, in token order.
    std::vector<TaskCallback> callbacks() const;
    // Removes the consumers and hands them over in one step, so none of them is both cancelled and
    // given the transfer's outcome.
    std::vector<TaskCallback> takeCallbacks();
    bool hasCallbacks() const;
    // The data-received side effects of the waiting consumers, consumer by consumer in token order.
    std::vector<std::shared_ptr<DataReceivingSideEffect>> dataReceivingSideEffects() const;
    // The token's consumer leaves, told through `onCallbackCancelled` (outside the lock); a token that
    // is gone (cancelled already, or the download ended) does nothing.
    void cancel(int token);
    virtual void cancelAllCallbacks();
    void clearCallbacks();

    // Resumes the transfer; only the first call does anything.
    void start();
    void appendData(const foundation::Data& chunk);
    // The first bytes are taken whole when they bring at least the room reserved: no copy.
    void appendData(foundation::Data&& chunk);
    // Room for a body of the stated length, so it is not moved while it grows.
    void reserveData(std::size_t length);
    // The body so far, moved out: the transfer has ended and it goes on as one buffer.
    foundation::Data takeData();

    // The transfer's outcome, with the consumers it is for.
    Delegate<TaskDone, void> onTaskDone;
    Delegate<CallbackCancelled, void> onCallbackCancelled;

protected:
    explicit SessionDataTask(std::shared_ptr<net::SessionTask> task);

private:
    foundation::Data mutableData_;
    const std::optional<foundation::URL> originalURL_;
    const std::shared_ptr<net::SessionTask> task_;
    mutable std::mutex lock_;
    std::map<int, TaskCallback> callbacksStore_;
    int currentToken_ = 0;
    std::atomic<bool> started_ = false;
};

// A consumer's handle on a shared download.
struct DownloadTask {
    std::shared_ptr<SessionDataTask> sessionTask;
    int cancelToken = 0;

    // Withdraws this consumer alone; it gets `taskCancelled` once, the others keep waiting.
    void cancel() const { sessionTask->cancel(cancelToken); }
};

}  // namespace pictura
