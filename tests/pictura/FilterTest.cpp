#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ImageSamples.h"
#include "pictura/Filter.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {
namespace {

using gfx::Color;

// Puts the process-wide factories back however a test ends.
class FilterTest : public ::testing::Test {
protected:
    void TearDown() override {
        Filter::setTint(&Filter::makeTint);
        Filter::setColorControl(&Filter::makeColorControl);
    }
};

TEST_F(FilterTest, filtersThatCannotRunLeaveTheImageAsItWas) {
    auto empty = gfx::Image::make(nullptr);
    EXPECT_EQ(pc(empty).apply(Filter::makeTint(Color::black())), empty);
    auto image = samples::image(samples::coordinates(4, 4));
    EXPECT_EQ(pc(image).apply(Filter([](const auto&) { return nullptr; })), image);

    Filter::setTint([](Color) { return Filter([](const auto&) { return nullptr; }); });
    EXPECT_EQ(pc(image).tinted(Color::black()), image);
}

TEST_F(FilterTest, tintLaysTheColourOverThePicture) {
    auto image = samples::image(samples::coordinates(6, 4), 2, gfx::ImageOrientation::down);
    auto unchanged = pc(image).tinted(Color::clear());
    EXPECT_EQ(unchanged->bitmap()->pixels, image->bitmap()->pixels);

    auto covered = pc(image).tinted({0, 1, 0, 1});
    EXPECT_EQ(covered->bitmap()->pixels, samples::filled(6, 4, {0, 1, 0, 1}).pixels);
    EXPECT_EQ(covered->scale(), 2);
    EXPECT_EQ(covered->orientation(), gfx::ImageOrientation::down);
    EXPECT_EQ(covered->size(), image->size());
}

TEST_F(FilterTest, neutralAdjustmentKeepsThePicture) {
    auto image = samples::image(samples::coordinates(16, 16));
    EXPECT_EQ(pc(image).adjusted(0, 1, 1, 0)->bitmap()->pixels, image->bitmap()->pixels);
    auto grey = pc(image).adjusted(0, 1, 0, 0)->bitmap()->pixel(10, 3);
    EXPECT_EQ(samples::channel(grey, 0), samples::channel(grey, 16));
}

TEST_F(FilterTest, replacingFactoriesWhileOtherThreadsTintIsSafe) {
    auto image = samples::image(samples::coordinates(8, 8));
    std::atomic<int> readersLeft = 3;
    std::thread writer([&] {
        for (int round = 0; readersLeft > 0; ++round) {
            Filter::setTint(round % 2 ? Filter::TintFactory(&Filter::makeTint)
                                      : Filter::TintFactory([](Color) { return Filter::makeTint(Color::white()); }));
            Filter::setColorControl(&Filter::makeColorControl);
        }
    });
    std::vector<std::thread> readers;
    std::atomic<int> tinted = 0;
    for (int reader = 0; reader < 3; ++reader)
        readers.emplace_back([&] {
            for (int round = 0; round < 200; ++round)
                if (pc(image).tinted({0, 0, 0, 1})->pixelWidth() == 8) ++tinted;
            --readersLeft;
        });
    for (auto& reader : readers) reader.join();
    writer.join();
    EXPECT_EQ(tinted.load(), 600);
}

struct Inverting final : CIImageProcessor {
    std::string identifier() const override { return "inverting"; }
    Filter filter() const override { return Filter::makeTint({1, 1, 1, 1}); }
};

TEST_F(FilterTest, filterProcessorDecodesDataFirstAndNeverFailsOnAnImage) {
    Inverting processor;
    PicturaParsedOptionsInfo options;
    EXPECT_FALSE(processor.process(foundation::Data::fromString("no picture in here"), options));
    auto png = *gfx::encodePng(samples::coordinates(3, 3));
    auto fromData = processor.process(png, options);
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->bitmap()->pixel(1, 1), 0xFFFFFFFFu);
    auto empty = gfx::Image::make(nullptr);
    EXPECT_EQ(processor.process(empty, options), empty);
}

}  // namespace
}  // namespace pictura
