#include <gtest/gtest.h>

#include <algorithm>

#include "RenderTestSupport.h"
#include "VellumLogCapture.h"
#include "gfx/WorkMeter.h"
#include "logging/LBASLLogger.h"
#include "logging/LBLog.h"
#include "logging/LBTTYLogger.h"
#include "vellum/Vellum.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumImageViews.h"

namespace {

using vellum::VellumImage;

// 10 x 10 with a red square in its top-left quarter.
std::shared_ptr<VellumImage> cornerImage() {
    return imageOf(svgHeader + R"( width="10" height="10"><rect width="5" height="5" fill="#ff0000"/></svg>)");
}

gfx::Bitmap drawn(ui::View& view) {
    auto context = gfx::Context::create(view.bounds().size, {});
    view.draw(*context, view.bounds());
    return context->makeImage();
}

TEST(VellumFastImageView, takesTheImagesSizeAndScalesItToItsBounds) {
    auto image = cornerImage();
    ASSERT_NE(image, nullptr);
    auto view = std::make_shared<vellum::VellumFastImageView>(image);
    EXPECT_EQ(view->frame(), (gfx::Rect{0, 0, 10, 10}));
    EXPECT_EQ(view->intrinsicContentSize(), (gfx::Size{10, 10}));
    view->setFrame({0, 0, 40, 20});
    const auto bitmap = drawn(*view);
    EXPECT_TRUE(nearPixel(pixelAt(bitmap, 18, 8), (RGBA{255, 0, 0, 255})));
    EXPECT_EQ(pixelAt(bitmap, 22, 8).a, 0);
    EXPECT_EQ(pixelAt(bitmap, 18, 12).a, 0);
    ASSERT_TRUE(view->endRenderTime().has_value());
    EXPECT_GE(view->timeIntervalForLastReRenderOfSVGFromMemory(), 0);
}

// The corner image's copies a 20 x 30 view tiled 2 x 3 shows.
int copiesIn(const gfx::Bitmap& bitmap) {
    int copies = 0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            const bool red = nearPixel(pixelAt(bitmap, column * 10 + 2, row * 10 + 2), (RGBA{255, 0, 0, 255}));
            const bool clear = pixelAt(bitmap, column * 10 + 7, row * 10 + 7).a == 0;
            copies += red && clear;
        }
    }
    return copies;
}

TEST(VellumFastImageView, aTileRatioDrawsTheImageOncePerTileRowByRow) {
    auto view = std::make_shared<vellum::VellumFastImageView>(cornerImage());
    view->setFrame({0, 0, 20, 30});
    view->setTileRatio({2, 3});
    EXPECT_EQ(copiesIn(drawn(*view)), 6);
}

TEST(VellumFastImageView, itsTilesShareOneMeterADrawAndPastItOrRefusedNoneShows) {
    auto image = cornerImage();
    auto view = std::make_shared<vellum::VellumFastImageView>(image);
    view->setFrame({0, 0, 20, 30});
    view->setTileRatio({2, 3});
    std::uint64_t build = 0;
    std::uint64_t tiles = 0;
    {
        gfx::WorkMeter meter;
        image->CALayerTree();
        build = meter.used();
        drawn(*view);
        tiles = meter.used() - build;
    }
    // The tree built where room is left for three of the six: the draw (drawn apart first) shows none of them.
    const auto apart = static_cast<std::uint64_t>(gfx::WorkMeter::aPath + 20 * 30 * gfx::WorkMeter::aPixel);
    image->setSize(image->size());  // a new tree on the next use
    {
        gfx::WorkMeter meter(build + apart + tiles / 2);
        image->CALayerTree();
    }
    EXPECT_EQ(copiesIn(drawn(*view)), 0);
    const auto& filed = image->parseErrorsAndWarnings()->errorsRecoverable();
    EXPECT_TRUE(std::any_of(filed.begin(), filed.end(), [](const auto& error) {
        return error.localizedDescription().find("took more work than a render is allowed") != std::string::npos;
    }));
    // A build refused by its meter is that render's: the view's next draw builds it under its own.
    image->setSize(image->size());
    {
        gfx::WorkMeter meter(1);
        image->CALayerTree();
        EXPECT_TRUE(image->layerTreeRefused());
    }
    EXPECT_EQ(copiesIn(drawn(*view)), 6);
}

TEST(VellumFastImageView, redrawsWhenItsImageChangesSize) {
    auto image = cornerImage();
    auto view = std::make_shared<vellum::VellumFastImageView>(image);
    view->layer()->display();
    ASSERT_FALSE(view->layer()->needsDisplay());
    image->setSize({20, 20});
    EXPECT_TRUE(view->layer()->needsDisplay());
}

TEST(VellumFastImageView, withoutAnImageDrawsNothingAndWarns) {
    VellumLogCapture log;
    auto view = std::make_shared<vellum::VellumFastImageView>(gfx::Rect{0, 0, 8, 8});
    EXPECT_EQ(view->image(), nullptr);
    EXPECT_EQ(view->intrinsicContentSize(), (gfx::Size{0, 0}));
    view->setShowBorder(true);
    const auto bitmap = drawn(*view);
    EXPECT_EQ(pixelAt(bitmap, 4, 4).a, 0);
    EXPECT_GT(pixelAt(bitmap, 0, 4).a, 0);  // the border
    const auto messages = log.messages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.find("blank image (nil)") != std::string::npos; }));
}

TEST(VellumLayeredImageView, hostsTheImagesLayerTreeAndReplacesItWithTheImage) {
    auto image = cornerImage();
    auto view = std::make_shared<vellum::VellumLayeredImageView>(image);
    EXPECT_EQ(view->frame(), (gfx::Rect{0, 0, 10, 10}));
    EXPECT_EQ(view->image(), image);
    const auto& backing = view->backingLayer();
    ASSERT_EQ(backing->sublayers().size(), 1u);
    EXPECT_EQ(backing->sublayers()[0], image->CALayerTree());
    const auto start = backing->startRenderTime();
    ASSERT_TRUE(start.has_value());
    EXPECT_GE(view->timeIntervalForLastReRenderOfSVGFromMemory(), 0);

    view->setImage(image);  // the same image: nothing happens
    EXPECT_EQ(backing->startRenderTime(), start);

    auto other = cornerImage();
    view->setImage(other);
    ASSERT_EQ(backing->sublayers().size(), 1u);
    EXPECT_EQ(backing->sublayers()[0], other->CALayerTree());
    EXPECT_EQ(image->CALayerTree()->superlayer(), nullptr);

    view->setShowBorder(true);
    EXPECT_TRUE(view->showBorder());
    EXPECT_EQ(backing->borderWidth(), 1.0);
    view->setImage(nullptr);
    EXPECT_TRUE(backing->sublayers().empty());
    EXPECT_FALSE(backing->startRenderTime().has_value());
}

TEST(VellumLayeredImageView, withoutAnImageShowsTheDefaultDocument) {
    VellumLogCapture log;
    auto view = std::make_shared<vellum::VellumLayeredImageView>(nullptr);
    EXPECT_EQ(view->frame(), (gfx::Rect{0, 0, 100, 100}));
    ASSERT_NE(view->image(), nullptr);
    EXPECT_EQ(view->image()->size(), (gfx::Size{100, 100}));
    EXPECT_EQ(view->backingLayer()->sublayers().size(), 1u);
    EXPECT_FALSE(log.messages().empty());
}

TEST(VellumLogging, enableLoggingAddsTheSystemLogAndConsoleLoggersOnce) {
    auto& log = logging::LBLog::sharedInstance();
    const auto has = [&](const std::shared_ptr<logging::LBLogger>& logger) {
        const auto loggers = log.allLoggers();
        return std::count(loggers.begin(), loggers.end(), logger);
    };
    const auto system = logging::LBASLLogger::sharedInstance();
    const auto console = logging::LBTTYLogger::sharedInstance();
    vellum::Vellum::enableLogging();
    const auto count = log.allLoggers().size();
    vellum::Vellum::enableLogging();
    EXPECT_EQ(log.allLoggers().size(), count);
    EXPECT_EQ(has(system), 1);
    EXPECT_EQ(has(console), 1);
    // Other tests expect the library to log nowhere.
    log.removeLogger(system);
    log.removeLogger(console);
    EXPECT_EQ(has(system), 0);
}

}  // namespace
