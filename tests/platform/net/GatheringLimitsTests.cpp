#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "LoopbackServer.h"
#include "Recorder.h"

using namespace net;

namespace {

constexpr std::int64_t cap = 1 << 20;

SessionConfiguration cappedAt(std::int64_t bytes, double seconds = 0) {
    auto configuration = SessionConfiguration::ephemeralConfiguration();
    configuration.maximumGatheredLength = bytes;
    configuration.timeoutIntervalForGathering = seconds;
    return configuration;
}

class GatheringLimitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& server = loopback.server;
        // Three MiB of one letter: a few kilobytes once the server compresses it.
        server.Get("/bomb", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(3 * cap, 'a'), "text/plain");
        });
        // 24 MiB of one letter, some 25 KB compressed: read in one go, it would inflate within one turn.
        server.Get("/large-bomb", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(24 * cap, 'a'), "text/plain");
        });
        server.Get("/exact", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(cap, 'b'), "application/octet-stream");
        });
        server.Get("/redirect-to-bomb", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/bomb");
        });
        // Never idle for a second, never done: only a cap on the whole transfer ends it.
        server.Get("/trickle", [this](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink& sink) {
                while (!released) {
                    if (!sink.write(".", 1)) return false;
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                sink.done();
                return true;
            });
        });
        loopback.start();
    }
    void TearDown() override { released = true; }

    std::atomic<bool> released{false};
    LoopbackServer loopback;
};

}  // namespace

TEST_F(GatheringLimitsTest, aBodyLargerThanTheCapOnceDecompressedFails) {
    auto uncapped = fetch(Session::make(cappedAt(0)), loopback.url("/bomb"));
    ASSERT_TRUE(uncapped.has_value());
    ASSERT_TRUE(uncapped->second.headers.value("Content-Encoding"));  // it did travel compressed
    EXPECT_EQ(uncapped->first.size(), static_cast<std::size_t>(3 * cap));

    auto capped = fetch(Session::make(cappedAt(cap)), loopback.url("/bomb"));
    ASSERT_FALSE(capped.has_value());
    EXPECT_EQ(capped.error().code, URLError::dataLengthExceedsMaximum);
    EXPECT_EQ(capped.error().failingURL, loopback.text("/bomb"));

    // A redirect hands the same cap on to the body it leads to.
    auto redirected = fetch(Session::make(cappedAt(cap)), loopback.url("/redirect-to-bomb"));
    ASSERT_FALSE(redirected.has_value());
    EXPECT_EQ(redirected.error().code, URLError::dataLengthExceedsMaximum);
}

TEST_F(GatheringLimitsTest, aBodyOfExactlyTheCapArrivesWhole) {
    auto answer = fetch(Session::make(cappedAt(cap)), loopback.url("/exact"));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->first.size(), static_cast<std::size_t>(cap));
}

TEST_F(GatheringLimitsTest, anInProcessAnswerOverTheCapFailsTheSameWay) {
    auto registry = std::make_shared<ProtocolRegistry>();
    registry->registerHandler("big.example", [](const Request&) -> std::expected<ProtocolAnswer, URLError> {
        return ProtocolAnswer{Response::make({}, 200, {}), foundation::Data::fromString(std::string(cap + 1, 'c'))};
    });
    auto configuration = cappedAt(cap);
    configuration.protocols = registry;
    auto answer = fetch(Session::make(configuration), "https://big.example/file");
    ASSERT_FALSE(answer.has_value());
    EXPECT_EQ(answer.error().code, URLError::dataLengthExceedsMaximum);
}

TEST_F(GatheringLimitsTest, aTransferThatNeverGoesIdleEndsAtTheWholeTransferCap) {
    auto configuration = cappedAt(0, 1);
    configuration.timeoutIntervalForRequest = 30;  // the idle time-out alone would never fire
    auto answer = fetch(Session::make(configuration), loopback.url("/trickle"));
    released = true;
    ASSERT_FALSE(answer.has_value());
    EXPECT_EQ(answer.error().code, URLError::timedOut);
}

TEST(GatheringLimits, theDefaultSessionCapsSizeAndTime) {
    const auto& configuration = Session::shared()->configuration();
    EXPECT_GT(configuration.maximumGatheredLength, 0);
    EXPECT_LE(configuration.maximumGatheredLength, std::int64_t(64) << 20);
    EXPECT_GT(configuration.timeoutIntervalForGathering, 0);
    EXPECT_LT(configuration.timeoutIntervalForGathering, configuration.timeoutIntervalForResource);
}

TEST_F(GatheringLimitsTest, aCompressedBodyReachesItsDelegateNoFasterThanTheDelegateTakesIt) {
    // Notes how far the transfer had read ahead of what the delegate was given.
    struct Pacing : SessionDelegate {
        std::promise<void> done;
        std::int64_t given = 0;
        std::int64_t furthestAhead = 0;
        void didReceiveData(Session&, const std::shared_ptr<SessionTask>& task, const foundation::Data& chunk) override {
            furthestAhead = std::max(furthestAhead, task->countOfBytesReceived() - given);
            given += static_cast<std::int64_t>(chunk.size());
        }
        void didComplete(Session&, const std::shared_ptr<SessionTask>&, const std::optional<URLError>&) override {
            done.set_value();
        }
    };
    auto pacing = std::make_shared<Pacing>();
    auto session = Session::make(cappedAt(0), pacing);
    session->dataTask(loopback.url("/large-bomb"))->resume();
    ASSERT_EQ(pacing->done.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(pacing->given, 24 * cap);
    EXPECT_LT(pacing->furthestAhead, 16 * cap);
}
