#include <gtest/gtest.h>

#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "pictura/ImageModifier.h"
#include "pictura/RedirectHandler.h"
#include "pictura/RequestModifier.h"
#include "pictura/RetryStrategy.h"

namespace pictura {
namespace {

using E = PicturaError;

Source source() { return Source::network(ImageResource(*foundation::URL::fromString("https://media.test/a.png"))); }
PicturaError responseFailure() { return E::responseError(E::NoURLResponse{nullptr}); }
PicturaError cancellation() { return E::requestError(E::TaskCancelled{nullptr, 0}); }

class RetryTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    // The decision, and whether it came before `retry` returned.
    std::pair<std::optional<RetryDecision>, bool> decide(const RetryStrategy& strategy,
                                                         const std::shared_ptr<RetryContext>& context) {
        std::optional<RetryDecision> decision;
        strategy.retry(context, [&decision](RetryDecision answer) { decision = std::move(answer); });
        const bool beforeReturning = decision.has_value();
        return {std::move(decision), beforeReturning};
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 1000);
};

TEST_F(RetryTest, accumulatedDelaysGrowWithEachRetryThenStop) {
    DelayRetryStrategy strategy(3, DelayRetryStrategy::Interval::accumulated(2));
    auto context = std::make_shared<RetryContext>(source(), responseFailure());
    for (double expectedDelay : {2.0, 4.0, 6.0}) {
        std::optional<RetryDecision> decision;
        strategy.retry(context, [&](RetryDecision answer) { decision = std::move(answer); });
        dispatch::RunLoop::main()->runOnce();
        EXPECT_FALSE(decision) << expectedDelay;
        clock->advance(expectedDelay - 0.01);
        dispatch::RunLoop::main()->runOnce();
        EXPECT_FALSE(decision) << expectedDelay;
        clock->advance(0.01);
        ASSERT_TRUE(dispatch::RunLoop::main()->runUntil([&] { return decision.has_value(); }, 10)) << expectedDelay;
        EXPECT_EQ(decision->kind, RetryDecision::Kind::retry);
        ++context->retriedCount;
    }
    auto [last, atOnce] = decide(strategy, context);
    ASSERT_TRUE(last);
    EXPECT_TRUE(atOnce);
    EXPECT_EQ(last->kind, RetryDecision::Kind::stop);
}

TEST_F(RetryTest, aZeroDelayRetriesBeforeReturningAndNoCountNeverRetries) {
    auto context = std::make_shared<RetryContext>(source(), responseFailure());
    auto [now, atOnce] = decide(DelayRetryStrategy(1, DelayRetryStrategy::Interval::seconds(0)), context);
    ASSERT_TRUE(atOnce);
    EXPECT_EQ(now->kind, RetryDecision::Kind::retry);
    EXPECT_FALSE(now->userInfo.has_value());

    auto [never, stoppedAtOnce] = decide(DelayRetryStrategy(0, DelayRetryStrategy::Interval::seconds(0)), context);
    ASSERT_TRUE(stoppedAtOnce);
    EXPECT_EQ(never->kind, RetryDecision::Kind::stop);
}

TEST_F(RetryTest, onlyResponseFailuresAreRetriedAndTheFirstFailureJudges) {
    DelayRetryStrategy strategy(5, DelayRetryStrategy::Interval::seconds(0));
    for (const auto& first : {cancellation(), E::processorError(E::ProcessingFailed{nullptr, foundation::Data()}),
                              E::cacheError(E::ImageNotExisting{"k"})}) {
        auto context = std::make_shared<RetryContext>(source(), first);
        EXPECT_EQ(decide(strategy, context).first->kind, RetryDecision::Kind::stop) << first.errorCode();
    }
    auto context = std::make_shared<RetryContext>(source(), responseFailure());
    context->latestError = E::cacheError(E::ImageNotExisting{"k"});
    EXPECT_EQ(decide(strategy, context).first->kind, RetryDecision::Kind::retry);
}

TEST_F(RetryTest, aCancellationAfterEarlierFailuresIsNeverRetried) {
    DelayRetryStrategy strategy(5, DelayRetryStrategy::Interval::seconds(0));
    auto context = std::make_shared<RetryContext>(source(), responseFailure());
    context->retriedCount = 1;
    context->latestError = cancellation();
    EXPECT_EQ(decide(strategy, context).first->kind, RetryDecision::Kind::stop);
}

TEST_F(RetryTest, intervalsByRetryNumber) {
    std::vector<int> asked;
    auto custom = DelayRetryStrategy::Interval::custom([&](int count) {
        asked.push_back(count);
        return count * 10.0;
    });
    EXPECT_EQ(custom.timeInterval(0), 0);
    EXPECT_EQ(custom.timeInterval(2), 20);
    EXPECT_EQ(asked, (std::vector<int>{0, 2}));
    EXPECT_EQ(DelayRetryStrategy::Interval::seconds(3).timeInterval(7), 3);
    EXPECT_EQ(DelayRetryStrategy::Interval::accumulated(1.5).timeInterval(2), 4.5);

    // custom(0) for the first retry gives a zero delay: the retry comes at once.
    DelayRetryStrategy strategy(1, custom);
    auto [decision, atOnce] = decide(strategy, std::make_shared<RetryContext>(source(), responseFailure()));
    EXPECT_TRUE(atOnce);
    EXPECT_EQ(decision->kind, RetryDecision::Kind::retry);
}

TEST(RequestModifierTest, theSynchronousFormReportsAtOnceAndAVetoIsNoRequest) {
    AnyModifier addsHeader([](net::Request request) -> std::optional<net::Request> {
        request.headers.set("X-Test", "1");
        return request;
    });
    net::Request request(*foundation::URL::fromString("https://media.test/a.png"));
    std::optional<std::optional<net::Request>> reported;
    const AsyncImageDownloadRequestModifier& asAsync = addsHeader;
    asAsync.modified(request, [&](std::optional<net::Request> modified) { reported = std::move(modified); });
    ASSERT_TRUE(reported && *reported);
    EXPECT_EQ((*reported)->headers.value("x-test"), "1");
    EXPECT_EQ(asAsync.onDownloadTaskStarted(), nullptr);

    AnyModifier veto([](net::Request) -> std::optional<net::Request> { return std::nullopt; });
    EXPECT_EQ(veto.modified(request), std::nullopt);
}

TEST(RedirectHandlerTest, passesItsArgumentsThroughUnchanged) {
    net::Request seenRequest;
    int seenStatus = 0;
    AnyRedirectHandler handler([&](const std::shared_ptr<SessionDataTask>& task, const net::HTTPResponse& response,
                                   const net::Request& newRequest, ImageDownloadRedirectHandler::CompletionHandler done) {
        EXPECT_EQ(task, nullptr);
        seenStatus = response.statusCode;
        seenRequest = newRequest;
        done(std::nullopt);
    });
    net::Request proposed(*foundation::URL::fromString("https://media.test/b.png"));
    bool refused = false;
    handler.handleHTTPRedirection(nullptr, net::Response::make(proposed.url, 302, {}), proposed,
                                  [&](std::optional<net::Request> request) { refused = !request; });
    EXPECT_EQ(seenStatus, 302);
    EXPECT_EQ(seenRequest, proposed);
    EXPECT_TRUE(refused);
}

TEST(ImageModifierTest, platformModifiersChangePresentationOnANewImage) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    auto templated = RenderingModeImageModifier(gfx::ImageRenderingMode::alwaysTemplate).modify(image);
    EXPECT_EQ(templated->renderingMode(), gfx::ImageRenderingMode::alwaysTemplate);
    EXPECT_EQ(image->renderingMode(), gfx::ImageRenderingMode::automatic);
    EXPECT_TRUE(FlipsForRightToLeftLayoutDirectionImageModifier().modify(image)->flipsForRightToLeftLayoutDirection());
    EXPECT_EQ(AlignmentRectInsetsImageModifier({1, 1, 1, 1}).modify(image)->alignmentRectInsets(),
              (gfx::EdgeInsets{1, 1, 1, 1}));
    EXPECT_EQ(templated->bitmap(), image->bitmap());
}

TEST(ImageModifierTest, aThrowingClosureHandsBackItsInput) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    auto other = gfx::Image::fromBitmap(gfx::Bitmap::make(1, 1));
    EXPECT_EQ(AnyImageModifier([&](const std::shared_ptr<gfx::Image>&) { return other; }).modify(image), other);
    EXPECT_EQ(AnyImageModifier([](const std::shared_ptr<gfx::Image>&) -> std::shared_ptr<gfx::Image> {
                  throw std::runtime_error("no");
              }).modify(image),
              image);
}

}  // namespace
}  // namespace pictura
