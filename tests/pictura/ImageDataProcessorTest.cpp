#include <gtest/gtest.h>

#include <future>

#include "CountingProcessor.h"
#include "DownloadServer.h"
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

}  // namespace
}  // namespace pictura
