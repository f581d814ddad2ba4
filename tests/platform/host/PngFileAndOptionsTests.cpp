#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gfx/Image.h"
#include "host/PngFile.h"
#include "host/WindowHost.h"

namespace {

TEST(PngFile, writtenBitmapDecodesToTheSamePixels) {
    gfx::Bitmap bitmap = gfx::Bitmap::make(3, 2);
    bitmap.row(0)[0] = 0xffff0000;
    bitmap.row(1)[2] = 0xff00ff00;
    auto path = std::filesystem::temp_directory_path() / ("host-png-" + std::to_string(getpid()) + ".png");
    ASSERT_TRUE(host::writePng(bitmap, path));

    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    std::filesystem::remove(path);
    auto image = gfx::Image::fromData(foundation::Data(bytes.data(), bytes.size()));
    ASSERT_TRUE(image && image->bitmap());
    EXPECT_EQ(image->bitmap()->pixel(0, 0), 0xffff0000u);
    EXPECT_EQ(image->bitmap()->pixel(2, 1), 0xff00ff00u);
    EXPECT_EQ(image->bitmap()->pixel(1, 0), 0u);
}

TEST(PngFile, unwritablePathOrEmptyBitmapIsAnError) {
    auto missing = host::writePng(gfx::Bitmap::make(1, 1), "/nonexistent-folder/shot.png");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().find("/nonexistent-folder/shot.png"), std::string::npos);
    EXPECT_FALSE(host::writePng(gfx::Bitmap{}, std::filesystem::temp_directory_path() / "empty.png"));
}

TEST(WindowOptions, zoomFromTheEnvironmentOnlyWhenItIsAUsableNumber) {
    auto zoomFor = [](const char* text) {
        setenv("SORVANE_WINDOW_ZOOM", text, 1);
        double zoom = host::WindowOptions::fromEnvironment().zoom;
        unsetenv("SORVANE_WINDOW_ZOOM");
        return zoom;
    };
    EXPECT_EQ(zoomFor("0.5"), 0.5);
    EXPECT_EQ(zoomFor("half"), 1);
    EXPECT_EQ(zoomFor("0.5x"), 1);
    EXPECT_EQ(zoomFor("0"), 1);
    EXPECT_EQ(zoomFor("9"), 1);
    // Ignored by the window, but not silently: the start names the variable.
    setenv("SORVANE_WINDOW_ZOOM", "9", 1);
    EXPECT_NE(host::WindowOptions::environmentProblem().find("SORVANE_WINDOW_ZOOM is \"9\""), std::string::npos);
    setenv("SORVANE_WINDOW_ZOOM", "0.5", 1);
    EXPECT_EQ(host::WindowOptions::environmentProblem(), "");
    setenv("SORVANE_WINDOW_ZOOM", "1", 1);
    EXPECT_FALSE(host::WindowOptions::fromEnvironment().fitsDisplay) << "a zoom asked for is kept";
    unsetenv("SORVANE_WINDOW_ZOOM");
    EXPECT_EQ(host::WindowOptions::fromEnvironment().zoom, 1);
    EXPECT_TRUE(host::WindowOptions::fromEnvironment().fitsDisplay);
}

// The phone is 780 x 1688 pixels: a 1080-line screen (less its panels) gets a window that fits.
TEST(WindowOptions, withoutAZoomTheWindowFitsTheDisplay) {
    auto phone = host::DeviceMetrics::phone();
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 1920, 1050), 0.6);
    EXPECT_LE(1688 * host::WindowOptions::zoomToFit(phone, 1920, 1050), 1050);
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 2560, 1400), 0.8);
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 3840, 2100), 1) << "never larger than the phone";
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 700, 2000), 0.85) << "narrow screens fit by width";
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 0, 0), 1) << "an unknown display changes nothing";
    EXPECT_DOUBLE_EQ(host::WindowOptions::zoomToFit(phone, 50, 50), 0.1);
}

}  // namespace
