#include "TaskRunner.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "CertificateAuthorities.h"
#include "CookieJar.h"
#include "URLText.h"

namespace net {

namespace {

// A refused redirect hands its body on; beyond this much, the rest of a redirect's body is dropped.
constexpr std::size_t redirectBodyLimit = 1 << 20;
// The most body read ahead while the delegate has not yet answered the response.
constexpr std::size_t heldWhileAwaitingLimit = std::size_t(8) << 20;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

TaskRunner::TaskRunner(SessionTask& task, TaskKind kind, DataCompletion dataCompletion,
                       DownloadCompletion downloadCompletion)
    : task_(task), kind_(kind), dataCompletion_(std::move(dataCompletion)),
      downloadCompletion_(std::move(downloadCompletion)) {}

TaskRunner::~TaskRunner() {
    detachTransfer();
    if (file_) std::fclose(file_);
    if (!filePath_.empty()) ::unlink(filePath_.c_str());
}

std::string TaskRunner::currentURL() const {
    auto url = task_.currentRequest().url;
    return url ? url->absoluteString() : std::string();
}

void TaskRunner::onDelegateQueue(const Session& session, dispatch::Block block) {
    auto& thread = NetworkThread::instance();
    if (thread.isCurrent()) return thread.deliver(session.delegateQueue_, std::move(block));
    session.delegateQueue_->async(std::move(block));
}

void TaskRunner::toDelegate(Event event) {
    openChunk_ = nullptr;
    auto task = task_.shared_from_this();
    onDelegateQueue(*task_.session_, [task, event = std::move(event)] {
        if (auto delegate = task->session_->delegate()) event(*delegate, *task->session_, task);
    });
}

void TaskRunner::start(std::shared_ptr<SessionTask> self) {
    keepAlive_ = std::move(self);
    if (finished_) return;
    guarded([this] {
        startedAt_ = std::chrono::steady_clock::now();
        bool invalidated = false;
        {
            std::lock_guard lock(task_.session_->mutex_);
            invalidated = task_.session_->invalidated_;
        }
        // Finished outside the lock: finishing takes it again to forget the task. Holding it here
        // stopped the network thread, and with it every transfer of every session.
        if (invalidated) return finish(URLError{URLError::cancelled, currentURL()});
        startHop();
    });
}

URLError TaskRunner::insideError(std::exception_ptr exception) const noexcept {
    const char* detail = "the transfer failed inside the session";
    try {
        std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
        detail = "out of memory";
    } catch (...) {
    }
    try {
        return URLError{URLError::unknown, currentURL(), detail};
    } catch (...) {
        return URLError{URLError::unknown};
    }
}

void TaskRunner::failInside(std::exception_ptr exception) noexcept {
    try {
        finish(insideError(exception));
    } catch (...) {
        // Not even the end could be told: the transfer stops here, and its task waits in vain.
        finished_ = true;
        detachTransfer();
    }
}

void TaskRunner::startHop() {
    const Request request = task_.currentRequest();
    if (!request.url) return finish(URLError{URLError::badURL});
    const std::string url = request.url->absoluteString();
    auto parts = parseTransferURL(url);
    if (!parts) return finish(parts.error());
    headersDone_ = false;
    headFields_ = 0;
    headLength_ = 0;
    redirectPending_ = false;
    redirectBodyCut_ = false;
    hopResult_.reset();
    heldBody_ = {};
    earlyBody_ = {};
    openChunk_ = nullptr;
    if (auto handler = task_.session_->configuration_.protocols->handlerFor(parts->host))
        return answerInProcess(*handler);
    if (parts->scheme != "https" || !task_.session_->delegate()) return beginTransfer(false);

    auto trust = std::make_shared<const ServerTrust>(ServerTrust{parts->host, parts->port});
    AuthenticationChallenge challenge;
    challenge.protectionSpace = ProtectionSpace{parts->host, parts->port, "https",
                                                ProtectionSpace::AuthenticationMethod::serverTrust, trust};
    ChallengeReply reply{Reply<ChallengeAnswer>(
        [task = task_.shared_from_this()](ChallengeAnswer answer) {
            NetworkThread::instance().post([task, answer = std::move(answer)] {
                auto& runner = *task->runner_;
                if (!runner.finished_) runner.guarded([&] { runner.challengeAnswered(answer); });
            });
        },
        ChallengeAnswer{})};
    toDelegate([challenge, reply](SessionDelegate& delegate, Session& session, const auto& task) {
        delegate.didReceiveChallenge(session, task, challenge, reply);
    });
}

void TaskRunner::challengeAnswered(const ChallengeAnswer& answer) {
    switch (answer.disposition) {
    case ChallengeDisposition::cancelAuthenticationChallenge:
        return finish(URLError{URLError::cancelled, currentURL()});
    case ChallengeDisposition::useCredential:
        return beginTransfer(answer.credential && answer.credential->trust);
    case ChallengeDisposition::performDefaultHandling:
    case ChallengeDisposition::rejectProtectionSpace:
        return beginTransfer(false);
    }
}

void TaskRunner::beginTransfer(bool trustServer) {
    const Request request = task_.currentRequest();
    const auto& configuration = task_.session_->configuration_;
    const std::string url = currentURL();
    easy_ = NetworkThread::instance().takeHandle();
    if (!easy_) return finish(URLError{URLError::unknown, url, "no transfer handle"});

    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, static_cast<NetworkThread::Transfer*>(this));
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, "Sorvane");
    // Fewer, larger body callbacks: a large body arrives at close to loopback speed.
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(easy_, CURLOPT_SHARE, task_.session_->cookies_->share());
    curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");

    // A transfer idle for the request's interval fails; so does a connect that takes as long.
    const double interval = request.timeoutInterval > 0 ? request.timeoutInterval : Request::defaultTimeoutInterval;
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(interval * 1000));
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>(std::ceil(interval))));
    const long remaining = remainingTimeMilliseconds();
    if (remaining < 0) {
        detachTransfer();
        return finish(URLError{URLError::timedOut, url, "the whole transfer took too long"});
    }
    if (remaining > 0) curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, remaining);

    if (request.method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (request.method == "POST" || !request.body.empty()) {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, request.body.empty() ? "" : request.body.view().data());
        if (request.method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    } else if (request.method != "GET") {
        curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    HTTPHeaders headers = configuration.httpAdditionalHeaders;
    for (const auto& [name, value] : request.headers) headers.set(name, value);
    for (const auto& [name, value] : headers) {
        std::string line = name + (value.empty() ? ";" : ": " + value);
        headerList_ = curl_slist_append(headerList_, line.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &TaskRunner::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &TaskRunner::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);

    applyCertificateAuthorities(easy_);
    if (trustServer) {
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (curl_multi_add_handle(NetworkThread::instance().multi(), easy_) != CURLM_OK) {
        detachTransfer();
        finish(URLError{URLError::unknown, url, "the transfer could not start"});
    }
}

long TaskRunner::remainingTimeMilliseconds() const {
    const auto& configuration = task_.session_->configuration_;
    double limit = configuration.timeoutIntervalForResource > 0 ? configuration.timeoutIntervalForResource : 0;
    // A gathered body's cap counts from resume, so redirects share one allowance.
    if (kind_ == TaskKind::gathersData && configuration.timeoutIntervalForGathering > 0) {
        double left = configuration.timeoutIntervalForGathering -
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count();
        if (left <= 0) return -1;
        limit = limit > 0 ? std::min(limit, left) : left;
    }
    return limit > 0 ? std::max(1L, static_cast<long>(limit * 1000)) : 0;
}

void TaskRunner::answerInProcess(const ProtocolHandler& handler) {
    const Request request = task_.currentRequest();
    std::expected<ProtocolAnswer, URLError> answer = std::unexpected(URLError{URLError::badServerResponse, currentURL()});
    try {
        answer = handler(request);
    } catch (...) {
        // A throwing handler is a broken server, not a broken session.
    }
    if (!answer) {
        URLError error = answer.error();
        if (error.failingURL.empty()) error.failingURL = currentURL();
        return finish(std::move(error));
    }
    Response response = std::move(answer->response);
    if (!response.url) response.url = request.url;
    headersComplete(std::move(response));
    heldBody_ = std::move(answer->body);
    hopDone(std::nullopt);
}

std::size_t TaskRunner::onHeader(char* bytes, std::size_t size, std::size_t count, void* runnerPointer) {
    auto& runner = *static_cast<TaskRunner*>(runnerPointer);
    const std::size_t length = size * count;
    try {
        return runner.headLine(std::string_view(bytes, length)) ? length : 0;
    } catch (...) {
        runner.hopResult_.emplace(runner.insideError(std::current_exception()));
        return 0;
    }
}

bool TaskRunner::refuseHead(std::string reason) {
    hopResult_ = URLError{URLError::badServerResponse, currentURL(), std::move(reason)};
    return false;
}

bool TaskRunner::headLine(std::string_view text) {
    // Counted before anything is kept: curl keeps every line it hands over, trailers and the heads of
    // interim responses included, for as long as the transfer lasts.
    headLength_ += text.size();
    if (headLength_ > maximumHeadLength)
        return refuseHead("a head of more than " + std::to_string(maximumHeadLength) + " bytes");
    auto line = withoutLineEnd(text);
    const bool field = !line.empty() && !(line.starts_with("HTTP/") && !headersDone_);
    if (field && ++headFields_ > maximumHeaderFields)
        return refuseHead("more than " + std::to_string(maximumHeaderFields) + " header fields");
    // After the head, whatever comes is a trailer, even one that reads like a status line.
    if (headersDone_) return true;
    if (line.starts_with("HTTP/")) {
        arrivingHeaders_ = {};
        return true;
    }
    if (line.empty()) {
        long status = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200) return true;
        headersDone_ = true;
        headersComplete(Response::make(task_.currentRequest().url, static_cast<int>(status), std::move(arrivingHeaders_)));
        return true;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return true;
    arrivingHeaders_.add(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    return true;
}

std::size_t TaskRunner::onBody(char* bytes, std::size_t size, std::size_t count, void* runnerPointer) {
    auto& runner = *static_cast<TaskRunner*>(runnerPointer);
    try {
        return runner.body(bytes, size * count);
    } catch (...) {
        runner.hopResult_.emplace(runner.insideError(std::current_exception()));
        return 0;
    }
}

std::size_t TaskRunner::body(char* bytes, std::size_t length) {
    if (!headersDone_) return length;
    if (redirectPending_) {
        // A redirect whose body never ends must not hold the redirect back: keep the start and stop reading.
        const std::size_t room = redirectBodyLimit - heldBody_.size();
        heldBody_.append(bytes, std::min(length, room));
        if (length > room) {
            redirectBodyCut_ = true;
            return 0;
        }
        return length;
    }
    if (awaitingDisposition_) {
        // Read on while the delegate decides: the transfer, and the connection it holds, must not wait
        // for a hop to the delegate queue and back. Past the limit it pauses, so memory stays bounded.
        if (earlyBody_.size() + length > heldWhileAwaitingLimit) {
            paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        earlyBody_.append(bytes, length);
        return length;
    }
    if (kind_ == TaskKind::delegateDriven && handedOver_.load() > handedOverLimit && holdForDelegate())
        return CURL_WRITEFUNC_PAUSE;
    return receive(bytes, length) ? length : 0;
}

bool TaskRunner::holdForDelegate() {
    waitsForDelegate_ = true;
    // Delivered since the test: no delivery is left to wake the transfer, so it goes on.
    if (handedOver_.load() <= handedOverLimit / 2 && waitsForDelegate_.exchange(false)) return false;
    paused_ = true;
    return true;
}

void TaskRunner::resumeWhenAllowed() {
    if (!easy_ || !paused_ || awaitingDisposition_ || waitsForDelegate_) return;
    paused_ = false;
    curl_easy_pause(easy_, CURLPAUSE_CONT);
}

void TaskRunner::delivered(std::int64_t bytes) {
    const auto left = handedOver_.fetch_sub(bytes) - bytes;
    if (left > handedOverLimit / 2 || !waitsForDelegate_.exchange(false)) return;
    NetworkThread::instance().post([task = task_.shared_from_this()] {
        auto& runner = *task->runner_;
        if (!runner.finished_) runner.guarded([&] { runner.resumeWhenAllowed(); });
    });
}

void TaskRunner::headersComplete(Response response) {
    if (isRedirect(response.statusCode) && response.headers.value("Location")) {
        hopResponse_ = std::move(response);
        redirectPending_ = true;
        return;
    }
    presentResponse(std::move(response));
}

void TaskRunner::presentResponse(Response response) {
    hopResponse_ = response;
    {
        std::lock_guard lock(task_.mutex_);
        task_.response_ = response;
    }
    // Growing a large body by doubling costs more than the transfer; a stated length sizes it once.
    constexpr std::int64_t reserveLimit = std::int64_t(1) << 30;
    const std::int64_t maximum = task_.session_->configuration_.maximumGatheredLength;
    if (kind_ == TaskKind::gathersData && response.expectedContentLength > 0 &&
        response.expectedContentLength < reserveLimit && (maximum <= 0 || response.expectedContentLength <= maximum) &&
        !response.headers.value("Content-Encoding"))
        gathered_.bytes().reserve(static_cast<std::size_t>(response.expectedContentLength));
    if (kind_ == TaskKind::downloadsToFile) {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-download-XXXXXX").string();
        int descriptor = ::mkstemp(pattern.data());
        if (descriptor >= 0) {
            filePath_ = pattern;
            file_ = ::fdopen(descriptor, "wb");
        }
        if (!file_) {
            if (descriptor >= 0) ::close(descriptor);
            hopResult_ = URLError{URLError::cannotCreateFile, currentURL()};
        }
    }
    if (kind_ != TaskKind::delegateDriven || !task_.session_->delegate()) return;
    // A small body is usually whole before the answer comes: read into one buffer, sized once.
    if (response.expectedContentLength > 0)
        earlyBody_.bytes().reserve(static_cast<std::size_t>(
            std::min<std::int64_t>(response.expectedContentLength, heldWhileAwaitingLimit)));
    answer_ = std::make_shared<ResponseAnswer>();
    ResponseReply reply(
        [task = task_.shared_from_this(), answer = answer_](ResponseDisposition disposition) {
            std::function<void(ResponseDisposition)> parkedEnd;
            {
                std::lock_guard lock(answer->mutex);
                answer->disposition = disposition;
                parkedEnd = std::move(answer->parkedEnd);
            }
            if (parkedEnd) return parkedEnd(disposition);
            NetworkThread::instance().post([task, disposition] {
                auto& runner = *task->runner_;
                if (!runner.finished_) runner.guarded([&] { runner.responseAnswered(disposition); });
            });
        },
        ResponseDisposition::allow);
    toDelegate([response = std::move(response), reply](SessionDelegate& delegate, Session& session, const auto& task) {
        delegate.didReceiveResponse(session, task, response, reply);
    });
    // Only once the question is on its way: a step that failed before it never waits for an answer.
    awaitingDisposition_ = true;
}

void TaskRunner::responseAnswered(ResponseDisposition disposition) {
    awaitingDisposition_ = false;
    if (disposition == ResponseDisposition::cancel) return finish(URLError{URLError::cancelled, currentURL()});
    releaseHeldBody();
    if (finished_) return;
    if (hopResult_) return finish(*hopResult_);
    resumeWhenAllowed();
}

void TaskRunner::transferDone(CURLcode result) {
    guarded([&] { hopTransferred(result); });
}

void TaskRunner::hopTransferred(CURLcode result) {
    auto error = redirectBodyCut_ ? std::nullopt : urlErrorFor(result, currentURL(), errorText_);
    // curl tells a header past its size cap as out of memory, and so a paused body that inflates past
    // what it holds for a pause: it is the server's answer that is wrong.
    if (error && result == CURLE_OUT_OF_MEMORY && !headersDone_)
        error = URLError{URLError::badServerResponse, currentURL(), "the response's head is larger than the transport reads"};
    else if (error && result == CURLE_OUT_OF_MEMORY && paused_)
        error = URLError{URLError::badServerResponse, currentURL(), "the body inflates past what the transport holds"};
    detachTransfer();
    hopDone(std::move(error));
}

void TaskRunner::hopDone(std::optional<URLError> error) {
    if (finished_) return;
    if (!error && redirectPending_) return redirect();
    finishWhenAllowed(std::move(error));
}

void TaskRunner::finishWhenAllowed(std::optional<URLError> error) {
    if (!hopResult_ || !*hopResult_) hopResult_ = std::move(error);
    if (awaitingDisposition_) return endWhenAnswered();
    releaseHeldBody();
    if (!finished_) finish(*hopResult_);
}

void TaskRunner::endWhenAnswered() {
    // The transfer is over and only the delegate's answer is missing. The end goes out from the delegate
    // queue once the answer is there, so neither the answer nor the end waits for a hop through here.
    finished_ = true;
    detachTransfer();
    auto chunks = takeHeldBody();
    auto end = [task = task_.shared_from_this(), chunks = std::move(chunks),
                error = *hopResult_](ResponseDisposition disposition) mutable {
        onDelegateQueue(*task->session_, [task, chunks = std::move(chunks), error, disposition]() mutable {
            bool allowed = disposition == ResponseDisposition::allow;
            {
                std::lock_guard lock(task->mutex_);
                // A cancel that came while the answer was awaited wins, as it would have mid-transfer.
                if (task->state_ == SessionTask::State::canceling) allowed = false;
                if (!allowed) {
                    auto url = task->currentRequest_.url;
                    error = URLError{URLError::cancelled, url ? url->absoluteString() : std::string()};
                } else {
                    for (const auto& chunk : chunks) task->bytesReceived_ += static_cast<std::int64_t>(chunk.size());
                }
                task->state_ = SessionTask::State::completed;
                task->error_ = error;
            }
            task->session_->forget(*task);
            auto delegate = task->session_->delegate();
            if (!delegate) return;
            if (allowed)
                for (auto& chunk : chunks) delegate->didReceiveData(*task->session_, task, std::move(chunk));
            delegate->didComplete(*task->session_, task, error);
        });
    };
    std::optional<ResponseDisposition> answered;
    {
        std::lock_guard lock(answer_->mutex);
        answered = answer_->disposition;
        if (!answered) answer_->parkedEnd = std::move(end);
    }
    if (answered) end(*answered);
    // Released from the command loop, after this call has unwound.
    NetworkThread::instance().post([keep = std::move(keepAlive_)] {});
}

void TaskRunner::redirect() {
    redirectPending_ = false;
    const Request current = task_.currentRequest();
    if (redirects_ >= maximumRedirects) return finish(URLError{URLError::httpTooManyRedirects, currentURL()});
    ++redirects_;
    auto location = *hopResponse_.headers.value("Location");
    auto target = foundation::URL::fromString(location, *current.url);
    if (!target) return finish(URLError{URLError::badURL, location, "unreadable redirect location"});

    Request next = current;
    next.url = target->absoluteURL();
    const int status = hopResponse_.statusCode;
    if ((status == 303 && next.method != "HEAD") || ((status == 301 || status == 302) && next.method == "POST")) {
        next.method = "GET";
        next.body = {};
        next.headers.remove("Content-Type");
        next.headers.remove("Content-Length");
    }
    if (!task_.session_->delegate()) return followRedirect(std::move(next));

    RedirectReply reply(
        [task = task_.shared_from_this()](std::optional<Request> request) {
            NetworkThread::instance().post([task, request = std::move(request)]() mutable {
                auto& runner = *task->runner_;
                if (!runner.finished_) runner.guarded([&] { runner.followRedirect(std::move(request)); });
            });
        },
        next);
    toDelegate([response = hopResponse_, next, reply](SessionDelegate& delegate, Session& session, const auto& task) {
        delegate.willPerformHTTPRedirection(session, task, response, next, reply);
    });
}

void TaskRunner::followRedirect(std::optional<Request> request) {
    if (!request) {
        // Refused: the redirect itself is the answer.
        auto body = std::move(heldBody_);
        presentResponse(hopResponse_);
        heldBody_ = std::move(body);
        return finishWhenAllowed(std::nullopt);
    }
    {
        std::lock_guard lock(task_.mutex_);
        task_.currentRequest_ = std::move(*request);
    }
    startHop();
}

std::vector<foundation::Data> TaskRunner::takeHeldBody() {
    std::vector<foundation::Data> chunks;
    if (!earlyBody_.empty()) chunks.push_back(std::exchange(earlyBody_, {}));
    if (!heldBody_.empty()) chunks.push_back(std::exchange(heldBody_, {}));
    return chunks;
}

void TaskRunner::releaseHeldBody() {
    for (auto& chunk : takeHeldBody())
        if (!receive(std::move(chunk)))
            return finish(hopResult_ && *hopResult_ ? **hopResult_ : URLError{URLError::cannotWriteToFile, currentURL()});
}

bool TaskRunner::receive(foundation::Data chunk) {
    if (kind_ != TaskKind::delegateDriven) return receive(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    {
        std::lock_guard lock(task_.mutex_);
        task_.bytesReceived_ += static_cast<std::int64_t>(chunk.size());
    }
    handedOver_ += static_cast<std::int64_t>(chunk.size());
    // Handed on whole, not copied again, unless this round already has a chunk to add it to.
    if (auto* open = openChunk()) open->append(chunk);
    else passOn(std::make_shared<foundation::Data>(std::move(chunk)));
    return true;
}

foundation::Data* TaskRunner::openChunk() const {
    return openChunk_ && openChunkRound_ == NetworkThread::instance().round() ? openChunk_.get() : nullptr;
}

void TaskRunner::passOn(std::shared_ptr<foundation::Data> chunk) {
    openChunk_ = nullptr;
    auto task = task_.shared_from_this();
    // Counted as delivered also when the delegate has gone, or the transfer would wait for it forever.
    onDelegateQueue(*task_.session_, [task, chunk] {
        // Read before the chunk is handed on: the round's later reads joined it.
        const auto bytes = static_cast<std::int64_t>(chunk->size());
        if (auto delegate = task->session_->delegate()) delegate->didReceiveData(*task->session_, task, std::move(*chunk));
        task->runner_->delivered(bytes);
    });
    openChunk_ = std::move(chunk);
    openChunkRound_ = NetworkThread::instance().round();
}

bool TaskRunner::receive(const char* bytes, std::size_t count) {
    std::int64_t received = 0;
    {
        std::lock_guard lock(task_.mutex_);
        received = task_.bytesReceived_;
        task_.bytesReceived_ += static_cast<std::int64_t>(count);
    }
    switch (kind_) {
    case TaskKind::delegateDriven: {
        handedOver_ += static_cast<std::int64_t>(count);
        // What one round reads reaches the delegate as one chunk: one hand-over and one buffer, sized by
        // what the stated length leaves, instead of one of each per read.
        if (auto* open = openChunk()) {
            open->append(bytes, count);
            return true;
        }
        auto chunk = std::make_shared<foundation::Data>();
        const std::int64_t left = hopResponse_.expectedContentLength - received;
        chunk->bytes().reserve(left > 0 ? static_cast<std::size_t>(std::min<std::int64_t>(left, heldWhileAwaitingLimit))
                                        : count);
        chunk->append(bytes, count);
        passOn(std::move(chunk));
        return true;
    }
    case TaskKind::gathersData: {
        // Counted as delivered, after decompression: a small compressed body may stand for gigabytes.
        const std::int64_t maximum = task_.session_->configuration_.maximumGatheredLength;
        if (maximum > 0 && static_cast<std::int64_t>(gathered_.size() + count) > maximum) {
            if (!hopResult_ || !*hopResult_)
                hopResult_ = URLError{URLError::dataLengthExceedsMaximum, currentURL(),
                                      "the body is larger than " + std::to_string(maximum) + " bytes"};
            gathered_ = {};
            return false;
        }
        gathered_.append(bytes, count);
        return true;
    }
    case TaskKind::downloadsToFile:
        if (!file_ || std::fwrite(bytes, 1, count, file_) != count) {
            if (!hopResult_) hopResult_ = URLError{URLError::cannotWriteToFile, currentURL()};
            return false;
        }
        return true;
    }
    return true;
}

void TaskRunner::detachTransfer() {
    if (easy_) {
        auto& thread = NetworkThread::instance();
        curl_multi_remove_handle(thread.multi(), easy_);
        // Kept for the next transfer; a runner torn down elsewhere has no say in the thread's handles.
        if (thread.isCurrent()) thread.giveBack(easy_);
        else curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    if (headerList_) {
        curl_slist_free_all(headerList_);
        headerList_ = nullptr;
    }
    paused_ = false;
}

void TaskRunner::finish(std::optional<URLError> error) {
    if (finished_) return;
    finished_ = true;
    detachTransfer();
    if (file_) {
        if (std::fclose(file_) != 0 && !error) error = URLError{URLError::cannotWriteToFile, currentURL()};
        file_ = nullptr;
    }
    std::optional<Response> response;
    {
        std::lock_guard lock(task_.mutex_);
        task_.state_ = SessionTask::State::completed;
        task_.error_ = error;
        response = task_.response_;
    }

    auto task = task_.shared_from_this();
    std::optional<std::string> file;
    if (!error && !filePath_.empty()) file = filePath_;
    std::string removeAfter = std::exchange(filePath_, {});
    onDelegateQueue(*task_.session_, [task, error, response, file, removeAfter, data = std::move(gathered_),
                                    dataCompletion = std::move(dataCompletion_),
                                    downloadCompletion = std::move(downloadCompletion_)]() mutable {
        if (auto delegate = task->session_->delegate()) delegate->didComplete(*task->session_, task, error);
        // Handed over, not copied: the answer's head may be large, and memory short.
        if (dataCompletion) dataCompletion(error ? foundation::Data() : std::move(data), std::move(response), error);
        else if (downloadCompletion) downloadCompletion(file, std::move(response), error);
        if (!removeAfter.empty()) ::unlink(removeAfter.c_str());
    });
    task_.session_->forget(task_);
    // Released from the command loop, after this call has unwound.
    NetworkThread::instance().post([keep = std::move(keepAlive_)] {});
}

}  // namespace net
