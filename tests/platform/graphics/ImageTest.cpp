#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "gfx/Image.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageSource.h"

namespace gfx {
namespace {

using testing::filled;

// `jpeg` with an APP1 EXIF segment carrying the orientation tag, in either byte order.
foundation::Data withExifOrientation(const foundation::Data& jpeg, int value, bool bigEndian) {
    auto put16 = [&](std::vector<std::uint8_t>& out, int v) {
        if (bigEndian) out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    std::vector<std::uint8_t> tiff = bigEndian ? std::vector<std::uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 8}
                                               : std::vector<std::uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0};
    put16(tiff, 2);  // two entries: an unrelated one first
    put16(tiff, 0x010F), put16(tiff, 2), put16(tiff, 4), put16(tiff, 0), put16(tiff, 0), put16(tiff, 0);
    put16(tiff, 0x0112), put16(tiff, 3), put16(tiff, 1), put16(tiff, 0), put16(tiff, value), put16(tiff, 0);
    tiff.insert(tiff.end(), {0, 0, 0, 0});
    if (bigEndian) {  // count 1 as a big-endian 32-bit value: fix the order written above
        for (std::size_t entry : {10u, 22u}) std::swap(tiff[entry + 4], tiff[entry + 6]), std::swap(tiff[entry + 5], tiff[entry + 7]);
    }
    std::vector<std::uint8_t> segment = {0xFF, 0xE1};
    std::size_t length = 2 + 6 + tiff.size();
    segment.insert(segment.end(), {std::uint8_t(length >> 8), std::uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    std::vector<std::uint8_t> bytes(jpeg.bytes().begin(), jpeg.bytes().begin() + 2);
    bytes.insert(bytes.end(), segment.begin(), segment.end());
    bytes.insert(bytes.end(), jpeg.bytes().begin() + 2, jpeg.bytes().end());
    return foundation::Data(std::move(bytes));
}

TEST(Image, PointSizeDividesByScaleAndSwapsForSidewaysOrientations) {
    auto bitmap = std::make_shared<const Bitmap>(filled(60, 30, 0xFF000000u));
    EXPECT_EQ(Image::make(bitmap, 2)->size(), (Image::Size{30, 15}));
    EXPECT_EQ(Image::make(bitmap, 3, ImageOrientation::right)->size(), (Image::Size{10, 20}));
    EXPECT_EQ(Image::make(bitmap, 1, ImageOrientation::leftMirrored)->size(), (Image::Size{30, 60}));
    EXPECT_EQ(Image::make(bitmap, 1, ImageOrientation::downMirrored)->size(), (Image::Size{60, 30}));
    EXPECT_EQ(Image::make(nullptr, 2)->size(), (Image::Size{0, 0}));
    // Identity: two images over one bitmap are still two images.
    EXPECT_NE(Image::make(bitmap), Image::make(bitmap));
    EXPECT_EQ(Image::make(bitmap)->bitmap(), bitmap);
}

TEST(Image, ExifOrientationIsReadFromJpegInBothByteOrders) {
    auto jpeg = *encodeJpeg(filled(40, 20, 0xFF808080u), 0.8);
    for (bool bigEndian : {false, true}) {
        for (int value = 1; value <= 8; ++value) {
            SCOPED_TRACE(value);
            auto image = Image::fromData(withExifOrientation(jpeg, value, bigEndian), 2);
            ASSERT_TRUE(image);
            EXPECT_EQ(image->orientation(), orientationFromExif(value));
            EXPECT_EQ(exifValue(image->orientation()), value);
            bool sideways = value >= 5;
            EXPECT_EQ(image->size(), sideways ? (Image::Size{10, 20}) : (Image::Size{20, 10}));
            EXPECT_EQ(image->pixelWidth(), 40);  // the pixels stay as stored
        }
    }
    EXPECT_EQ(orientationFromExif(0), std::nullopt);
    EXPECT_EQ(orientationFromExif(9), std::nullopt);
}

TEST(Image, OrientedBitmapTurnsEachKindUpright) {
    // 3 x 2 with distinct pixels 1...6, stored row by row.
    Bitmap stored = Bitmap::make(3, 2);
    for (int i = 0; i < 6; ++i) stored.row(i / 3)[i % 3] = static_cast<std::uint32_t>(i + 1);
    auto rowsOf = [](const Bitmap& b) {
        std::vector<std::vector<std::uint32_t>> rows;
        for (int y = 0; y < b.height; ++y) rows.emplace_back(b.row(y), b.row(y) + b.width);
        return rows;
    };
    using Rows = std::vector<std::vector<std::uint32_t>>;
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::up)), (Rows{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::upMirrored)), (Rows{{3, 2, 1}, {6, 5, 4}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::down)), (Rows{{6, 5, 4}, {3, 2, 1}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::downMirrored)), (Rows{{4, 5, 6}, {1, 2, 3}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::right)), (Rows{{4, 1}, {5, 2}, {6, 3}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::left)), (Rows{{3, 6}, {2, 5}, {1, 4}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::leftMirrored)), (Rows{{1, 4}, {2, 5}, {3, 6}}));
    EXPECT_EQ(rowsOf(orientedBitmap(stored, ImageOrientation::rightMirrored)), (Rows{{6, 3}, {5, 2}, {4, 1}}));
}

TEST(Image, ThumbnailWithTransformIsUpright) {
    Bitmap picture = filled(40, 20, 0xFFFF0000u);  // left half red, right half blue
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x) picture.row(y)[x] = 0xFF0000FFu;
    auto jpeg = withExifOrientation(*encodeJpeg(picture, 1.0), 6, false);  // shown turned clockwise
    auto source = ImageSource::create(jpeg);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->propertiesAt(0)->orientation, ImageOrientation::right);
    auto upright = source->thumbnailAt(0, {.maxPixelSize = 20, .withTransform = true});
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width, 10);
    EXPECT_EQ(upright->height, 20);
    // Turned clockwise, the stored left (red) is on top.
    EXPECT_GT(testing::channel(upright->pixel(5, 2), 16), 200);
    EXPECT_GT(testing::channel(upright->pixel(5, 17), 0), 200);
    auto asStored = source->thumbnailAt(0, {.maxPixelSize = 20});
    EXPECT_EQ(asStored->width, 20);
}

TEST(Image, PresentationAttributesGiveNewImagesOverTheSamePixels) {
    auto original = Image::fromBitmap(Bitmap::make(4, 2), 2, ImageOrientation::left);
    auto templated = original->withRenderingMode(ImageRenderingMode::alwaysTemplate);
    auto flipped = templated->imageFlippedForRightToLeftLayoutDirection();
    auto inset = flipped->withAlignmentRectInsets({1, 2, 3, 4});

    EXPECT_EQ(original->renderingMode(), ImageRenderingMode::automatic);
    EXPECT_FALSE(original->flipsForRightToLeftLayoutDirection());
    EXPECT_EQ(original->alignmentRectInsets(), EdgeInsets{});
    EXPECT_NE(templated, original);
    EXPECT_EQ(templated->bitmap(), original->bitmap());
    EXPECT_EQ(templated->renderingMode(), ImageRenderingMode::alwaysTemplate);
    EXPECT_FALSE(templated->flipsForRightToLeftLayoutDirection());
    EXPECT_TRUE(flipped->flipsForRightToLeftLayoutDirection());
    EXPECT_EQ(inset->alignmentRectInsets(), (EdgeInsets{1, 2, 3, 4}));
    // Earlier attributes, scale and orientation carry over.
    EXPECT_EQ(inset->renderingMode(), ImageRenderingMode::alwaysTemplate);
    EXPECT_TRUE(inset->flipsForRightToLeftLayoutDirection());
    EXPECT_EQ(inset->scale(), 2);
    EXPECT_EQ(inset->orientation(), ImageOrientation::left);
    EXPECT_EQ(inset->size(), original->size());
}

TEST(Image, AnimatedImageShowsItsFirstFrameAndKeepsTheDuration) {
    auto first = Image::fromBitmap(filled(4, 2, 0xFFFF0000u), 2);
    auto second = Image::fromBitmap(filled(4, 2, 0xFF00FF00u), 2);
    auto animation = Image::animated({first, second}, 1.5);
    ASSERT_TRUE(animation);
    EXPECT_TRUE(animation->isAnimated());
    EXPECT_EQ(animation->frames().size(), 2u);
    EXPECT_EQ(animation->frames()[1], second);
    EXPECT_DOUBLE_EQ(animation->duration(), 1.5);
    EXPECT_EQ(animation->bitmap(), first->bitmap());
    EXPECT_EQ(animation->size(), (Image::Size{2, 1}));
    EXPECT_FALSE(first->isAnimated());
    EXPECT_EQ(Image::animated({}, 1), nullptr);
}

TEST(Image, GifDataGivesItsFirstFrameAsAStillImage) {
    auto image = Image::fromData(testing::fixture("gif/anim-gr.gif"), 2);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->isAnimated());
    EXPECT_EQ(image->size(), (Image::Size{50, 25}));
}

}  // namespace
}  // namespace gfx
