#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "NetworkThread.h"
#include "net/ProtocolRegistry.h"
#include "net/Session.h"

namespace net {

enum class TaskKind { delegateDriven, gathersData, downloadsToFile };

// The life of one task on the network thread: each hop (the first request and every redirect) is a
// curl transfer or an in-process answer; events go out to the delegate queue in order.
class TaskRunner final : public NetworkThread::Transfer {
public:
    static constexpr int maximumRedirects = 16;
    // What one hop's head may hold, counted line by line over everything that is not body: the status
    // lines and fields of every interim response, the final one's and its trailers. Far more than any
    // real response has; past either the hop ends as a bad response.
    static constexpr std::size_t maximumHeaderFields = 1000;
    static constexpr std::size_t maximumHeadLength = 256 * 1024;

    TaskRunner(SessionTask& task, TaskKind kind, DataCompletion dataCompletion, DownloadCompletion downloadCompletion);
    ~TaskRunner();

    // Network thread only, from here on.
    void start(std::shared_ptr<SessionTask> self);
    void cancel() {
        guarded([this] { finish(URLError{URLError::cancelled, currentURL()}); });
    }
    void transferDone(CURLcode result) override;

private:
    using Event = std::function<void(SessionDelegate&, Session&, const std::shared_ptr<SessionTask>&)>;

    void startHop();
    void challengeAnswered(const ChallengeAnswer& answer);
    void beginTransfer(bool trustServer);
    void answerInProcess(const ProtocolHandler& handler);
    void headersComplete(Response response);
    void presentResponse(Response response);
    void responseAnswered(ResponseDisposition disposition);
    void hopDone(std::optional<URLError> error);
    void finishWhenAllowed(std::optional<URLError> error);
    void endWhenAnswered();
    void redirect();
    void followRedirect(std::optional<Request> request);
    std::vector<foundation::Data> takeHeldBody();
    void releaseHeldBody();
    bool receive(const char* bytes, std::size_t count);
    bool receive(foundation::Data chunk);
    void passOn(std::shared_ptr<foundation::Data> chunk);
    // The chunk sent to the delegate in this round, which later reads of the round join; else null.
    foundation::Data* openChunk() const;
    void finish(std::optional<URLError> error);
    // How long the current hop may still take, in milliseconds; 0 for no bound.
    long remainingTimeMilliseconds() const;
    void detachTransfer();

    // Runs a step of the network thread. Memory running out on the way ends this transfer with an error
    // instead of the process: no exception leaves a step, nor crosses curl's callbacks.
    template <typename Step>
    void guarded(Step&& step) noexcept {
        try {
            step();
        } catch (...) {
            failInside(std::current_exception());
        }
    }
    void failInside(std::exception_ptr exception) noexcept;
    // The error a step that threw ends its transfer with.
    URLError insideError(std::exception_ptr exception) const noexcept;
    // One line of the head as curl hands it over; false refuses it, which ends the hop.
    bool headLine(std::string_view line);
    bool refuseHead(std::string reason);
    // A piece of the body as curl hands it over; what is taken, anything else ends the hop.
    std::size_t body(char* bytes, std::size_t length);
    void hopTransferred(CURLcode result);

    static std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* runner);
    static std::size_t onBody(char* bytes, std::size_t size, std::size_t count, void* runner);

    std::string currentURL() const;
    // From the network thread, with the round's other blocks for the queue; from elsewhere, at once.
    static void onDelegateQueue(const Session& session, dispatch::Block block);
    // Also closes the round's open chunk, so that a later read cannot join a chunk sent before this event.
    void toDelegate(Event event);

    // The delegate's answer to the response, and the end of a transfer that finished before it came.
    struct ResponseAnswer {
        std::mutex mutex;
        std::optional<ResponseDisposition> disposition;
        std::function<void(ResponseDisposition)> parkedEnd;
    };

    SessionTask& task_;
    const TaskKind kind_;
    DataCompletion dataCompletion_;
    DownloadCompletion downloadCompletion_;

    std::shared_ptr<SessionTask> keepAlive_;
    bool finished_ = false;
    int redirects_ = 0;
    std::chrono::steady_clock::time_point startedAt_;

    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    HTTPHeaders arrivingHeaders_;
    bool headersDone_ = false;
    // The hop's head so far, every line counted (see maximumHeaderFields).
    std::size_t headFields_ = 0;
    std::size_t headLength_ = 0;
    Response hopResponse_;
    bool redirectPending_ = false;
    bool redirectBodyCut_ = false;
    bool awaitingDisposition_ = false;
    bool paused_ = false;
    std::shared_ptr<ResponseAnswer> answer_;
    // Body handed to the delegate queue and not yet delivered there. A transfer that gets ahead of its
    // delegate by more than handedOverLimit pauses until the delegate has caught up: a small compressed
    // body may inflate to gigabytes within one turn of the network thread.
    static constexpr std::int64_t handedOverLimit = std::int64_t(8) << 20;
    std::atomic<std::int64_t> handedOver_ = 0;
    std::atomic<bool> waitsForDelegate_ = false;
    // Network thread: whether the transfer pauses until its delegate has caught up.
    bool holdForDelegate();
    // Network thread: continues a paused transfer once neither the response's answer nor the delegate
    // holds it back.
    void resumeWhenAllowed();
    // Delegate queue: `bytes` reached the delegate.
    void delivered(std::int64_t bytes);
    std::optional<std::optional<URLError>> hopResult_;  // the hop ended while the response awaited its answer
    foundation::Data heldBody_;  // a redirect's or an in-process answer's body, released once allowed
    // Body read on while the response awaits its answer.
    foundation::Data earlyBody_;
    // The chunk sent to the delegate in this round of the network thread, still open to later reads.
    std::shared_ptr<foundation::Data> openChunk_;
    std::uint64_t openChunkRound_ = 0;
    char errorText_[CURL_ERROR_SIZE] = {};

    foundation::Data gathered_;
    std::FILE* file_ = nullptr;
    std::string filePath_;
};

}  // namespace net
