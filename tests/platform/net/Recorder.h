#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "net/Session.h"

// A session delegate that writes down what it is told, answers as a test asks, and lets the test wait.
class Recorder : public net::SessionDelegate {
public:
    std::function<void(const net::Response&, net::ResponseReply)> onResponse;
    std::function<void(const net::Response&, net::Request, net::RedirectReply)> onRedirect;
    std::function<void(const net::AuthenticationChallenge&, net::ChallengeReply)> onChallenge;
    std::function<void(net::SessionTask&)> onData;

    void didReceiveResponse(net::Session&, const std::shared_ptr<net::SessionTask>&, const net::Response& response,
                            net::ResponseReply reply) override {
        note("response " + std::to_string(response.statusCode), [&] { this->response = response; });
        if (onResponse) return onResponse(response, std::move(reply));
        reply(net::ResponseDisposition::allow);
    }
    void didReceiveData(net::Session&, const std::shared_ptr<net::SessionTask>& task,
                        const foundation::Data& chunk) override {
        note("data", [&] {
            body.append(chunk);
            chunks.push_back(chunk.toString());
        });
        if (onData) onData(*task);
    }
    void didComplete(net::Session&, const std::shared_ptr<net::SessionTask>&,
                     const std::optional<net::URLError>& error) override {
        note(error ? "complete " + std::to_string(error->code) : "complete", [&] {
            this->error = error;
            ++completions;
        });
    }
    void willPerformHTTPRedirection(net::Session&, const std::shared_ptr<net::SessionTask>&,
                                    const net::Response& response, net::Request next, net::RedirectReply reply) override {
        note("redirect " + std::to_string(response.statusCode), [] {});
        if (onRedirect) return onRedirect(response, std::move(next), std::move(reply));
        reply(std::move(next));
    }
    void didReceiveChallenge(net::Session&, const net::AuthenticationChallenge& challenge,
                             net::ChallengeReply reply) override {
        note("challenge " + challenge.protectionSpace.host, [] {});
        if (onChallenge) return onChallenge(challenge, std::move(reply));
        reply(net::ChallengeDisposition::performDefaultHandling);
    }

    // True once `count` tasks have completed; false after a generous wait.
    bool waitForCompletions(int count = 1) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] { return completions >= count; });
    }
    bool waitFor(const std::string& event) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] {
            return std::find(events.begin(), events.end(), event) != events.end();
        });
    }
    // The events with runs of "data" collapsed into one, to compare orders.
    std::vector<std::string> outline() {
        std::lock_guard lock(mutex);
        std::vector<std::string> result;
        for (const auto& event : events)
            if (result.empty() || event != "data" || result.back() != "data") result.push_back(event);
        return result;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    std::vector<std::string> chunks;
    foundation::Data body;
    std::optional<net::Response> response;
    std::optional<net::URLError> error;
    int completions = 0;

private:
    template <typename Change>
    void note(std::string event, Change change) {
        {
            std::lock_guard lock(mutex);
            events.push_back(std::move(event));
            change();
        }
        changed.notify_all();
    }
};

// A URL the test writes correctly.
inline foundation::URL url(const std::string& text) { return *foundation::URL::fromString(text); }

// A whole GET through the session's completion API, waited for.
// A completion that never comes fails the test after a generous wait instead of hanging the suite.
inline net::DataResult fetch(const std::shared_ptr<net::Session>& session, net::Request request) {
    auto result = std::make_shared<std::promise<net::DataResult>>();
    auto answered = result->get_future();
    session->data(std::move(request), [result](net::DataResult answer) { result->set_value(std::move(answer)); });
    if (answered.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
        ADD_FAILURE() << "the transfer never completed";
        return std::unexpected(net::URLError(net::URLError::timedOut, {}, "no completion"));
    }
    return answered.get();
}
inline net::DataResult fetch(const std::shared_ptr<net::Session>& session, const foundation::URL& target) {
    return fetch(session, net::Request(target));
}
inline net::DataResult fetch(const std::shared_ptr<net::Session>& session, const std::string& text) {
    return fetch(session, url(text));
}
