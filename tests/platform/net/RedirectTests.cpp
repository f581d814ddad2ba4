#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "Recorder.h"

using namespace net;

namespace {

class RedirectTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& server = loopback.server;
        server.Get("/target", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("arrived by " + request.method, "application/octet-stream");
        });
        server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/target", 301);
        });
        server.Get("/found", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(loopback.text("/moved"), 302);
            response.set_content("see elsewhere", "application/octet-stream");
        });
        server.Get(R"(/loop/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            response.set_redirect("/loop/" + std::to_string(std::stoi(request.matches[1]) + 1), 302);
        });
        server.Get(R"(/hops/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            int left = std::stoi(request.matches[1]);
            if (left == 0) return response.set_content("done", "application/octet-stream");
            response.set_redirect("/hops/" + std::to_string(left - 1), 307);
        });
        server.Get("/endless-redirect", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Location", "/target");
            response.status = 302;
            response.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
                std::string block(64 * 1024, 'r');
                return sink.write(block.data(), block.size());
            });
        });
        server.Get("/elsewhere", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/passwd", 302);
        });
        loopback.start();
    }

    std::shared_ptr<Recorder> run(const std::string& path) {
        auto recorder = std::make_shared<Recorder>();
        auto session = Session::make(SessionConfiguration::ephemeralConfiguration(), recorder);
        task = session->dataTask(loopback.url(path));
        task->resume();
        EXPECT_TRUE(recorder->waitForCompletions());
        return recorder;
    }

    LoopbackServer loopback;
    std::shared_ptr<SessionTask> task;
};

}  // namespace

TEST_F(RedirectTest, followsEachHopAfterAskingTheDelegate) {
    auto recorder = run("/found");
    EXPECT_EQ(recorder->outline(),
              (std::vector<std::string>{"redirect 302", "redirect 301", "response 200", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "arrived by GET");
    EXPECT_EQ(task->originalRequest().url, loopback.url("/found"));
    EXPECT_EQ(task->currentRequest().url, loopback.url("/target"));
    EXPECT_EQ(task->response()->url, loopback.url("/target"));
}

TEST_F(RedirectTest, refusedRedirectIsTheFinalResponse) {
    auto recorder = std::make_shared<Recorder>();
    recorder->onRedirect = [](const Response&, Request, RedirectReply reply) { reply(std::nullopt); };
    auto session = Session::make({}, recorder);
    session->dataTask(loopback.url("/found"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(),
              (std::vector<std::string>{"redirect 302", "response 302", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "see elsewhere");
    EXPECT_EQ(recorder->response->headers.value("location"), loopback.text("/moved"));
}

TEST_F(RedirectTest, delegateMayChangeTheNextRequest) {
    auto recorder = std::make_shared<Recorder>();
    recorder->onRedirect = [this](const Response&, Request next, RedirectReply reply) {
        next.url = loopback.url("/hops/0");
        reply(std::move(next));
    };
    auto session = Session::make({}, recorder);
    session->dataTask(loopback.url("/moved"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->body.toString(), "done");
}

TEST_F(RedirectTest, sixteenHopsAreFollowedAndTheSeventeenthFails) {
    EXPECT_EQ(run("/hops/16")->body.toString(), "done");
    auto recorder = run("/loop/0");
    EXPECT_EQ(recorder->error->code, URLError::httpTooManyRedirects);
    EXPECT_EQ(std::ranges::count(recorder->events, "redirect 302"), 16);
}

TEST_F(RedirectTest, redirectWithAnEndlessBodyIsStillFollowed) {
    EXPECT_EQ(run("/endless-redirect")->body.toString(), "arrived by GET");
}

TEST_F(RedirectTest, redirectToAnotherSchemeIsRefusedAsUnsupported) {
    auto recorder = run("/elsewhere");
    EXPECT_EQ(recorder->error->code, URLError::unsupportedURL);
    EXPECT_EQ(recorder->body.size(), 0u);
}

TEST_F(RedirectTest, sessionWithoutDelegateFollowsRedirects) {
    auto answer = fetch(Session::make(), loopback.url("/found"));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->first.toString(), "arrived by GET");
}
