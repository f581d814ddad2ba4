#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>

#include "LoopbackServer.h"
#include "Recorder.h"
#include "RefusingPort.h"

using namespace net;

namespace {

// Lets a handler hold its answer until the test lets go; released at the end so the server can stop.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    void release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return open; });
    }
};

// Some megabytes that no two reads of it share, so bytes delivered twice, late or out of place show.
const std::string& patterned() {
    static const std::string body = [] {
        std::string bytes(3 << 20, '\0');
        for (std::size_t index = 0; index < bytes.size(); ++index)
            bytes[index] = static_cast<char>(index * 7 + index / 4093);
        return bytes;
    }();
    return body;
}

class DataTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& server = loopback.server;
        server.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello world", "application/x-greeting; charset=utf-8");
        });
        server.Get("/unsized", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
                sink.write("no length", 9);
                sink.done();
                return true;
            });
        });
        server.Get("/chunks", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
                for (const char* chunk : {"one,", "two,", "three"}) {
                    sink.write(chunk, std::strlen(chunk));
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                sink.done();
                return true;
            });
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
        server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("{\"error\":\"not found\"}", "application/json");
        });
        server.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("{\"ok\":false}", "application/json");
        });
        server.Get("/large-text", [](const httplib::Request& request, httplib::Response& response) {
            response.set_header("X-Asked-Encoding", request.get_header_value("Accept-Encoding"));
            response.set_content(std::string(100000, 'a'), "text/plain");
        });
        server.Get("/set-cookie", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Set-Cookie", "lap=17; Path=/");
            response.set_content("set", "text/plain");
        });
        server.Get("/cookie", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(request.get_header_value("Cookie"), "text/plain");
        });
        server.Get("/patterned", [](const httplib::Request&, httplib::Response& response) {
            // A quarter megabyte at a time, a moment apart: the body comes in over many rounds of reading.
            response.set_content_provider(patterned().size(), "application/octet-stream",
                                          [](size_t offset, size_t length, httplib::DataSink& sink) {
                                              if (offset > 0)
                                                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                              sink.write(patterned().data() + offset,
                                                         std::min<size_t>(length, 256 << 10));
                                              return true;
                                          });
        });
        server.Get("/stall", [this](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink& sink) {
                sink.write("first", 5);
                gate.wait();
                sink.done();
                return true;
            });
        });
        loopback.start();
    }
    void TearDown() override { gate.release(); }

    std::pair<std::shared_ptr<Session>, std::shared_ptr<Recorder>> delegateSession(double timeout = 60) {
        auto recorder = std::make_shared<Recorder>();
        auto configuration = SessionConfiguration::ephemeralConfiguration();
        configuration.timeoutIntervalForRequest = timeout;
        return {Session::make(configuration, recorder), recorder};
    }

    // Starts a task of `path` and hands back the answer to its response, which the test then gives.
    std::pair<std::shared_ptr<SessionTask>, ResponseReply> startWithHeldAnswer(Session& session, Recorder& recorder,
                                                                               const std::string& path) {
        auto held = std::make_shared<std::promise<ResponseReply>>();
        auto answer = held->get_future();
        recorder.onResponse = [held](const Response&, ResponseReply reply) { held->set_value(std::move(reply)); };
        auto task = session.dataTask(loopback.url(path));
        task->resume();
        return {task, answer.get()};
    }

    Gate gate;
    LoopbackServer loopback;
};

}  // namespace

TEST_F(DataTaskTest, deliversResponseThenDataThenCompletionOnTheDelegate) {
    auto [session, recorder] = delegateSession();
    auto task = session->dataTask(loopback.url("/hello"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "hello world");
    EXPECT_EQ(recorder->response->expectedContentLength, 11);
    EXPECT_EQ(recorder->response->mimeType, "application/x-greeting");
    EXPECT_EQ(recorder->response->textEncodingName, "utf-8");
    EXPECT_EQ(task->state(), SessionTask::State::completed);
    EXPECT_EQ(task->countOfBytesReceived(), 11);
}

TEST_F(DataTaskTest, bodiesWithoutLengthOrInChunksArriveWholeAndInOrder) {
    auto [session, recorder] = delegateSession();
    session->dataTask(loopback.url("/unsized"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->body.toString(), "no length");
    EXPECT_EQ(recorder->response->expectedContentLength, -1);

    auto [chunkedSession, chunked] = delegateSession();
    chunkedSession->dataTask(loopback.url("/chunks"))->resume();
    ASSERT_TRUE(chunked->waitForCompletions());
    EXPECT_EQ(chunked->body.toString(), "one,two,three");
    EXPECT_GE(chunked->chunks.size(), 2u);  // progress arrives as the server writes
    EXPECT_EQ(chunked->chunks.front(), "one,");
}

TEST_F(DataTaskTest, errorStatusesReturnTheirBodiesAndNoContentReturnsNone) {
    auto session = Session::make(SessionConfiguration::ephemeralConfiguration());
    auto missing = fetch(session, loopback.url("/missing"));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->second.statusCode, 404);
    EXPECT_EQ(missing->first.toString(), "{\"error\":\"not found\"}");

    auto broken = fetch(session, loopback.url("/broken"));
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(broken->second.statusCode, 500);
    EXPECT_EQ(broken->first.toString(), "{\"ok\":false}");

    auto empty = fetch(session, loopback.url("/empty"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->second.statusCode, 204);
    EXPECT_TRUE(empty->first.empty());
}

TEST_F(DataTaskTest, compressedBodiesAreDecoded) {
    auto answer = fetch(Session::make(), loopback.url("/large-text"));
    ASSERT_TRUE(answer.has_value());
    EXPECT_NE(answer->second.headers.value("X-Asked-Encoding")->find("gzip"), std::string::npos);
    EXPECT_TRUE(answer->second.headers.value("Content-Encoding"));
    EXPECT_EQ(answer->first.toString(), std::string(100000, 'a'));
}

TEST_F(DataTaskTest, transportFailuresBecomeURLErrors) {
    auto session = Session::make();
    EXPECT_EQ(fetch(session, Request()).error().code, URLError::badURL);
    EXPECT_EQ(fetch(session, "ftp://127.0.0.1/file").error().code, URLError::unsupportedURL);
    EXPECT_EQ(fetch(session, "relative/path").error().code, URLError::unsupportedURL);
    RefusingPort refusing;
    EXPECT_EQ(fetch(session, refusing.url()).error().code, URLError::cannotConnectToHost);
}

TEST_F(DataTaskTest, stalledTransferTimesOutAfterItsIdleInterval) {
    // Long enough that the first bytes arrive within it on a loaded machine under ThreadSanitizer.
    auto [session, recorder] = delegateSession(3);
    session->dataTask(loopback.url("/stall"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->error->code, URLError::timedOut);
    EXPECT_EQ(recorder->body.toString(), "first");
}

TEST_F(DataTaskTest, cancelMidTransferCompletesLaterWithCancelled) {
    auto [session, recorder] = delegateSession();
    recorder->onData = [](SessionTask& task) { task.cancel(); };
    auto task = session->dataTask(loopback.url("/stall"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->error->code, URLError::cancelled);
    EXPECT_EQ(task->error()->code, URLError::cancelled);
    task->cancel();
    task->resume();
    EXPECT_EQ(recorder->completions, 1);
}

TEST_F(DataTaskTest, responseWaitsForTheDelegatesAnswer) {
    auto [session, recorder] = delegateSession();
    auto [task, reply] = startWithHeldAnswer(*session, *recorder, "/hello");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(recorder->outline(), std::vector<std::string>{"response 200"});
    reply(ResponseDisposition::allow);
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "hello world");
    EXPECT_EQ(task->countOfBytesReceived(), 11);
    EXPECT_EQ(task->state(), SessionTask::State::completed);
}

TEST_F(DataTaskTest, aTaskCancelledWhileItsResponseAwaitsAnAnswerEndsCancelledWithoutData) {
    auto [session, recorder] = delegateSession();
    auto [task, reply] = startWithHeldAnswer(*session, *recorder, "/hello");
    // Whether or not the body is in by now, the cancel comes before the answer and wins.
    task->cancel();
    reply(ResponseDisposition::allow);
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "complete -999"}));
    EXPECT_EQ(task->error()->code, URLError::cancelled);
    EXPECT_EQ(task->state(), SessionTask::State::completed);
}

TEST_F(DataTaskTest, aResponseAwaitingItsAnswerStillFreesItsConnection) {
    // More held answers than a host gets connections: a transfer that stopped reading until its answer
    // came would keep every connection, and the last request would never be sent.
    constexpr int held = 8;
    auto [session, recorder] = delegateSession();
    std::mutex mutex;
    std::vector<ResponseReply> replies;
    recorder->onResponse = [&](const Response& response, ResponseReply reply) {
        if (response.url->absoluteString().ends_with("/hello")) {
            std::lock_guard lock(mutex);
            return replies.push_back(std::move(reply));
        }
        reply(ResponseDisposition::allow);
    };
    for (int index = 0; index < held; ++index) session->dataTask(loopback.url("/hello"))->resume();
    session->dataTask(loopback.url("/large-text"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->body.size(), 100000u);
    {
        std::lock_guard lock(mutex);
        for (auto& reply : replies) reply(ResponseDisposition::allow);
    }
    // Each held transfer then hands on its whole body, after its response.
    ASSERT_TRUE(recorder->waitForCompletions(held + 1));
    EXPECT_EQ(recorder->body.size(), 100000u + held * std::string("hello world").size());
    EXPECT_EQ(recorder->error, std::nullopt);
}

TEST_F(DataTaskTest, responseCancelledByTheDelegateDeliversNoData) {
    auto [session, recorder] = delegateSession();
    recorder->onResponse = [](const Response&, ResponseReply reply) { reply(ResponseDisposition::cancel); };
    session->dataTask(loopback.url("/hello"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "complete -999"}));
}

TEST_F(DataTaskTest, droppedResponseHandlerAllowsTheTransfer) {
    auto [session, recorder] = delegateSession();
    recorder->onResponse = [](const Response&, ResponseReply) {};
    session->dataTask(loopback.url("/hello"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->body.toString(), "hello world");
}

TEST_F(DataTaskTest, tasksCountUpAndResumeOnlyOnce) {
    auto [session, recorder] = delegateSession();
    auto first = session->dataTask(loopback.url("/hello"));
    auto second = session->dataTask(Request(loopback.url("/chunks")));
    EXPECT_EQ(first->taskIdentifier(), 1u);
    EXPECT_EQ(second->taskIdentifier(), 2u);
    EXPECT_EQ(first->state(), SessionTask::State::suspended);
    EXPECT_FLOAT_EQ(first->priority(), 0.5f);
    first->resume();
    first->resume();
    second->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder->completions, 2);
    EXPECT_EQ(recorder->body.size(), std::string("hello worldone,two,three").size());
}

TEST_F(DataTaskTest, downloadedFileExistsOnlyDuringItsCompletion) {
    auto session = Session::make();
    std::promise<std::string> done;
    std::string contents;
    session->downloadTask(Request(loopback.url("/hello")),
                          [&](std::optional<std::string> file, std::optional<Response> response,
                              std::optional<URLError> error) {
                              EXPECT_FALSE(error);
                              EXPECT_EQ(response->statusCode, 200);
                              std::ifstream stream(*file);
                              std::getline(stream, contents);
                              done.set_value(*file);
                          })
        ->resume();
    auto file = done.get_future().get();
    EXPECT_EQ(contents, "hello world");
    for (int attempt = 0; attempt < 600 && std::filesystem::exists(file); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(DataTaskTest, wholeReadBlocksForTheBody) {
    EXPECT_EQ(readContents(loopback.url("/hello"))->toString(), "hello world");
    EXPECT_EQ(readContents(url("mailto:someone@example.com")).error().code, URLError::unsupportedURL);
}

TEST_F(DataTaskTest, awaitedDataResumesOnTheAwaitingQueue) {
    auto session = Session::make();
    RefusingPort refusing;
    auto [body, status, failure, resumedOnMain] = dispatch::syncWait(
        [&]() -> dispatch::Task<std::tuple<std::string, int, int, bool>> {
            auto missing = co_await session->data(loopback.url("/missing"));
            bool onMain = dispatch::isMainThread();
            auto refused = co_await session->data(url(refusing.url()));
            co_return std::tuple{missing->first.toString(), missing->second.statusCode, int(refused.error().code),
                                 onMain && dispatch::isMainThread()};
        }());
    EXPECT_EQ(body, "{\"error\":\"not found\"}");
    EXPECT_EQ(status, 404);
    EXPECT_EQ(failure, URLError::cannotConnectToHost);
    EXPECT_TRUE(resumedOnMain);
}

TEST_F(DataTaskTest, invalidatedSessionCancelsRunningAndLaterTasks) {
    auto [session, recorder] = delegateSession();
    auto running = session->dataTask(loopback.url("/stall"));
    running->resume();
    ASSERT_TRUE(recorder->waitFor("data"));
    session->invalidateAndCancel();
    session->dataTask(loopback.url("/hello"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    EXPECT_EQ(std::ranges::count(recorder->events, "complete -999"), 2);

    // The app makes and drops sessions all its life: another session's transfers go on at once,
    // through the same network thread.
    auto other = fetch(Session::make(), loopback.url("/hello"));
    ASSERT_TRUE(other) << other.error().code;
    EXPECT_EQ(other->first.toString(), "hello world");
}

TEST_F(DataTaskTest, aLargeBodyReachesTheDelegateWholeAndInOrder) {
    // Answered at once, the body arrives as it is read; answered late, it was read ahead meanwhile.
    for (bool answerLate : {false, true}) {
        SCOPED_TRACE(answerLate ? "answered late" : "answered at once");
        auto [session, recorder] = delegateSession();
        std::shared_ptr<SessionTask> task;
        if (answerLate) {
            auto [started, reply] = startWithHeldAnswer(*session, *recorder, "/patterned");
            task = started;
            reply(ResponseDisposition::allow);
        } else {
            task = session->dataTask(loopback.url("/patterned"));
            task->resume();
        }
        ASSERT_TRUE(recorder->waitForCompletions());
        EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "data", "complete"}));
        EXPECT_TRUE(recorder->body.view() == patterned());
        EXPECT_EQ(task->countOfBytesReceived(), static_cast<std::int64_t>(patterned().size()));
    }
}

TEST_F(DataTaskTest, cookiesStayWithTheSessionsThatReceivedThem) {
    // Each transfer's handle serves later ones, of any session: none may carry a cookie over.
    auto first = Session::make(SessionConfiguration::ephemeralConfiguration());
    ASSERT_TRUE(fetch(first, loopback.url("/set-cookie")));
    auto again = fetch(first, loopback.url("/cookie"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->first.toString(), "lap=17");

    auto second = Session::make(SessionConfiguration::ephemeralConfiguration());
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto other = fetch(second, loopback.url("/cookie"));
        ASSERT_TRUE(other);
        EXPECT_EQ(other->first.toString(), "");
    }
    // The first session's jar outlives its handles' later use elsewhere.
    auto last = fetch(first, loopback.url("/cookie"));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->first.toString(), "lap=17");
}
