#include <gtest/gtest.h>

#include "CacheTestSupport.h"
#include "gfx/ImageEncoder.h"
#include "pictura/CacheSerializer.h"
#include "pictura/PicturaOptions.h"

namespace pictura {
namespace {

using foundation::Data;

ImageFormat formatOf(const std::optional<Data>& data) { return data ? imageFormat(data->span()) : ImageFormat::unknown; }

class CacheSerializerTest : public ::testing::Test {
protected:
    std::shared_ptr<gfx::Image> image = testing::gradientImage(30, 20);
    Data jpegOriginal = *gfx::encodeJpeg(*image->bitmap(), 0.3);
    Data pngOriginal = *gfx::encodePng(*image->bitmap());
    PicturaParsedOptionsInfo options;
};

TEST_F(CacheSerializerTest, theDefaultKeepsTheOriginalsFormatOrOnRequestItsBytes) {
    const auto& serializer = *DefaultCacheSerializer::defaultSerializer();
    EXPECT_EQ(options.cacheSerializer, DefaultCacheSerializer::defaultSerializer());
    auto fromJpeg = serializer.data(image, jpegOriginal);
    EXPECT_EQ(formatOf(fromJpeg), ImageFormat::JPEG);
    EXPECT_NE(fromJpeg, jpegOriginal);  // re-encoded at 1.0, not the original
    EXPECT_EQ(formatOf(serializer.data(image, pngOriginal)), ImageFormat::PNG);
    EXPECT_EQ(formatOf(serializer.data(image, std::nullopt)), ImageFormat::PNG);
    EXPECT_FALSE(serializer.originalDataUsed());

    DefaultCacheSerializer keeping;
    keeping.preferCacheOriginalData = true;
    EXPECT_TRUE(keeping.originalDataUsed());
    EXPECT_EQ(keeping.data(image, jpegOriginal), jpegOriginal);
    EXPECT_EQ(formatOf(keeping.data(image, std::nullopt)), ImageFormat::PNG);
}

TEST_F(CacheSerializerTest, onlyAnImageOfUnknownOriginIsTurnedUpright) {
    auto turned = gfx::Image::make(image->bitmap(), 1, gfx::ImageOrientation::right);
    const auto& serializer = *DefaultCacheSerializer::defaultSerializer();
    auto upright = serializer.image(*serializer.data(turned, std::nullopt), options);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->pixelWidth(), 20);
    EXPECT_EQ(upright->pixelHeight(), 30);
    auto asIs = serializer.image(*serializer.data(turned, pngOriginal), options);
    ASSERT_TRUE(asIs);
    EXPECT_EQ(asIs->pixelWidth(), 30);
}

TEST_F(CacheSerializerTest, formatIndicatedWritesItsFormatThenFallsBack) {
    EXPECT_EQ(formatOf(FormatIndicatedCacheSerializer::png()->data(image, jpegOriginal)), ImageFormat::PNG);
    EXPECT_EQ(formatOf(FormatIndicatedCacheSerializer::jpeg()->data(image, pngOriginal)), ImageFormat::JPEG);
    EXPECT_EQ(FormatIndicatedCacheSerializer::jpeg()->jpegCompressionQuality(), 1.0);
    auto low = FormatIndicatedCacheSerializer::jpeg(0.1)->data(image, std::nullopt);
    auto high = FormatIndicatedCacheSerializer::jpeg()->data(image, std::nullopt);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    // A still image has no GIF bytes: the original's format, then PNG of the upright image.
    EXPECT_EQ(formatOf(FormatIndicatedCacheSerializer::gif()->data(image, jpegOriginal)), ImageFormat::JPEG);
    EXPECT_EQ(formatOf(FormatIndicatedCacheSerializer::gif()->data(image, std::nullopt)), ImageFormat::PNG);
    EXPECT_FALSE(FormatIndicatedCacheSerializer::png()->originalDataUsed());
    // Nothing to encode: the original bytes, else nothing.
    auto bare = gfx::Image::make(nullptr);
    EXPECT_EQ(FormatIndicatedCacheSerializer::png()->data(bare, jpegOriginal), jpegOriginal);
    EXPECT_FALSE(FormatIndicatedCacheSerializer::png()->data(bare, std::nullopt));
    EXPECT_FALSE(DefaultCacheSerializer::defaultSerializer()->data(bare, std::nullopt));
}

TEST_F(CacheSerializerTest, bytesDecodeAtTheOptionsScaleAndBadBytesGiveNothing) {
    options.scaleFactor = 2;
    auto decoded = DefaultCacheSerializer::defaultSerializer()->image(pngOriginal, options);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->scale(), 2);
    EXPECT_EQ(decoded->size().width, 15);
    for (const auto& bad : {Data(), Data::fromString("not an image at all"), pngOriginal.subdata(0, 40),
                            jpegOriginal.subdata(0, 20)})
        EXPECT_FALSE(FormatIndicatedCacheSerializer::png()->image(bad, options));
}

}  // namespace
}  // namespace pictura
