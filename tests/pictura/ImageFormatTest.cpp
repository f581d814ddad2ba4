#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ImageSamples.h"
#include "gfx/ImageSource.h"
#include "pictura/ImageCreating.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {
namespace {

using foundation::Data;

Data bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> result;
    for (int value : values) result.push_back(static_cast<std::uint8_t>(value));
    return Data(result);
}

Data fixture(const std::string& name) {
    std::ifstream file(std::filesystem::path(SORVANE_TEST_FIXTURES) / "images" / name, std::ios::binary);
    return Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

TEST(ImageFormatTest, formatIsSniffedFromMoreThanEightHeaderBytes) {
    EXPECT_EQ(pc(bytes({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A})).imageFormat(), ImageFormat::unknown);
    EXPECT_EQ(pc(bytes({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0})).imageFormat(), ImageFormat::PNG);
    EXPECT_EQ(pc(bytes({0xFF, 0xD8, 0xFF, 1, 2, 3, 4, 5, 6})).imageFormat(), ImageFormat::JPEG);
    EXPECT_EQ(pc(bytes({0xFF, 0xD8, 0xFE, 1, 2, 3, 4, 5, 6})).imageFormat(), ImageFormat::unknown);
    EXPECT_EQ(pc(Data::fromString("GIFxxxxxx")).imageFormat(), ImageFormat::GIF);
    EXPECT_EQ(pc(Data::fromString("GIF89a")).imageFormat(), ImageFormat::unknown);
    EXPECT_EQ(pc(Data()).imageFormat(), ImageFormat::unknown);
}

TEST(ImageFormatTest, markersAreFoundOnlyInJpegData) {
    const auto png = bytes({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0xFF, 0xC2});
    EXPECT_FALSE(pc(png).contains(JPEGMarker::SOF2()));
    EXPECT_TRUE(pc(fixture("jpeg/jpg-progressive.jpg")).contains(JPEGMarker::SOF2()));
    EXPECT_FALSE(pc(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 0xFF, 0xC0, 0xFF, 0xD9})).contains(JPEGMarker::SOF2()));
    // At the very end, and a lone FF at the end.
    EXPECT_TRUE(pc(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0xFF, 0xDA})).contains(JPEGMarker::SOS()));
    EXPECT_FALSE(pc(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0xDA, 0xFF})).contains(JPEGMarker::SOS()));
    EXPECT_EQ(JPEGMarker::RSTn(7).bytes(), (std::array<std::uint8_t, 2>{0xFF, 0xD7}));
    EXPECT_EQ(JPEGMarker::APPn().bytes(), (std::array<std::uint8_t, 2>{0xFF, 0xE0}));
}

TEST(ImageFormatTest, gifEncodingHandsBackTheBytesAnImageWasMadeFrom) {
    const auto data = samples::gif({0.1, 0.1});
    auto animated = PicturaWrapper<std::shared_ptr<gfx::Image>>::image(data, {});
    ASSERT_TRUE(animated);
    EXPECT_EQ(pc(animated).data(ImageFormat::GIF, 1.0)->bytes(), data.bytes());
    auto still = samples::image(samples::coordinates(4, 4));
    EXPECT_FALSE(pc(still).data(ImageFormat::GIF, 1.0));
    // A picture drawn from the GIF image is a new image without the bytes.
    EXPECT_FALSE(pc(pc(animated).resize({2, 2})).gifRepresentation());
}

TEST(ImageFormatTest, unknownFormatEncodesTheUprightPictureWhilePngKeepsTheStoredPixels) {
    auto turned = samples::image(samples::coordinates(6, 4), 1, gfx::ImageOrientation::right);
    auto upright = gfx::Image::fromData(*pc(turned).data(ImageFormat::unknown, 1.0));
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->pixelWidth(), 4);
    EXPECT_EQ(upright->pixelHeight(), 6);
    EXPECT_EQ(upright->bitmap()->pixels, gfx::orientedBitmap(*turned->bitmap(), turned->orientation()).pixels);

    auto stored = gfx::Image::fromData(*pc(turned).data(ImageFormat::PNG, 1.0));
    EXPECT_EQ(stored->bitmap()->pixels, turned->bitmap()->pixels);

    auto jpeg = pc(turned).data(ImageFormat::JPEG, 0.9);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(pc(*jpeg).imageFormat(), ImageFormat::JPEG);
    EXPECT_FALSE(pc(gfx::Image::make(nullptr)).data(ImageFormat::PNG, 1.0));
}

}  // namespace
}  // namespace pictura
