#include <gtest/gtest.h>

#include "Recorder.h"

using namespace net;

namespace {

std::shared_ptr<ProtocolRegistry> fakeTransport() {
    auto registry = std::make_shared<ProtocolRegistry>();
    registry->registerHandler("Feed.Example", [](const Request& request) -> std::expected<ProtocolAnswer, URLError> {
        const std::string path = request.url->path();
        if (path.ends_with("/old.json"))
            return ProtocolAnswer{Response::make({}, 301, {{"Location", "/static/new.json"}}), {}};
        if (path.ends_with("/new.json"))
            return ProtocolAnswer{Response::make({}, 200, {{"Content-Type", "application/json"}}),
                                  foundation::Data::fromString("{\"season\":2023}")};
        if (path.ends_with("/offline")) return std::unexpected(URLError{URLError::cannotConnectToHost});
        if (path.ends_with("/throws")) throw std::runtime_error("broken handler");
        return ProtocolAnswer{Response::make({}, 404, {}), foundation::Data::fromString("missing")};
    });
    return registry;
}

std::pair<std::shared_ptr<Session>, std::shared_ptr<Recorder>> sessionOver(std::shared_ptr<ProtocolRegistry> registry) {
    auto recorder = std::make_shared<Recorder>();
    SessionConfiguration configuration;
    configuration.protocols = std::move(registry);
    return {Session::make(configuration, recorder), recorder};
}

}  // namespace

TEST(ProtocolRegistry, handlerAnswersWithTheEventsOfARealTransfer) {
    auto [session, recorder] = sessionOver(fakeTransport());
    auto task = session->dataTask(url("https://feed.example/static/old.json"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    // No trust challenge: nothing crosses a network.
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"redirect 301", "response 200", "data", "complete"}));
    EXPECT_EQ(recorder->body.toString(), "{\"season\":2023}");
    EXPECT_EQ(recorder->response->url->absoluteString(), "https://feed.example/static/new.json");
    EXPECT_EQ(recorder->response->mimeType, "application/json");
}

TEST(ProtocolRegistry, handlerErrorsAndThrowsBecomeURLErrors) {
    auto [session, recorder] = sessionOver(fakeTransport());
    session->dataTask(url("http://feed.example/offline"))->resume();
    session->dataTask(url("http://feed.example/throws"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    EXPECT_NE(std::find(recorder->events.begin(), recorder->events.end(), "complete -1004"), recorder->events.end());
    EXPECT_NE(std::find(recorder->events.begin(), recorder->events.end(), "complete -1011"), recorder->events.end());
}

TEST(ProtocolRegistry, responseCancelAndCompletionTasksWorkInProcess) {
    auto [session, recorder] = sessionOver(fakeTransport());
    recorder->onResponse = [](const Response&, ResponseReply reply) { reply(ResponseDisposition::cancel); };
    session->dataTask(url("http://feed.example/static/new.json"))->resume();
    ASSERT_TRUE(recorder->waitForCompletions());
    EXPECT_EQ(recorder->outline(), (std::vector<std::string>{"response 200", "complete -999"}));

    auto answer = fetch(session, "http://feed.example/nothing");
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->second.statusCode, 404);
    EXPECT_EQ(answer->first.toString(), "missing");
}

TEST(ProtocolRegistry, unregisteredHostGoesBackToTheNetwork) {
    auto registry = fakeTransport();
    EXPECT_TRUE(registry->handlerFor("FEED.example"));
    registry->unregisterHandler("feed.example");
    EXPECT_FALSE(registry->handlerFor("feed.example"));
}
