#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "CountingProcessor.h"
#include "DownloadServer.h"
#include "ImageSamples.h"
#include "pictura/ImageWrapper.h"
#include "pictura/ImageDataProcessor.h"

namespace pictura {
namespace {

SessionDataTask::TaskCallback consumer(std::shared_ptr<const ImageProcessor> processor, bool backgroundDecode = false) {
    SessionDataTask::TaskCallback callback;
    callback.options.processor = std::move(processor);
    callback.options.backgroundDecode = backgroundDecode;
    return callback;
}

// Runs a pass on the calling thread and gathers its results in order.
std::vector<ImageDataProcessor::ProcessingResult> processAll(const foundation::Data& data,
                                                             std::vector<SessionDataTask::TaskCallback> callbacks) {
    auto processor = ImageDataProcessor::make(data, std::move(callbacks), CallbackQueue::untouch());
    std::vector<ImageDataProcessor::ProcessingResult> results;
    processor->onImageProcessed.delegate(processor, [&](ImageDataProcessor&, const ImageDataProcessor::ImageProcessed& processed) {
        results.push_back(processed.first);
    });
    processor->process();
    return results;
}

TEST(ImageDataProcessorTest, aProcessorThatGivesNothingFailsItsConsumerAndRunsAgainForTheNext) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto flaky = std::make_shared<CountingProcessor>("flaky", runs, 1);
    const auto results = processAll(noisePng(4, 4), {consumer(flaky), consumer(flaky), consumer(flaky)});
    ASSERT_EQ(results.size(), 3u);
    ASSERT_FALSE(results[0]);
    const auto& failure = std::get<PicturaError::ProcessingFailed>(*results[0].error().processorErrorReason());
    EXPECT_EQ(failure.processor, flaky);
    EXPECT_TRUE(results[1] && results[2]);
    EXPECT_EQ(*results[1], *results[2]);
    EXPECT_EQ(runs->load(), 2);
}

TEST(ImageDataProcessorTest, backgroundDecodingGivesItsConsumerACopyOfTheSharedImage) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto processor = std::make_shared<CountingProcessor>("", runs);
    const auto results = processAll(noisePng(4, 4), {consumer(processor, true), consumer(processor, false)});
    ASSERT_TRUE(results[0] && results[1]);
    EXPECT_NE(*results[0], *results[1]);
    EXPECT_NE((*results[0])->bitmap(), (*results[1])->bitmap());
    EXPECT_EQ((*results[0])->bitmap()->pixels, (*results[1])->bitmap()->pixels);
    EXPECT_EQ(runs->load(), 1);

    // An animation that decodes its frames from its source later keeps that source.
    const auto animated = processAll(samples::gif({0.1, 0.1}), {consumer(DefaultImageProcessor::defaultProcessor(), true)});
    ASSERT_TRUE(animated[0] && *animated[0]);
    EXPECT_TRUE(pc(*animated[0]).imageSource());

    EXPECT_TRUE(processAll(noisePng(4, 4), {}).empty());
    const auto undecodable = processAll(foundation::Data::fromString("not a picture"), {consumer(nullptr)});
    ASSERT_EQ(undecodable.size(), 1u);
    EXPECT_EQ(undecodable[0].error().errorCode(), 4001);
}

TEST(ImageDataProcessorTest, withoutAQueueThePassRunsOnTheSharedDownloaderQueue) {
    std::promise<std::string> label;
    auto processor = ImageDataProcessor::make(noisePng(2, 2), {consumer(nullptr)}, std::nullopt);
    processor->onImageProcessed.delegate(processor, [&](ImageDataProcessor&, const ImageDataProcessor::ImageProcessed&) {
        label.set_value(dispatch::Queue::currentLabel());
    });
    processor->process();
    processor.reset();
    auto answered = label.get_future();
    ASSERT_EQ(answered.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(answered.get(), "com.tolvane.Pictura.ImageDownloader.Process");
}

// Holds every run until `expected` runs are under way at once (or a long wait has passed), and
// writes down the identifier of each consumer it served, in order.
class MeetingProcessor final : public ImageProcessor {
public:
    MeetingProcessor(std::string identifier, std::shared_ptr<struct Meeting> meeting)
        : identifier_(std::move(identifier)), meeting_(std::move(meeting)) {}
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

private:
    std::string identifier_;
    std::shared_ptr<struct Meeting> meeting_;
};

struct Meeting {
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    int expected = 2;
    bool met = false;
    bool gaveUp = false;
};

std::shared_ptr<gfx::Image> MeetingProcessor::process(const ImageProcessItem& item,
                                                      const PicturaParsedOptionsInfo& options) const {
    {
        std::unique_lock lock(meeting_->mutex);
        if (++meeting_->arrived == meeting_->expected) meeting_->met = true;
        meeting_->changed.notify_all();
        if (!meeting_->changed.wait_for(lock, std::chrono::seconds(30), [&] { return meeting_->met; }))
            meeting_->gaveUp = true;
    }
    return DefaultImageProcessor::defaultProcessor()->process(item, options);
}

TEST(ImageDataProcessorTest, passesOfTwoDownloadsRunSideBySideAndEachKeepsItsConsumersOrder) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core runs one pass at a time";
    auto meeting = std::make_shared<Meeting>();
    // The first download's consumers each have a processor of their own; only the first run waits.
    auto waiting = std::make_shared<MeetingProcessor>("waiting", meeting);
    auto first = ImageDataProcessor::make(noisePng(2, 2),
                                          {consumer(waiting), consumer(std::make_shared<CountingProcessor>("b", std::make_shared<std::atomic<int>>())),
                                           consumer(std::make_shared<CountingProcessor>("c", std::make_shared<std::atomic<int>>()))},
                                          std::nullopt);
    auto second = ImageDataProcessor::make(noisePng(3, 3), {consumer(std::make_shared<MeetingProcessor>("other", meeting))},
                                           std::nullopt);
    std::mutex mutex;
    std::vector<std::string> order;
    std::promise<void> firstDone, secondDone;
    first->onImageProcessed.delegate(first, [&](ImageDataProcessor&, const ImageDataProcessor::ImageProcessed& processed) {
        bool last = false;
        {
            std::lock_guard lock(mutex);
            order.push_back(processed.second.options.processor->identifier());
            last = order.size() == 3;
        }
        // Told once the lock is let go: the test ends, and its mutex with it, as soon as it hears.
        if (last) firstDone.set_value();
    });
    second->onImageProcessed.delegate(second, [&](ImageDataProcessor&, const ImageDataProcessor::ImageProcessed&) {
        secondDone.set_value();
    });
    first->process();
    second->process();
    auto firstFinished = firstDone.get_future(), secondFinished = secondDone.get_future();
    ASSERT_EQ(firstFinished.wait_for(std::chrono::seconds(90)), std::future_status::ready);
    ASSERT_EQ(secondFinished.wait_for(std::chrono::seconds(90)), std::future_status::ready);
    {
        std::lock_guard lock(meeting->mutex);
        EXPECT_FALSE(meeting->gaveUp) << "one pass waited for the other to end";
    }
    EXPECT_EQ(order, (std::vector<std::string>{"waiting", "b", "c"}));
}

}  // namespace
}  // namespace pictura
