#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "VideoClip.h"
#include "media/AssetImageGenerator.h"

namespace {

struct Generated {
    media::Time requested;
    std::shared_ptr<const gfx::Bitmap> image;
    media::Time actual;
    media::AssetImageGenerator::Result result;
    std::optional<media::AssetError> error;
};

std::vector<Generated> generate(const std::shared_ptr<media::AssetImageGenerator>& generator,
                                std::vector<media::Time> times) {
    auto promise = std::make_shared<std::promise<void>>();
    auto results = std::make_shared<std::vector<Generated>>();
    const std::size_t expected = times.size();
    generator->generateImages(std::move(times), [=](media::Time requested, std::shared_ptr<const gfx::Bitmap> image,
                                                    media::Time actual, media::AssetImageGenerator::Result result,
                                                    std::optional<media::AssetError> error) {
        results->push_back({requested, std::move(image), actual, result, std::move(error)});
        if (results->size() == expected) promise->set_value();
    });
    if (promise->get_future().wait_for(std::chrono::seconds(20)) != std::future_status::ready) return {};
    return *results;
}

// Which of red, green and blue dominates the pixel (Cairo's native 0xAARRGGBB word).
char dominant(std::uint32_t pixel) {
    const int red = (pixel >> 16) & 0xff, green = (pixel >> 8) & 0xff, blue = pixel & 0xff;
    if (red > 180 && green < 80 && blue < 80) return 'r';
    if (green > 180 && red < 80 && blue < 80) return 'g';
    if (blue > 180 && red < 80 && green < 80) return 'b';
    return '?';
}

class AssetImageGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("media-test-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    foundation::URL clip(int rotation = 0) {
        auto path = (directory / ("clip" + std::to_string(rotation) + ".mp4")).string();
        EXPECT_TRUE(testclip::writeClip(path, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 0}, {0, 255, 0}}, 2,
                                        rotation));
        return foundation::URL::fileURL(path);
    }

    std::filesystem::path directory;
};

TEST_F(AssetImageGeneratorTest, givesTheFrameOnScreenAtEachTime) {
    auto generator = media::AssetImageGenerator::make(media::URLAsset::make(clip()));
    auto results = generate(generator, {media::Time::withSeconds(0, 600), media::Time::withSeconds(0.7, 600),
                                        media::Time::withSeconds(1.0, 600), media::Time::withSeconds(2.2, 600)});
    ASSERT_EQ(results.size(), 4u);
    const char expected[] = {'r', 'g', 'b', 'g'};
    const double starts[] = {0, 0.5, 1.0, 2.0};
    for (std::size_t index = 0; index < results.size(); ++index) {
        ASSERT_EQ(results[index].result, media::AssetImageGenerator::Result::succeeded) << index;
        ASSERT_TRUE(results[index].image);
        EXPECT_FALSE(results[index].error);
        EXPECT_EQ(results[index].image->width, 64);
        EXPECT_EQ(results[index].image->height, 48);
        EXPECT_EQ(dominant(results[index].image->pixel(32, 24)), expected[index]) << index;
        EXPECT_DOUBLE_EQ(results[index].actual.seconds(), starts[index]) << index;
    }
    EXPECT_EQ(results[1].requested, media::Time::make(420, 600));
}

TEST_F(AssetImageGeneratorTest, turnsFramesByTheDisplayMatrixOnlyWhenAsked) {
    auto url = clip(90);
    auto plain = generate(media::AssetImageGenerator::make(media::URLAsset::make(url)), {media::Time::make(0, 600)});
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_TRUE(plain[0].image);
    EXPECT_EQ(plain[0].image->width, 64);

    auto generator = media::AssetImageGenerator::make(media::URLAsset::make(url));
    generator->setAppliesPreferredTrackTransform(true);
    auto turned = generate(generator, {media::Time::make(0, 600)});
    ASSERT_EQ(turned.size(), 1u);
    ASSERT_TRUE(turned[0].image);
    EXPECT_EQ(turned[0].image->width, 48);
    EXPECT_EQ(turned[0].image->height, 64);
}

TEST_F(AssetImageGeneratorTest, unreadableMediaFailsWithAnError) {
    auto missing = generate(media::AssetImageGenerator::make(
                                media::URLAsset::make(foundation::URL::fileURL((directory / "none.mp4").string()))),
                            {media::Time::make(0, 600)});
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].result, media::AssetImageGenerator::Result::failed);
    EXPECT_FALSE(missing[0].image);
    ASSERT_TRUE(missing[0].error);
    EXPECT_EQ(missing[0].error->code, media::AssetError::fileFormatNotRecognized);

    auto junkPath = directory / "junk.mp4";
    std::ofstream(junkPath) << "this is not a video, only text pretending to be one";
    auto junk = generate(media::AssetImageGenerator::make(media::URLAsset::make(foundation::URL::fileURL(junkPath.string()))),
                         {media::Time::make(0, 600)});
    ASSERT_EQ(junk.size(), 1u);
    EXPECT_EQ(junk[0].result, media::AssetImageGenerator::Result::failed);
    ASSERT_TRUE(junk[0].error);
    EXPECT_EQ(junk[0].error->description(), "Cannot Open");
}

TEST_F(AssetImageGeneratorTest, cancellingEndsWaitingRequestsAsCancelledWithoutAnError) {
    auto generator = media::AssetImageGenerator::make(media::URLAsset::make(clip()));
    generator->cancelAllImageGeneration();  // nothing pending: later requests are not affected
    auto before = generate(generator, {media::Time::make(0, 600)});
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].result, media::AssetImageGenerator::Result::succeeded);

    std::promise<void> release;
    auto gate = release.get_future().share();
    // Hold the generator's queue so the next request is still waiting when it is cancelled.
    generator->generateImages({media::Time::make(0, 600)}, [gate](auto, auto, auto, auto, auto) { gate.wait(); });
    std::promise<std::vector<Generated>> waiting;
    auto results = std::make_shared<std::vector<Generated>>();
    generator->generateImages({media::Time::make(0, 600), media::Time::make(600, 600)},
                              [&, results](media::Time requested, std::shared_ptr<const gfx::Bitmap> image,
                                           media::Time actual, media::AssetImageGenerator::Result result,
                                           std::optional<media::AssetError> error) {
                                  results->push_back({requested, std::move(image), actual, result, std::move(error)});
                                  if (results->size() == 2) waiting.set_value(*results);
                              });
    generator->cancelAllImageGeneration();
    release.set_value();
    auto cancelled = waiting.get_future().get();
    for (const auto& one : cancelled) {
        EXPECT_EQ(one.result, media::AssetImageGenerator::Result::cancelled);
        EXPECT_FALSE(one.image);
        EXPECT_FALSE(one.error);
    }
}

TEST(MediaTime, roundsSecondsOntoTheTimescale) {
    EXPECT_EQ(media::Time::withSeconds(1.5, 600), media::Time::make(900, 600));
    EXPECT_EQ(media::Time::withSeconds(0.25, 2), media::Time::make(1, 2));  // half a tick rounds away from zero
    EXPECT_EQ(media::Time::withSeconds(-0.25, 2), media::Time::make(-1, 2));
    EXPECT_FALSE(media::Time::withSeconds(1, 0).isValid());
    EXPECT_DOUBLE_EQ(media::Time::make(900, 600).seconds(), 1.5);
}

}  // namespace
