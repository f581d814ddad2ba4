#include <gtest/gtest.h>

#include <barrier>
#include <cstdlib>
#include <future>
#include <thread>

#include "CountingProcessor.h"
#include "DownloadServer.h"
#include "Outcomes.h"
#include "dispatch/RunLoop.h"
#include "net/URLError.h"
#include "pictura/ImageDownloader.h"

namespace pictura {
namespace {

PicturaParsedOptionsInfo untouched() {
    PicturaParsedOptionsInfo options;
    options.callbackQueue = CallbackQueue::untouch();
    return options;
}

// The transport's code inside a session error; 0 for any other outcome.
int sessionErrorCode(const ImageLoadingOutcome& outcome) {
    if (outcome) return 0;
    const auto* reason = outcome.error().responseErrorReason();
    const auto* session = reason ? std::get_if<PicturaError::URLSessionError>(reason) : nullptr;
    const auto* error = session ? session->error.as<net::URLError>() : nullptr;
    return error ? error->code : 0;
}

int cancelToken(const ImageLoadingOutcome& outcome) {
    if (outcome || !outcome.error().isTaskCancelled()) return -1;
    return std::get<PicturaError::TaskCancelled>(*outcome.error().requestErrorReason()).token;
}

// Writes down the notices a downloader sends, and lets a test act on the finished ones.
class RecordingDelegate : public ImageDownloaderDelegate {
public:
    void willDownloadImageForURL(ImageDownloader&, const foundation::URL&, const std::optional<net::Request>& request) override {
        std::lock_guard guard(lock);
        requests.push_back(*request);
    }
    void didFinishDownloadingImageForURL(ImageDownloader&, const foundation::URL&, const std::optional<net::Response>&,
                                         const std::optional<PicturaError>&) override {
        int count;
        {
            std::lock_guard guard(lock);
            count = ++finished;
        }
        if (onFinished) onFinished(count);
    }
    std::optional<foundation::Data> didDownloadDataForURL(ImageDownloader&, foundation::Data data,
                                                          const foundation::URL&) override {
        if (refuseBodies) return std::nullopt;
        return data;
    }
    bool isValidStatusCode(int code, ImageDownloader&) override { return code == 200; }

    std::mutex lock;
    std::vector<net::Request> requests;
    int finished = 0;
    bool refuseBodies = false;
    std::function<void(int)> onFinished;
};

class ImageDownloaderTest : public ::testing::Test {
protected:
    std::optional<DownloadTask> download(const std::string& path, Outcomes& outcomes,
                                         const PicturaParsedOptionsInfo& options = untouched()) {
        return downloader->downloadImage(server.url(path), options, outcomes.handler());
    }
    ImageLoadingOutcome downloadOne(const std::string& path, const PicturaParsedOptionsInfo& options = untouched()) {
        Outcomes outcomes;
        download(path, outcomes, options);
        return outcomes.waitFor(1).front();
    }

    // Downloads the held `path`, runs `act` on its task from inside the transfer's completion (the
    // second finished notice comes from there, once the consumers are handed on) and answers the first
    // outcome.
    ImageLoadingOutcome downloadActingInCompletion(const std::string& path, Outcomes& outcomes,
                                                   const std::function<void(const DownloadTask&)>& act) {
        auto observer = std::make_shared<RecordingDelegate>();
        downloader->setDelegate(observer);
        std::optional<DownloadTask> task;
        std::mutex taskLock;
        observer->onFinished = [&](int count) {
            std::lock_guard guard(taskLock);
            if (count == 2) act(*task);
        };
        {
            std::lock_guard guard(taskLock);
            task = download(path, outcomes);
        }
        server.openGate();
        return outcomes.waitFor(1).front();
    }

    DownloadServer server;
    std::shared_ptr<ImageDownloader> downloader = ImageDownloader::make("test");
};

TEST_F(ImageDownloaderTest, aSecondConsumerJoinsTheRunningTransfer) {
    auto observer = std::make_shared<RecordingDelegate>();
    downloader->setDelegate(observer);
    Outcomes first, second;
    auto firstTask = download("/held/a", first);
    ASSERT_TRUE(server.waitForHits("/held/a"));
    auto secondTask = download("/held/a", second);
    server.openGate();

    std::vector<const foundation::Data*> bodies;
    for (auto* outcomes : {&first, &second}) {
        auto outcome = outcomes->waitFor(1).front();
        ASSERT_TRUE(outcome) << outcome.error();
        EXPECT_EQ(outcome->image->pixelWidth(), 16);
        ASSERT_TRUE(outcome->originalData);
        EXPECT_EQ(*outcome->originalData, server.picture);
        EXPECT_EQ(outcome->url, server.url("/held/a"));
        bodies.push_back(outcome->originalData.get());
    }
    // One body for both consumers, not a copy each.
    EXPECT_EQ(bodies[0], bodies[1]);
    EXPECT_EQ(server.hits("/held/a"), 1);
    EXPECT_EQ(firstTask->sessionTask, secondTask->sessionTask);
    EXPECT_EQ(firstTask->cancelToken, 0);
    EXPECT_EQ(secondTask->cancelToken, 1);
    std::lock_guard guard(observer->lock);
    EXPECT_EQ(observer->requests.size(), 1u);
}

TEST_F(ImageDownloaderTest, manyThreadsAskingForOneURLAtOnceMakeOneTransfer) {
    constexpr int consumers = 8;
    Outcomes outcomes;
    std::barrier start(consumers);
    std::vector<std::thread> threads;
    for (int index = 0; index < consumers; ++index)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            download("/held/many", outcomes);
        });
    for (auto& thread : threads) thread.join();
    server.openGate();
    for (const auto& outcome : outcomes.waitFor(consumers)) EXPECT_TRUE(outcome);
    EXPECT_EQ(server.hits("/held/many"), 1);
}

TEST_F(ImageDownloaderTest, aConsumerThatCancelsLeavesTheOtherItsImage) {
    Outcomes leaving, staying;
    auto leavingTask = download("/held/b", leaving);
    download("/held/b", staying);
    ASSERT_TRUE(server.waitForHits("/held/b"));

    leavingTask->cancel();
    leavingTask->cancel();
    EXPECT_EQ(cancelToken(leaving.waitFor(1).front()), 0);
    server.openGate();
    EXPECT_TRUE(staying.waitFor(1).front());
    EXPECT_EQ(leaving.count(), 1u);
    EXPECT_EQ(server.hits("/held/b"), 1);
}

TEST_F(ImageDownloaderTest, theOnlyConsumerCancellingEndsTheTransferAndALaterAskStartsAnew) {
    Outcomes cancelled;
    auto task = download("/held/c", cancelled);
    ASSERT_TRUE(server.waitForHits("/held/c"));
    task->cancel();
    EXPECT_EQ(cancelToken(cancelled.waitFor(1).front()), 0);
    EXPECT_EQ(downloader->sessionDelegate()->task(server.url("/held/c")), nullptr);

    server.openGate();
    EXPECT_TRUE(downloadOne("/held/c"));
    EXPECT_EQ(server.hits("/held/c"), 2);
    EXPECT_EQ(cancelled.count(), 1u);
}

TEST_F(ImageDownloaderTest, statusesFrom200To399AreAcceptedByDefaultAndADelegateMayNarrowThem) {
    for (int code : {200, 204, 301, 399}) EXPECT_TRUE(downloader->isValidStatusCode(code, *downloader)) << code;
    for (int code : {199, 400, 404, 500}) EXPECT_FALSE(downloader->isValidStatusCode(code, *downloader)) << code;

    auto outcome = downloadOne("/status/404");
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(outcome.error().isInvalidResponseStatusCode(404));
    EXPECT_TRUE(downloadOne("/status/203"));

    auto observer = std::make_shared<RecordingDelegate>();
    downloader->setDelegate(observer);
    outcome = downloadOne("/status/203");
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(outcome.error().isInvalidResponseStatusCode(203));
    // A refused response gets one finished notice, from the downloader itself.
    std::lock_guard guard(observer->lock);
    EXPECT_EQ(observer->finished, 1);
}

TEST_F(ImageDownloaderTest, redirectsAreFollowedOnlyToHttpAndHttps) {
    auto outcome = downloadOne("/redirect/~image~moved");
    EXPECT_TRUE(outcome);
    EXPECT_EQ(server.hits("/image/moved"), 1);

    auto options = untouched();
    options.redirectHandler = std::make_shared<AnyRedirectHandler>(
        [&](const std::shared_ptr<SessionDataTask>&, const net::HTTPResponse& response, const net::Request& next,
            ImageDownloadRedirectHandler::CompletionHandler completion) {
            EXPECT_EQ(response.statusCode, 302);
            net::Request changed = next;
            changed.url = server.url("/image/elsewhere");
            completion(changed);
        });
    EXPECT_TRUE(downloadOne("/redirect/~image~moved", options));
    EXPECT_EQ(server.hits("/image/elsewhere"), 1);

    EXPECT_EQ(sessionErrorCode(downloadOne("/redirect/file:~~~etc~hostname")), net::URLError::unsupportedURL);
    options.redirectHandler = std::make_shared<AnyRedirectHandler>(
        [](const std::shared_ptr<SessionDataTask>&, const net::HTTPResponse&, const net::Request& next,
           ImageDownloadRedirectHandler::CompletionHandler completion) {
            net::Request changed = next;
            changed.url = foundation::URL::fromString("file:///etc/hostname");
            completion(changed);
        });
    EXPECT_EQ(sessionErrorCode(downloadOne("/redirect/~image~moved", options)), net::URLError::unsupportedURL);
}

TEST_F(ImageDownloaderTest, aStalledServerTimesOut) {
    downloader->setDownloadTimeout(1);
    EXPECT_EQ(sessionErrorCode(downloadOne("/stall")), net::URLError::timedOut);
}

TEST_F(ImageDownloaderTest, eachDistinctProcessorRunsOncePerDownload) {
    auto sharedRuns = std::make_shared<std::atomic<int>>(0);
    auto otherRuns = std::make_shared<std::atomic<int>>(0);
    auto withProcessor = [](std::shared_ptr<const ImageProcessor> processor) {
        auto options = untouched();
        options.processor = std::move(processor);
        return options;
    };
    Outcomes first, second, third;
    download("/held/p", first, withProcessor(std::make_shared<CountingProcessor>("shared", sharedRuns)));
    download("/held/p", second, withProcessor(std::make_shared<CountingProcessor>("shared", sharedRuns)));
    download("/held/p", third, withProcessor(std::make_shared<CountingProcessor>("other", otherRuns)));
    server.openGate();

    auto a = first.waitFor(1).front(), b = second.waitFor(1).front(), c = third.waitFor(1).front();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->image, b->image);
    EXPECT_NE(a->image, c->image);
    EXPECT_EQ(sharedRuns->load(), 1);
    EXPECT_EQ(otherRuns->load(), 1);
    EXPECT_EQ(server.hits("/held/p"), 1);
}

TEST_F(ImageDownloaderTest, aBodyOverTheCapFailsCleanly) {
    downloader->sessionDelegate()->maximumBodySize = 100;
    EXPECT_EQ(sessionErrorCode(downloadOne("/image/announced")), net::URLError::dataLengthExceedsMaximum);
    downloader->sessionDelegate()->maximumBodySize = 1024 * 1024;
    EXPECT_EQ(sessionErrorCode(downloadOne("/endless")), net::URLError::dataLengthExceedsMaximum);
    EXPECT_TRUE(downloadOne("/image/after"));
}

TEST_F(ImageDownloaderTest, limitsSayWhatWasRefused) {
    auto endless = downloadOne("/endless");
    EXPECT_EQ(sessionErrorCode(endless), net::URLError::dataLengthExceedsMaximum);
    EXPECT_NE(endless.error().errorDescription()->find("over the limit of 67108864"), std::string::npos)
        << *endless.error().errorDescription();
    auto header = downloadOne("/big-header");
    EXPECT_EQ(sessionErrorCode(header), net::URLError::badServerResponse);
    EXPECT_EQ(header.error().errorDescription()->find("memory"), std::string::npos) << *header.error().errorDescription();
    EXPECT_NE(header.error().errorDescription()->find("head is larger"), std::string::npos);
}

TEST_F(ImageDownloaderTest, aTransferThatNeverEndsIsCutOffAfterTheTotalTimeLimit) {
    const auto configuration = ImageDownloader::make("limited")->sessionConfiguration();
    EXPECT_EQ(configuration.timeoutIntervalForResource, ImageDownloader::defaultTransferTimeLimit);
    EXPECT_LE(ImageDownloader::defaultTransferTimeLimit, 60);
    EXPECT_TRUE(configuration.ephemeral);

    // A byte every tenth of a second is never idle long enough for the request's time-out.
    auto shortened = ImageDownloader::defaultSessionConfiguration();
    shortened.timeoutIntervalForResource = 1;
    downloader->setSessionConfiguration(shortened);
    downloader->setDownloadTimeout(5);
    EXPECT_EQ(sessionErrorCode(downloadOne("/trickle")), net::URLError::timedOut);
}

TEST_F(ImageDownloaderTest, cancellingAURLOrEverythingTellsEachWaitingConsumer) {
    Outcomes first, second, other;
    download("/held/u", first);
    download("/held/u", second);
    download("/held/v", other);
    ASSERT_TRUE(server.waitForHits("/held/u"));
    ASSERT_TRUE(server.waitForHits("/held/v"));
    downloader->cancel(server.url("/held/u"));
    EXPECT_TRUE(first.waitFor(1).front().error().isTaskCancelled());
    EXPECT_TRUE(second.waitFor(1).front().error().isTaskCancelled());
    EXPECT_EQ(other.count(), 0u);
    downloader->cancel(server.url("/held/nothing"));  // no transfer of that URL: nothing happens

    Outcomes late;
    download("/held/w", late);
    ASSERT_TRUE(server.waitForHits("/held/w"));
    downloader->cancelAll();
    EXPECT_TRUE(other.waitFor(1).front().error().isTaskCancelled());
    EXPECT_TRUE(late.waitFor(1).front().error().isTaskCancelled());
    EXPECT_EQ(first.count(), 1u);
    server.openGate();
    EXPECT_TRUE(downloadOne("/image/after-cancel"));
}

TEST_F(ImageDownloaderTest, aNewSessionDelegateCancelsTheOldTransfersAndServesTheNextOnes) {
    Outcomes running;
    download("/held/replaced", running);
    ASSERT_TRUE(server.waitForHits("/held/replaced"));
    auto replacement = SessionDelegate::make();
    replacement->maximumBodySize = 10;
    downloader->setSessionDelegate(replacement);
    EXPECT_EQ(downloader->sessionDelegate(), replacement);
    EXPECT_FALSE(running.waitFor(1).front());
    EXPECT_EQ(replacement->task(server.url("/held/replaced")), nullptr);
    // The new delegate is wired: its own cap applies, and a small picture still loads once it is lifted.
    EXPECT_EQ(sessionErrorCode(downloadOne("/image/over-new-cap")), net::URLError::dataLengthExceedsMaximum);
    replacement->maximumBodySize = SessionDelegate::defaultMaximumBodySize;
    server.openGate();
    EXPECT_TRUE(downloadOne("/image/new-delegate"));
}

TEST_F(ImageDownloaderTest, aTornDownDownloaderTellsEveryWaitingConsumerItWasCancelled) {
    Outcomes first, second;
    download("/held/t", first);
    download("/held/t", second);
    ASSERT_TRUE(server.waitForHits("/held/t"));
    downloader.reset();
    EXPECT_EQ(cancelToken(first.waitFor(1).front()), 0);
    EXPECT_EQ(cancelToken(second.waitFor(1).front()), 1);
}

TEST_F(ImageDownloaderTest, aConsumerCancellingAsTheTransferEndsGetsOneOutcome) {
    Outcomes outcomes;
    EXPECT_TRUE(downloadActingInCompletion("/held/e", outcomes, [](const DownloadTask& task) { task.cancel(); }));
    EXPECT_EQ(outcomes.count(), 1u);
}

TEST_F(ImageDownloaderTest, aConsumerAskingAsTheTransferEndsStartsATransferOfItsOwn) {
    auto observer = std::make_shared<RecordingDelegate>();
    downloader->setDelegate(observer);
    Outcomes first, late;
    observer->onFinished = [&](int count) {
        if (count == 2) download("/image/late", late);
    };
    download("/image/late", first);
    EXPECT_TRUE(first.waitFor(1).front());
    EXPECT_TRUE(late.waitFor(1).front());
    EXPECT_EQ(server.hits("/image/late"), 2);
}

TEST_F(ImageDownloaderTest, aCompletionWhoseBindingIsReplacedWhileItRunsStillHandsTheImageOn) {
    Outcomes outcomes;
    // Done before the completion hands the body on: everything the replaced binding held is destroyed.
    auto outcome = downloadActingInCompletion("/held/rebound", outcomes, [](const DownloadTask& task) {
        task.sessionTask->onTaskDone.delegate(task.sessionTask, nullptr);
    });
    ASSERT_TRUE(outcome) << outcome.error();
    EXPECT_EQ(outcome->url, server.url("/held/rebound"));
    EXPECT_EQ(outcome->image->pixelWidth(), 16);
}

TEST_F(ImageDownloaderTest, requestsCarryTheDownloaderSettingsAndTheConsumerModifier) {
    auto observer = std::make_shared<RecordingDelegate>();
    downloader->setDelegate(observer);
    downloader->setRequestsUsePipelining(true);
    auto options = untouched();
    options.lowDataModeSource = Source::network(ImageResource(server.url("/image/small")));
    EXPECT_TRUE(downloadOne("/image/settings", options));
    {
        std::lock_guard guard(observer->lock);
        ASSERT_EQ(observer->requests.size(), 1u);
        const auto& request = observer->requests.front();
        EXPECT_EQ(request.timeoutInterval, 15.0);
        EXPECT_EQ(request.cachePolicy, net::CachePolicy::reloadIgnoringLocalCacheData);
        EXPECT_TRUE(request.httpShouldUsePipelining);
        EXPECT_FALSE(request.allowsConstrainedNetworkAccess);
    }

    options = untouched();
    options.requestModifier = std::make_shared<AnyModifier>([&](net::Request request) {
        request.url = server.url("/image/modified");
        return std::optional(request);
    });
    auto outcome = downloadOne("/image/original", options);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->url, server.url("/image/modified"));
    EXPECT_EQ(server.hits("/image/original"), 0);

    options.requestModifier = std::make_shared<AnyModifier>([](net::Request) { return std::optional<net::Request>(); });
    outcome = downloadOne("/image/vetoed", options);
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(std::holds_alternative<PicturaError::EmptyRequest>(*outcome.error().requestErrorReason()));
    EXPECT_EQ(server.hits("/image/vetoed"), 0);
}

// Answers later, from a thread of its own, and tells the test the task it started.
class LaterModifier final : public AsyncImageDownloadRequestModifier {
public:
    void modified(const net::Request& request, ReportModified report) const override {
        std::thread([request, report] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            report(request);
        }).detach();
    }
    OnDownloadTaskStarted onDownloadTaskStarted() const override {
        return [started = started](const DownloadTask* task) { started->set_value(task->cancelToken); };
    }
    std::shared_ptr<std::promise<int>> started = std::make_shared<std::promise<int>>();
};

TEST_F(ImageDownloaderTest, aModifierAnsweringLaterHandsTheTaskOverWhenItStarts) {
    auto modifier = std::make_shared<LaterModifier>();
    auto started = modifier->started->get_future();
    auto options = untouched();
    options.requestModifier = modifier;
    Outcomes outcomes;
    EXPECT_FALSE(download("/image/later", outcomes, options));
    ASSERT_EQ(started.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(started.get(), 0);
    EXPECT_TRUE(outcomes.waitFor(1).front());
}

TEST_F(ImageDownloaderTest, answersThatAreNotHTTPAndRefusedBodiesFailEveryConsumer) {
    net::SessionConfiguration configuration = net::SessionConfiguration::ephemeralConfiguration();
    configuration.protocols = std::make_shared<net::ProtocolRegistry>();
    configuration.protocols->registerHandler("pictures.test", [](const net::Request&) {
        return std::expected<net::ProtocolAnswer, net::URLError>(
            net::ProtocolAnswer{net::Response::make({}, 0, {}), foundation::Data::fromString("bytes")});
    });
    downloader->setSessionConfiguration(configuration);
    Outcomes outcomes;
    downloader->downloadImage(*foundation::URL::fromString("http://pictures.test/a.png"), untouched(), outcomes.handler());
    auto outcome = outcomes.waitFor(1).front();
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(std::holds_alternative<PicturaError::InvalidURLResponse>(*outcome.error().responseErrorReason()));

    auto observer = std::make_shared<RecordingDelegate>();
    observer->refuseBodies = true;
    downloader->setDelegate(observer);
    outcome = downloadOne("/image/refused");
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(std::holds_alternative<PicturaError::DataModifyingFailed>(*outcome.error().responseErrorReason()));
    std::lock_guard guard(observer->lock);
    EXPECT_EQ(observer->finished, 2);
}

TEST_F(ImageDownloaderTest, progressReportsTheSharedBytesOnTheMainQueue) {
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    bool onMain = true;
    Outcomes outcomes;
    downloader->downloadImage(
        server.url("/image/progress"), PicturaOptionsInfo{PicturaOptionsInfoItem::callbackQueue(CallbackQueue::untouch())},
        [&](std::int64_t received, std::int64_t expected) {
            onMain = onMain && dispatch::isMainThread();
            reports.emplace_back(received, expected);
        },
        outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(1).front());
    const auto size = static_cast<std::int64_t>(server.picture.size());
    ASSERT_TRUE(dispatch::RunLoop::main()->runUntil([&] { return !reports.empty() && reports.back().first == size; }, 30));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(reports.back().second, size);

    // Without a stated length there is nothing to report against.
    reports.clear();
    Outcomes unsized;
    downloader->downloadImage(server.url("/unsized/progress"), PicturaOptionsInfo{PicturaOptionsInfoItem::callbackQueue(CallbackQueue::untouch())},
                              [&](std::int64_t received, std::int64_t expected) { reports.emplace_back(received, expected); },
                              unsized.handler());
    ASSERT_TRUE(unsized.waitFor(1).front());
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(ImageDownloaderTest, aNewSessionConfigurationCancelsTheRunningTransfers) {
    Outcomes outcomes;
    download("/held/s", outcomes);
    ASSERT_TRUE(server.waitForHits("/held/s"));
    downloader->setSessionConfiguration(net::SessionConfiguration::ephemeralConfiguration());
    EXPECT_TRUE(outcomes.waitFor(1).front().error().isTaskCancelled());
    server.openGate();
    EXPECT_TRUE(downloadOne("/held/s"));
}

// A transfer the server still holds when the program exits, let go by an exit handler registered
// before anything of the downloader was made: that handler runs after every exit-time destructor of
// what a completion reaches, so the completion must find none of it destroyed.
struct HeldAtExit {
    DownloadServer server;
    std::shared_ptr<ImageDownloader> downloader = ImageDownloader::make("exit");
    Outcomes outcomes;
};
HeldAtExit* heldAtExit = nullptr;

TEST(ImageDownloaderDeathTest, aTransferCompletingAfterTheExitHandlersStillDeliversItsImage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where nothing was made yet
    EXPECT_EXIT(
        {
            std::atexit([] {
                heldAtExit->server.openGate();
                const auto outcomes = heldAtExit->outcomes.waitFor(1);
                std::_Exit(outcomes.size() == 1 && outcomes.front() ? 0 : 2);
            });
            heldAtExit = new HeldAtExit;
            // One whole download first, so everything on the completion's path is made after the handler.
            Outcomes first;
            heldAtExit->downloader->downloadImage(heldAtExit->server.url("/image/first"), untouched(), first.handler());
            const auto firsts = first.waitFor(1);
            if (firsts.empty() || !firsts.front()) std::_Exit(3);
            heldAtExit->downloader->downloadImage(heldAtExit->server.url("/held/exit"), untouched(),
                                                  heldAtExit->outcomes.handler());
            if (!heldAtExit->server.waitForHits("/held/exit")) std::_Exit(4);
            std::exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ImageDownloaderNameTest, theDefaultDownloaderIsOneAndAnEmptyNameStopsTheProgram) {
    EXPECT_EQ(ImageDownloader::defaultDownloader(), ImageDownloader::defaultDownloader());
    EXPECT_EQ(ImageDownloader::defaultDownloader()->name(), "default");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(ImageDownloader::make(""), "\\[Pictura\\] You should specify a name for the downloader");
}

}  // namespace
}  // namespace pictura
