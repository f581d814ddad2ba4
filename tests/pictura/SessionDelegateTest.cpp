#include <gtest/gtest.h>

#include "pictura/ImageDownloader.h"
#include "pictura/SessionDelegate.h"

namespace pictura {
namespace {

foundation::URL url(const std::string& text) { return *foundation::URL::fromString(text); }

// A side effect that writes down the chunks it is told about.
class ChunkRecorder final : public DataReceivingSideEffect {
public:
    explicit ChunkRecorder(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
    void onDataReceived(const std::shared_ptr<net::Session>&, const SessionDataTask&, const foundation::Data& data) override {
        log.push_back(name + ":" + data.toString());
    }
    std::string name;
    std::vector<std::string>& log;
};

// Transfers made and never resumed, handed to the delegate as the session would.
class SessionDelegateTest : public ::testing::Test {
protected:
    std::shared_ptr<net::SessionTask> transfer(const std::string& text) { return session->dataTask(url(text)); }

    SessionDataTask::TaskCallback callback(std::vector<std::shared_ptr<DataReceivingSideEffect>> sideEffects = {}) {
        SessionDataTask::TaskCallback made;
        if (!sideEffects.empty()) made.options.onDataReceived = std::move(sideEffects);
        return made;
    }
    // Records the consumers each outcome is for, by the number of consumers and whether it failed.
    void recordOutcomes(SessionDataTask& task) {
        task.onTaskDone.delegate(delegate, [this](SessionDelegate&, const SessionDataTask::TaskDone& done) {
            outcomes.push_back(std::string(done.first ? "success" : "failure") + " x" + std::to_string(done.second.size()));
        });
    }
    net::ResponseDisposition respond(const std::shared_ptr<net::SessionTask>& task, int status, std::int64_t length = -1) {
        auto disposition = std::make_shared<net::ResponseDisposition>(net::ResponseDisposition::allow);
        auto response = net::Response::make(task->originalRequest().url, status, {});
        response.expectedContentLength = length;
        delegate->didReceiveResponse(*session, task, response,
                                     net::ResponseReply([disposition](auto answer) { *disposition = answer; },
                                                        net::ResponseDisposition::allow));
        return *disposition;
    }

    std::shared_ptr<SessionDelegate> delegate = SessionDelegate::make();
    std::shared_ptr<net::Session> session = net::Session::make({}, delegate);
    std::vector<std::string> outcomes;
};

TEST_F(SessionDelegateTest, consumersGetTokensInOrderAndEachCancellationOnce) {
    auto first = delegate->add(transfer("http://pictures.test/a"), url("http://pictures.test/a"), callback());
    recordOutcomes(*first.sessionTask);
    auto second = delegate->join(url("http://pictures.test/a"), callback(), [] { return nullptr; });
    auto third = delegate->join(url("http://pictures.test/a"), callback(), [] { return nullptr; });
    EXPECT_FALSE(second.second);
    EXPECT_EQ(first.cancelToken, 0);
    EXPECT_EQ(second.first.cancelToken, 1);
    EXPECT_EQ(third.first.cancelToken, 2);

    second.first.cancel();
    second.first.cancel();
    EXPECT_EQ(outcomes, std::vector<std::string>{"failure x1"});
    EXPECT_EQ(delegate->task(url("http://pictures.test/a")), first.sessionTask);

    delegate->cancelAll();
    EXPECT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(delegate->task(url("http://pictures.test/a")), nullptr);
    // The transport may have finished the cancellation already.
    const auto state = first.sessionTask->task()->state();
    EXPECT_TRUE(state == net::SessionTask::State::canceling || state == net::SessionTask::State::completed);
}

TEST_F(SessionDelegateTest, eventsOfATransferThatIsNoLongerFiledAreIgnored) {
    const auto address = url("http://pictures.test/b");
    auto old = delegate->add(transfer("http://pictures.test/b"), address, callback());
    auto newer = delegate->add(transfer("http://pictures.test/b"), address, callback());
    recordOutcomes(*old.sessionTask);
    recordOutcomes(*newer.sessionTask);

    delegate->remove(old.sessionTask);
    EXPECT_EQ(delegate->task(address), newer.sessionTask);
    delegate->didReceiveData(*session, old.sessionTask->task(), foundation::Data::fromString("stale"));
    delegate->didComplete(*session, old.sessionTask->task(), std::nullopt);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_TRUE(newer.sessionTask->mutableData().empty());
    // The disposition of an unfiled transfer still follows the status rule (none bound: refused).
    EXPECT_EQ(respond(old.sessionTask->task(), 200), net::ResponseDisposition::cancel);

    std::optional<net::Request> followed;
    net::Request proposed(url("http://pictures.test/c"));
    delegate->willPerformHTTPRedirection(*session, old.sessionTask->task(), net::Response::make(address, 302, {}),
                                         proposed, net::RedirectReply([&](auto answer) { followed = answer; }, {}));
    EXPECT_EQ(followed, proposed);
}

TEST_F(SessionDelegateTest, eachChunkReachesEverySideEffectOfEveryConsumerOnceInOrder) {
    std::vector<std::string> log;
    const auto address = url("http://pictures.test/d");
    auto first = delegate->add(transfer("http://pictures.test/d"), address,
                               callback({std::make_shared<ChunkRecorder>("a1", log), std::make_shared<ChunkRecorder>("a2", log)}));
    delegate->join(address, callback({std::make_shared<ChunkRecorder>("b", log)}), [] { return nullptr; });
    for (const char* chunk : {"one", "two"})
        delegate->didReceiveData(*session, first.sessionTask->task(), foundation::Data::fromString(chunk));
    EXPECT_EQ(log, (std::vector<std::string>{"a1:one", "a2:one", "b:one", "a1:two", "a2:two", "b:two"}));
    EXPECT_EQ(first.sessionTask->mutableData().toString(), "onetwo");
}

TEST_F(SessionDelegateTest, chunksTheDelegateMayKeepAreTakenOnlyAsTheFirstBytes) {
    const auto address = url("http://pictures.test/e");
    auto filed = delegate->add(transfer("http://pictures.test/e"), address, callback());
    const auto& task = filed.sessionTask->task();
    // The first chunk brings the room for the whole body: taken, its bytes stay where they are.
    foundation::Data first = foundation::Data::fromString("one");
    first.bytes().reserve(64);
    const auto* firstBytes = first.data();
    delegate->didReceiveData(*session, task, std::move(first));
    EXPECT_EQ(filed.sessionTask->mutableData().data(), firstBytes);
    // Later chunks, kept or not and however roomy, are added after what is there.
    foundation::Data second = foundation::Data::fromString("two");
    second.bytes().reserve(128);
    delegate->didReceiveData(*session, task, std::move(second));
    const auto third = foundation::Data::fromString("three");
    delegate->didReceiveData(*session, task, third);
    EXPECT_EQ(filed.sessionTask->mutableData().toString(), "onetwothree");
    EXPECT_EQ(third.toString(), "three");

    // A first chunk smaller than the room reserved by the stated length is copied into that room.
    const auto sized = url("http://pictures.test/f");
    auto reserved = delegate->add(transfer("http://pictures.test/f"), sized, callback());
    reserved.sessionTask->reserveData(1000);
    delegate->didReceiveData(*session, reserved.sessionTask->task(), foundation::Data::fromString("small"));
    EXPECT_EQ(reserved.sessionTask->mutableData().toString(), "small");
    EXPECT_GE(reserved.sessionTask->mutableData().bytes().capacity(), 1000u);
}

TEST_F(SessionDelegateTest, aRefusedResponseFailsEveryConsumerBeforeTheTransferIsCancelled) {
    delegate->onValidStatusCode.delegate(delegate, [](SessionDelegate&, const int& code) { return code < 400; });
    const auto address = url("http://pictures.test/e");
    auto first = delegate->add(transfer("http://pictures.test/e"), address, callback());
    recordOutcomes(*first.sessionTask);
    delegate->join(address, callback(), [] { return nullptr; });
    EXPECT_EQ(respond(first.sessionTask->task(), 404), net::ResponseDisposition::cancel);
    EXPECT_EQ(outcomes, std::vector<std::string>{"failure x2"});
    EXPECT_EQ(delegate->task(address), nullptr);

    auto announced = delegate->add(transfer("http://pictures.test/e"), address, callback());
    recordOutcomes(*announced.sessionTask);
    delegate->maximumBodySize = 10;
    EXPECT_EQ(respond(announced.sessionTask->task(), 200, 11), net::ResponseDisposition::cancel);
    EXPECT_EQ(outcomes.back(), "failure x1");
}

// A challenge answer, as the transport would receive it.
struct Answer {
    std::shared_ptr<std::optional<net::ChallengeAnswer>> given = std::make_shared<std::optional<net::ChallengeAnswer>>();
    net::ChallengeReply reply() {
        return net::ChallengeReply(net::Reply<net::ChallengeAnswer>([given = given](auto answer) { *given = answer; }, {}));
    }
};

net::AuthenticationChallenge serverTrust(const std::string& host) {
    net::AuthenticationChallenge challenge;
    challenge.protectionSpace.host = host;
    challenge.protectionSpace.serverTrust = std::make_shared<net::ServerTrust>(net::ServerTrust{host, 443});
    return challenge;
}

// Keeps nothing and answers nothing.
class SilentResponder final : public AuthenticationChallengeResponsible {
public:
    void didReceiveChallenge(ImageDownloader&, const net::AuthenticationChallenge&, CompletionHandler) override {}
};

TEST(DownloaderChallengeTest, trustedHostsAreAcceptedAndEveryOtherOrUnansweredChallengeGetsTheDefault) {
    auto downloader = ImageDownloader::make("challenges");
    auto& delegate = *downloader->sessionDelegate();
    auto& session = *downloader->session();
    auto answerFor = [&](const std::string& host) {
        Answer answer;
        delegate.didReceiveChallenge(session, serverTrust(host), answer.reply());
        return answer.given->value();
    };

    EXPECT_EQ(answerFor("pictures.test").disposition, net::ChallengeDisposition::performDefaultHandling);
    downloader->setTrustedHosts(std::set<std::string>{"pictures.test"});
    const auto trusted = answerFor("pictures.test");
    EXPECT_EQ(trusted.disposition, net::ChallengeDisposition::useCredential);
    ASSERT_TRUE(trusted.credential);
    EXPECT_EQ(trusted.credential->trust->host, "pictures.test");
    EXPECT_EQ(answerFor("other.test").disposition, net::ChallengeDisposition::performDefaultHandling);

    auto silent = std::make_shared<SilentResponder>();
    downloader->setAuthenticationChallengeResponder(silent);
    EXPECT_EQ(answerFor("pictures.test").disposition, net::ChallengeDisposition::performDefaultHandling);
    silent.reset();
    EXPECT_EQ(answerFor("pictures.test").disposition, net::ChallengeDisposition::performDefaultHandling);
}

}  // namespace
}  // namespace pictura
