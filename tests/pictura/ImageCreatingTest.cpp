#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <webp/encode.h>

#include "AllocationWatch.h"
#include "BlankPng.h"
#include "ImageSamples.h"
#include "gfx/ImageEncoder.h"
#include "pictura/ImageCreating.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {
namespace {

using foundation::Data;
using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;

TEST(ImageCreatingTest, preloadedGifFramesLastTheirStoredDelays) {
    const auto data = samples::gif({0.02, 0.01, 0.05});
    auto image = ImageWrapper::image(data, {.scale = 2, .preloadAll = true});
    ASSERT_TRUE(image);
    ASSERT_EQ(image->frames().size(), 3u);
    // 0.01 is not above 0.011, so it lasts the default 0.1.
    EXPECT_NEAR(image->duration(), 0.02 + 0.1 + 0.05, 1e-9);
    EXPECT_EQ(image->frames()[1]->scale(), 2);
    EXPECT_EQ(pc(image).imageFrameCount(), 3);
    EXPECT_EQ(pc(image).animationData()->bytes(), data.bytes());
    EXPECT_FALSE(pc(image).imageSource());

    auto timed = ImageWrapper::image(data, {.duration = 9, .preloadAll = true});
    EXPECT_EQ(timed->duration(), 9);
}

TEST(ImageCreatingTest, frameDurationPrefersTheStoredDelay) {
    gfx::GifFrameProperties properties;
    properties.unclampedDelayTime = 0.02;
    EXPECT_DOUBLE_EQ(GIFAnimatedImage::getFrameDuration(&properties), 0.02);
    properties.unclampedDelayTime = 0.01;
    properties.delayTime = 0.05;
    EXPECT_DOUBLE_EQ(GIFAnimatedImage::getFrameDuration(&properties), 0.1);
    properties.unclampedDelayTime = 0.011;
    EXPECT_DOUBLE_EQ(GIFAnimatedImage::getFrameDuration(&properties), 0.1);
    EXPECT_DOUBLE_EQ(GIFAnimatedImage::getFrameDuration(nullptr), 0.1);
}

TEST(ImageCreatingTest, firstFrameOnlyIsAStillImageThatStillCountsEveryFrame) {
    const auto data = samples::gif({0.1, 0.1, 0.1, 0.1, 0.1});
    auto image = ImageWrapper::image(data, {.preloadAll = true, .onlyFirstFrame = true});
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->isAnimated());
    EXPECT_EQ(pc(image).imageFrameCount(), 5);
    EXPECT_EQ(pc(image).animationData()->bytes(), data.bytes());
    EXPECT_FALSE(pc(image).imageSource());
    EXPECT_EQ(image->bitmap()->pixel(0, 0), (gfx::Color{1, 0, 0, 1}).premultipliedPixel());
}

TEST(ImageCreatingTest, gifNotPreloadedKeepsItsSourceForLaterFrames) {
    const auto data = samples::gif({0.1, 0.2});
    auto image = ImageWrapper::image(data, {});
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->isAnimated());
    ASSERT_TRUE(pc(image).imageSource());
    EXPECT_EQ(pc(image).imageSource()->frameCount(), 2u);
    EXPECT_EQ(pc(image).imageFrameCount(), 2);
    EXPECT_EQ(pc(image).gifRepresentation()->bytes(), data.bytes());
    pc(image).setImageFrameCount(7);
    EXPECT_EQ(pc(image).imageFrameCount(), 7);
    pc(image).setImageFrameCount(std::nullopt);
    EXPECT_FALSE(pc(image).imageFrameCount());
}

TEST(ImageCreatingTest, aGifsBytesAndFrameSourceEndWithItsImage) {
    auto image = ImageWrapper::image(samples::gif({0.1, 0.2}), {});
    ASSERT_TRUE(image);
    std::weak_ptr<gfx::ImageSource> source = pc(image).imageSource();
    ASSERT_FALSE(source.expired());
    image.reset();
    EXPECT_TRUE(source.expired());
}

TEST(ImageCreatingTest, singleFrameGifIsAStillImageAndNoFramesGiveNone) {
    const auto data = samples::gif({0.1});
    for (bool preloadAll : {false, true}) {
        auto image = ImageWrapper::image(data, {.preloadAll = preloadAll});
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->isAnimated());
        EXPECT_FALSE(pc(image).imageSource());
        EXPECT_EQ(pc(image).imageFrameCount(), 1);
        EXPECT_TRUE(pc(image).animationData());
    }
    // Header, a 4 x 3 screen without colour table, and the trailer: no frame at all.
    const Data empty(std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 4, 0, 3, 0, 0, 0, 0, 0x3B});
    for (ImageCreatingOptions options : {ImageCreatingOptions{}, ImageCreatingOptions{.preloadAll = true},
                                         ImageCreatingOptions{.onlyFirstFrame = true}})
        EXPECT_FALSE(ImageWrapper::image(empty, options));
}

TEST(ImageCreatingTest, preloadingRefusesFramesBeyondWhatOneImageMayHold) {
    // Five one-pixel frames in the far corner of an 8000 x 8000 screen: each decodes to the whole
    // screen, five times about a quarter of the largest picture.
    std::vector<gfx::GifFrame> frames(
        5, gfx::GifFrame{.bitmap = samples::filled(1, 1, {1, 0, 0, 1}), .left = 7999, .top = 7999});
    const auto data = *gfx::encodeGif(frames, 8000, 8000);
    auto source = gfx::ImageSource::create(data);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->propertiesAt(0)->pixelWidth, 8000);
    EXPECT_FALSE(ImageWrapper::image(data, {.preloadAll = true}));
}

TEST(ImageCreatingTest, stillFormatsCarryNoAnimationValues) {
    const auto png = *gfx::encodePng(samples::coordinates(5, 5));
    auto image = ImageWrapper::image(png, {.scale = 3});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_FALSE(pc(image).animationData());
    EXPECT_FALSE(pc(image).imageFrameCount());
    EXPECT_FALSE(pc(image).imageSource());
    EXPECT_FALSE(ImageWrapper::image(Data::fromString("not an image at all"), {}));
}

TEST(ImageCreatingTest, bytesOfAnUnknownFormatStillGoToTheDecoder) {
    const auto pixels = samples::coordinates(6, 5);
    std::uint8_t* output = nullptr;
    const auto size = WebPEncodeLosslessBGRA(pixels.pixels.data(), 6, 5, pixels.stride, &output);
    ASSERT_GT(size, 0u);
    const Data webp(output, size);
    WebPFree(output);
    ASSERT_EQ(pc(webp).imageFormat(), ImageFormat::unknown);
    auto image = ImageWrapper::image(webp, {.scale = 2});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmap()->pixels, pixels.pixels);
    EXPECT_EQ(image->scale(), 2);
}

TEST(ImageCreatingTest, downsamplingDecodesStraightToTheCoveringPixelSize) {
    const auto jpeg = *gfx::encodeJpeg(samples::filled(4000, 3000, {0.2, 0.4, 0.6, 1}), 0.8);
    auto image = ImageWrapper::downsampledImage(jpeg, {100, 100}, 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 200);
    EXPECT_EQ(image->pixelHeight(), 150);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), (gfx::Size{100, 75}));
    EXPECT_FALSE(ImageWrapper::downsampledImage(Data::fromString("garbage bytes here"), {10, 10}, 1));
    // Sizes that are not finite never enlarge the picture nor break it.
    auto unbounded = ImageWrapper::downsampledImage(jpeg, {INFINITY, 1}, 1);
    ASSERT_TRUE(unbounded);
    EXPECT_EQ(unbounded->pixelWidth(), 4000);
}

// Every picture of the corpus, broken ones included, is either decoded or refused: never a crash, and
// a refusal reads as a processing failure.
TEST(ImageCreatingTest, everyCorpusImageDecodesOrIsRefused) {
    const auto root = std::filesystem::path(SORVANE_TEST_FIXTURES) / "images";
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "no image corpus at " << root;
    int decoded = 0, refused = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const Data data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
        const auto name = entry.path().filename().string();
        SCOPED_TRACE(name);
        for (ImageCreatingOptions options : {ImageCreatingOptions{}, ImageCreatingOptions{.preloadAll = true},
                                             ImageCreatingOptions{.onlyFirstFrame = true}}) {
            auto image = ImageWrapper::image(data, options);
            if (image) {
                ASSERT_TRUE(image->bitmap());
                EXPECT_GT(image->size().width, 0);
                EXPECT_GT(image->size().height, 0);
            }
        }
        if (auto thumbnail = ImageWrapper::downsampledImage(data, {8, 8}, 2))
            EXPECT_LE(std::max(thumbnail->pixelWidth(), thumbnail->pixelHeight()), 16);

        PicturaParsedOptionsInfo options;
        auto processor = std::make_shared<const BlurImageProcessor>(1);
        auto image = processor->process(data, options);
        if (image) {
            ++decoded;
        } else {
            ++refused;
            auto error = PicturaError::processorError(PicturaError::ProcessingFailed{processor, data});
            EXPECT_NE(error.errorDescription().value_or("").find("Processing image failed"), std::string::npos);
        }
        // The broken files of the PNG suite start with "x"; the others are valid.
        if (entry.path().extension() == ".png" && name.starts_with("x")) EXPECT_FALSE(image);
        if (entry.path().extension() == ".png" && (name.starts_with("bas") || name.starts_with("tb")))
            EXPECT_TRUE(image);
    }
    EXPECT_GT(decoded, 150);
    EXPECT_GT(refused, 10);
}

}  // namespace
}  // namespace pictura

namespace pictura {
namespace {

// PNG chunks made by hand: the encoder writes none of the colour chunks.
std::uint32_t crc32Of(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string bigEndian(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string chunk(const std::string& type, const std::string& data) {
    return bigEndian(static_cast<std::uint32_t>(data.size())) + type + data + bigEndian(crc32Of(type + data));
}

// A zlib stream of one stored block.
std::string storedZlib(const std::string& data) {
    std::uint32_t a = 1, b = 0;
    for (const unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const auto length = static_cast<std::uint16_t>(data.size());
    std::string stream = {'\x78', '\x01', '\x01', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8),
                          static_cast<char>(~length & 0xFF), static_cast<char>((~length >> 8) & 0xFF)};
    return stream + data + bigEndian((b << 16) | a);
}

// The smallest RGB display profile the reader takes: a header and no tags.
std::string rgbProfile() {
    std::string profile(132, '\0');
    profile.replace(0, 4, bigEndian(132));
    profile.replace(8, 4, bigEndian(0x02100000));
    profile.replace(12, 4, "mntr");
    profile.replace(16, 4, "RGB ");
    profile.replace(20, 4, "XYZ ");
    profile.replace(36, 4, "acsp");
    // The D50 illuminant, in s15.16.
    profile.replace(68, 12, bigEndian(0x0000F6D6) + bigEndian(0x00010000) + bigEndian(0x0000D32D));
    return profile;
}

// A grey PNG of `level` with the chunks put right after its header.
foundation::Data greyPng(std::uint8_t level, const std::string& chunks) {
    auto bitmap = gfx::Bitmap::make(4, 4);
    for (int y = 0; y < 4; ++y)
        std::fill_n(bitmap.row(y), 4, 0xFF000000u | level << 16 | level << 8 | level);
    auto bytes = gfx::encodePng(bitmap)->toString();
    bytes.insert(8 + 8 + 13 + 4, chunks);
    return foundation::Data::fromString(bytes);
}

int redOf(const foundation::Data& png) {
    auto image = PicturaWrapper<std::shared_ptr<gfx::Image>>::image(png, {});
    if (!image || !image->bitmap()) return -1;
    return static_cast<int>((image->bitmap()->pixel(1, 1) >> 16) & 0xFF);
}

TEST(PngGammaTest, aGammaChunkIsHonouredUnlessAProfileOrSRGBChunkNamesTheEncoding) {
    const auto linear = chunk("gAMA", bigEndian(100000));
    EXPECT_EQ(redOf(greyPng(128, "")), 128);
    // Linear samples shown on an sRGB screen: 255 x (128 / 255) ^ (1 / 2.2).
    EXPECT_NEAR(redOf(greyPng(128, linear)), 186, 1);
    EXPECT_NEAR(redOf(greyPng(128, chunk("gAMA", bigEndian(45455)))), 128, 1);
    EXPECT_EQ(redOf(greyPng(0, linear)), 0);
    EXPECT_EQ(redOf(greyPng(255, linear)), 255);
    EXPECT_EQ(redOf(greyPng(128, chunk("sRGB", std::string(1, '\0')) + linear)), 128);
    EXPECT_EQ(redOf(greyPng(128, chunk("iCCP", std::string("test profile") + '\0' + '\0' + storedZlib(rgbProfile())) +
                                     linear)),
              128);
}

foundation::Data fixtureBytes(const std::string& name) {
    std::ifstream file(std::filesystem::path(SORVANE_TEST_FIXTURES) / "images" / name, std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

TEST(DecodeBudgetTest, anOversizeTextChunkIsSkippedWithoutAllocatingWhatItAnnounces) {
    if (!testing::AllocationWatch::available()) GTEST_SKIP() << "allocations are reported by sanitizer builds only";
    // 41 bytes: a header, then a text chunk that says it holds 1.5 GB.
    const auto bytes = fixtureBytes("png/x_itxt-oversize-chunk.png");
    ASSERT_EQ(bytes.size(), 41u);
    testing::AllocationWatch watch;
    EXPECT_FALSE(PicturaWrapper<std::shared_ptr<gfx::Image>>::image(bytes, {}));
    EXPECT_LT(watch.largestAllocation(), 64u * 1024 * 1024);
}

TEST(DecodeBudgetTest, aShortFileAnnouncingAHugePictureIsRefusedBeforeItsPixelsAreAllocated) {
    if (!testing::AllocationWatch::available()) GTEST_SKIP() << "allocations are reported by sanitizer builds only";
    // A 258-byte progressive JPEG cut after its first scan header, a 260 KB PNG whose deflated rows
    // could never fill 16384 x 16384 RGBA pixels (it would need 1 MB at the least), and a 66-byte
    // lossless WebP whose container says 4 KB follow.
    for (const auto* name : {"jpeg/bomb-progressive-16384.jpg", "png/x_bomb-16384-rgba.png",
                             "webp/cut-lossless-16144x16383.webp"}) {
        const auto bytes = fixtureBytes(name);
        ASSERT_GT(bytes.size(), 0u) << name;
        testing::AllocationWatch watch;
        EXPECT_FALSE(PicturaWrapper<std::shared_ptr<gfx::Image>>::image(bytes, {})) << name;
        EXPECT_LT(watch.largestAllocation(), 64u * 1024 * 1024) << name;
    }
    // A whole picture still decodes, and so does a progressive one cut after its first scans.
    const auto progressive = fixtureBytes("jpeg/jpg-progressive.jpg");
    EXPECT_TRUE(PicturaWrapper<std::shared_ptr<gfx::Image>>::image(progressive, {}));
    EXPECT_TRUE(PicturaWrapper<std::shared_ptr<gfx::Image>>::image(progressive.subdata(0, progressive.size() / 2), {}));
}

TEST(DecodeBudgetTest, aOneBitPictureOfSixtyFourMegapixelsIsRefusedByDefaultBeforeItsBitmap) {
    // 8 KB of PNG for 8,000 x 8,000 pixels, a 256 MB bitmap.
    const auto bytes = sorvane::testing::blankPng(8000, 8000, 1, 0);
    ASSERT_LT(bytes.size(), 16u * 1024);
    testing::AllocationWatch watch;
    EXPECT_FALSE(DefaultImageProcessor::defaultProcessor()->process(bytes, PicturaParsedOptionsInfo()));
    if (testing::AllocationWatch::available()) EXPECT_LT(watch.largestAllocation(), 16u * 1024 * 1024);
}

Data encodedWebp(const gfx::Bitmap& pixels) {
    std::uint8_t* output = nullptr;
    const auto size = WebPEncodeLosslessBGRA(pixels.pixels.data(), pixels.width, pixels.height, pixels.stride, &output);
    Data webp(output, size);
    WebPFree(output);
    return webp;
}

TEST(DecodeBudgetTest, thePixelLimitRefusesEveryFormatFromItsHeaderAndEveryFrameCounts) {
    const auto pixels = samples::coordinates(40, 30);
    const std::vector<std::pair<std::string, Data>> pictures{
        {"PNG", *gfx::encodePng(pixels)},
        {"JPEG", *gfx::encodeJpeg(pixels, 0.9)},
        {"progressive JPEG", fixtureBytes("jpeg/jpg-progressive.jpg")},
        {"WebP", encodedWebp(pixels)},
        {"GIF of two frames", samples::gif({0.1, 0.2}, 30, 20)},
    };
    for (const auto& [name, bytes] : pictures) {
        auto source = gfx::ImageSource::create(bytes);
        ASSERT_TRUE(source) << name;
        const auto properties = *source->propertiesAt(0);
        // A progressive JPEG's coefficients count too, as pixels of four bytes.
        const std::int64_t all = std::int64_t(source->frameCount()) * properties.pixelWidth * properties.pixelHeight +
                                 (name == "progressive JPEG" ? properties.workingBytes / 4 : 0);
        for (ImageCreatingOptions options : {ImageCreatingOptions{}, ImageCreatingOptions{.preloadAll = true},
                                             ImageCreatingOptions{.onlyFirstFrame = true}}) {
            options.pixelLimit = all;
            EXPECT_FALSE(ImageWrapper::image(bytes, options)) << name;
            options.pixelLimit = all + 1;
            EXPECT_TRUE(ImageWrapper::image(bytes, options)) << name;
        }
    }
}

TEST(DecodeBudgetTest, downsamplingDecodesSmallWhereTheDecoderCanAndIsRefusedWhereItCannot) {
    // 120,000 pixels asked for at 50 x 50 within a limit of 10,000.
    const auto pixels = samples::coordinates(400, 300);
    const auto small = [&](const Data& bytes) { return ImageWrapper::downsampledImage(bytes, {50, 50}, 1, 10'000); };
    // JPEG decodes at an eighth, WebP straight to the size.
    for (const auto& bytes : {*gfx::encodeJpeg(pixels, 0.9), encodedWebp(pixels)}) {
        auto image = small(bytes);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), 50);
        EXPECT_EQ(image->pixelHeight(), 38);
    }
    // PNG has no smaller decoding, and progressive JPEG holds the whole picture's coefficients: they alone
    // reach a limit of their bytes over four.
    EXPECT_FALSE(small(*gfx::encodePng(pixels)));
    const auto progressive = fixtureBytes("jpeg/jpg-progressive.jpg");
    const auto properties = *gfx::ImageSource::create(progressive)->propertiesAt(0);
    ASSERT_GT(properties.workingBytes, 0);
    EXPECT_FALSE(ImageWrapper::downsampledImage(progressive, {8, 8}, 1, properties.workingBytes / 4));
}

}  // namespace
}  // namespace pictura
