#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "VideoClip.h"
#include "gfx/Image.h"
#include "pictura/AVAssetImageDataProvider.h"

namespace pictura {
namespace {

// A test-only asset kind that is not read from a URL.
class ComposedAsset final : public media::Asset {};

ImageDataProvider::Result load(const ImageDataProvider& provider) {
    auto promise = std::make_shared<std::promise<ImageDataProvider::Result>>();
    provider.data([promise](ImageDataProvider::Result result) { promise->set_value(std::move(result)); });
    auto future = promise->get_future();
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        return std::unexpected(AnyError(std::string("timed out")));
    }
    return future.get();
}

class VideoFrameProvider : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("pictura-video-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        clipPath = (directory / "clip.mp4").string();
        ASSERT_TRUE(testclip::writeClip(clipPath, {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}}, 2, 90));
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::filesystem::path directory;
    std::string clipPath;
};

TEST_F(VideoFrameProvider, givesTheFrameAtTheTimeAsJpegTurnedUpright) {
    auto clip = foundation::URL::fileURL(clipPath);
    AVAssetImageDataProvider provider(clip, 0.6);
    EXPECT_EQ(provider.time, media::Time::make(360, 600));
    auto result = load(provider);
    ASSERT_TRUE(result) << result.error().description();
    auto image = gfx::Image::fromData(*result);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 48);  // the display matrix's quarter turn is applied
    EXPECT_EQ(image->pixelHeight(), 64);
    const std::uint32_t pixel = image->bitmap()->pixel(24, 32);
    EXPECT_GT(pixel & 0xff, 180u);           // blue: the frame starting at 0.5 s
    EXPECT_LT((pixel >> 16) & 0xff, 80u);
}

TEST_F(VideoFrameProvider, theKeyIsTheAssetURLAndTheShortestSecondsText) {
    auto clip = foundation::URL::fileURL(clipPath);
    EXPECT_EQ(AVAssetImageDataProvider(clip, 1.5).cacheKey(), clip.absoluteString() + "_1.5");
    EXPECT_EQ(AVAssetImageDataProvider(clip, 2.0).cacheKey(), clip.absoluteString() + "_2.0");

    AVAssetImageDataProvider composed(media::AssetImageGenerator::make(std::make_shared<ComposedAsset>()),
                                      media::Time::make(300, 600));
    EXPECT_NE(composed.cacheKey(), composed.cacheKey());  // a fresh identifier each time
    EXPECT_TRUE(composed.cacheKey().ends_with("_0.5"));
}

TEST_F(VideoFrameProvider, generatorErrorsPassUnchangedAndCancellationIsUserCancelled) {
    auto missing = load(AVAssetImageDataProvider(foundation::URL::fileURL((directory / "none.mp4").string()), 0.0));
    ASSERT_FALSE(missing);
    ASSERT_TRUE(missing.error().as<media::AssetError>());
    EXPECT_EQ(missing.error().as<media::AssetError>()->code, media::AssetError::fileFormatNotRecognized);

    auto generator = media::AssetImageGenerator::make(media::URLAsset::make(foundation::URL::fileURL(clipPath)));
    std::promise<void> release;
    auto gate = release.get_future().share();
    generator->generateImages({media::Time::make(0, 600)}, [gate](auto, auto, auto, auto, auto) { gate.wait(); });
    AVAssetImageDataProvider provider(generator, media::Time::make(0, 600));
    auto promise = std::make_shared<std::promise<ImageDataProvider::Result>>();
    provider.data([promise](ImageDataProvider::Result result) { promise->set_value(std::move(result)); });
    generator->cancelAllImageGeneration();
    release.set_value();
    auto cancelled = promise->get_future().get();
    ASSERT_FALSE(cancelled);
    ASSERT_TRUE(cancelled.error().as<AVAssetImageDataProviderError>());
    EXPECT_EQ(cancelled.error().as<AVAssetImageDataProviderError>()->kind, AVAssetImageDataProviderError::Kind::userCancelled);
    EXPECT_EQ(cancelled.error().description(), "userCancelled");
}

TEST(ShortestSecondsText, writesDoublesAsThePlatformDoes) {
    EXPECT_EQ(shortestSecondsText(2.0), "2.0");
    EXPECT_EQ(shortestSecondsText(0.5), "0.5");
    EXPECT_EQ(shortestSecondsText(1.5), "1.5");
    EXPECT_EQ(shortestSecondsText(0.1), "0.1");
    EXPECT_EQ(shortestSecondsText(0.0001), "0.0001");
    EXPECT_EQ(shortestSecondsText(0.00001), "1e-05");
    EXPECT_EQ(shortestSecondsText(1.25e-7), "1.25e-07");
    EXPECT_EQ(shortestSecondsText(123456.75), "123456.75");
    EXPECT_EQ(shortestSecondsText(1e15), "1000000000000000.0");
    EXPECT_EQ(shortestSecondsText(1e16), "1e+16");
    EXPECT_EQ(shortestSecondsText(-3.0), "-3.0");
    EXPECT_EQ(shortestSecondsText(0.0), "0.0");
}

}  // namespace
}  // namespace pictura
