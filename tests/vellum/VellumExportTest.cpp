#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "RenderTestSupport.h"
#include "VellumLogCapture.h"
#include "gfx/Image.h"
#include "foundation/NotificationCenter.h"
#include "ui/Application.h"
#include "ui/Window.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace {

using vellum::VellumImage;

// A key window on a screen of `scale`, for as long as the test keeps it.
std::shared_ptr<ui::Window> keyWindowAtScale(double scale) {
    auto window = std::make_shared<ui::Window>(ui::Screen{{0, 0, 390, 844}, scale});
    window->makeKeyAndVisible();
    return window;
}

// Red in the top half, blue in the bottom half.
const std::string halves = svgHeader + R"( width="10" height="10">
    <rect width="10" height="5" fill="#ff0000"/><rect y="5" width="10" height="5" fill="#0000ff"/></svg>)";

TEST(VellumPlatformImageExport, aPictureOfThePointSizeAtTheScreensScale) {
    auto window = keyWindowAtScale(3);
    EXPECT_EQ(vellum::VellumExporterUIImage::mainScreenScale(), 3);
    auto image = imageOf(svgHeader + R"( width="24" height="24"><circle cx="12" cy="12" r="12" fill="#00ff00"/></svg>)");
    ASSERT_NE(image, nullptr);
    auto picture = image->UIImage();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), (gfx::Size{24, 24}));
    EXPECT_EQ(picture->pixelWidth(), 72);
    EXPECT_EQ(picture->pixelHeight(), 72);
    EXPECT_TRUE(nearPixel(pixelAt(*picture->bitmap(), 36, 36), (RGBA{0, 255, 0, 255})));
    EXPECT_EQ(pixelAt(*picture->bitmap(), 1, 1).a, 0);  // outside the circle: transparent

    auto other = keyWindowAtScale(1);
    EXPECT_EQ(image->UIImage()->pixelWidth(), 24);
}

TEST(VellumPlatformImageExport, otherThreadsUseTheScaleSeenWhenTheApplicationBecameActive) {
    VellumImage::initialize();
    const auto offMain = [] {
        double scale = 0;
        std::thread([&] { scale = vellum::VellumExporterUIImage::mainScreenScale(); }).join();
        return scale;
    };
    for (double scale : {3.0, 1.0}) {
        auto window = keyWindowAtScale(scale);
        foundation::NotificationCenter::defaultCenter().post(ui::Application::didBecomeActiveNotification);
        EXPECT_EQ(offMain(), scale);
        // Off the main thread the window is not read, so an image exported there uses that scale.
        std::shared_ptr<gfx::Image> picture;
        auto image = imageOf(halves);
        std::thread([&] { picture = image->UIImage(); }).join();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->pixelWidth(), static_cast<int>(10 * scale));
    }
}

TEST(VellumPlatformImageExport, isTopDownAndViewBoxOnlyDocumentsDrawAtTheirViewBox) {
    auto window = keyWindowAtScale(1);
    auto image = imageOf(halves);
    ASSERT_NE(image, nullptr);
    auto picture = image->UIImage();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(nearPixel(pixelAt(*picture->bitmap(), 5, 1), (RGBA{255, 0, 0, 255})));
    EXPECT_TRUE(nearPixel(pixelAt(*picture->bitmap(), 5, 8), (RGBA{0, 0, 255, 255})));

    auto boxed = imageOf(svgHeader + R"( viewBox="0 0 4 2"><rect width="2" height="2" fill="#ff0000"/></svg>)");
    ASSERT_NE(boxed, nullptr);
    auto boxedPicture = boxed->UIImage();
    ASSERT_NE(boxedPicture, nullptr);
    EXPECT_EQ(boxedPicture->pixelWidth(), 4);
    EXPECT_TRUE(nearPixel(pixelAt(*boxedPicture->bitmap(), 0, 0), (RGBA{255, 0, 0, 255})));
    EXPECT_EQ(pixelAt(*boxedPicture->bitmap(), 3, 1).a, 0);
}

TEST(VellumPlatformImageExport, hugeDocumentsAreRefusedNotAllocated) {
    VellumLogCapture log;
    auto window = keyWindowAtScale(2);
    auto image = imageOf(svgHeader + R"( width="100000" height="100000"><rect width="10" height="10"/></svg>)");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->UIImage(), nullptr);
    EXPECT_TRUE(vellum::VellumExporterNSData::exportAsNSData(*image).empty());
    EXPECT_EQ(vellum::VellumImageDrawing::newCGContextAutosizedToFit(*image), nullptr);
    EXPECT_FALSE(log.messages().empty());
}

TEST(VellumByteExport, fourBytesAPixelWithTheFirstRowAtTheBottomUnlessFlipped) {
    auto image = imageOf(halves);
    ASSERT_NE(image, nullptr);
    const auto bytes = vellum::VellumExporterNSData::exportAsNSData(*image);
    ASSERT_EQ(bytes.size(), 400u);
    const auto pixel = [&](const foundation::Data& data, int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(y) * 10 + x) * 4;
        return RGBA{data.bytes()[at], data.bytes()[at + 1], data.bytes()[at + 2], data.bytes()[at + 3]};
    };
    // Unflipped, as the platform's bitmap contexts: the document's top lands in the last rows.
    EXPECT_TRUE(nearPixel(pixel(bytes, 5, 0), (RGBA{0, 0, 255, 0})));
    EXPECT_TRUE(nearPixel(pixel(bytes, 5, 9), (RGBA{255, 0, 0, 0})));
    const auto flipped = vellum::VellumExporterNSData::exportAsNSData(*image, true);
    ASSERT_EQ(flipped.size(), 400u);
    EXPECT_TRUE(nearPixel(pixel(flipped, 5, 0), (RGBA{255, 0, 0, 0})));
    EXPECT_TRUE(nearPixel(pixel(flipped, 5, 9), (RGBA{0, 0, 255, 0})));
}

TEST(VellumByteExport, antiAliasingOffDrawsHardEdges) {
    auto image = imageOf(svgHeader + R"( width="20" height="20"><circle cx="10" cy="10" r="7.3" fill="#ffffff"/></svg>)");
    ASSERT_NE(image, nullptr);
    const auto levels = [&](bool antiAliased) {
        const auto bytes = vellum::VellumExporterNSData::exportAsNSData(*image, antiAliased, 1.0,
                                                                         gfx::InterpolationQuality::standard, false);
        std::set<int> seen;
        for (std::size_t i = 0; i < bytes.size(); i += 4) seen.insert(bytes.bytes()[i]);
        return seen;
    };
    EXPECT_EQ(levels(false), (std::set<int>{0, 255}));
    EXPECT_GT(levels(true).size(), 2u);
}

TEST(VellumDrawing, withoutASizeNothingIsDrawnAndNothingRaises) {
    VellumLogCapture log;
    auto image = imageOf(svgHeader + R"(><rect width="5" height="5" fill="#ff0000"/></svg>)");
    ASSERT_NE(image, nullptr);
    auto context = gfx::Context::create(8, 8, {});
    ASSERT_NE(context, nullptr);
    vellum::VellumImageDrawing::renderToContext(*image, *context, true, 1, gfx::InterpolationQuality::standard, true);
    EXPECT_EQ(pixelAt(context->makeImage(), 2, 2).a, 0);
    EXPECT_TRUE(vellum::VellumExporterNSData::exportAsNSData(*image).empty());
    EXPECT_FALSE(log.messages().empty());
}

}  // namespace
