#include <gtest/gtest.h>
#include <webp/encode.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "BlankPng.h"
#include "ImageTestSupport.h"
#include "RepeatedScansJpeg.h"
#include "gfx/Image.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageSource.h"

// Records the largest single C++ allocation made while `tracking` is set, to show that a declared
// giant image is refused before its pixels are allocated.
namespace {
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largestAllocation{0};
}  // namespace

void* operator new(std::size_t size) {
    if (tracking && size > largestAllocation) largestAllocation = size;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
// Bitmaps hold their pixels in arrays.
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace gfx {
namespace {

using testing::filled;
using testing::fixture;
using testing::imageFixtures;

std::vector<std::filesystem::path> pngSuite(bool broken) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(imageFixtures() / "png")) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".png" && (name[0] == 'x') == broken) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ImageDecoder, EveryValidPngOfTheSuiteDecodesToItsDeclaredSize) {
    auto files = pngSuite(false);
    ASSERT_GT(files.size(), 140u);
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        auto source = ImageSource::create(testing::readFile(path));
        ASSERT_TRUE(source);
        auto properties = source->propertiesAt(0);
        ASSERT_TRUE(properties);
        auto bitmap = source->frameAt(0);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, properties->pixelWidth);
        EXPECT_EQ(bitmap->height, properties->pixelHeight);
        // The suite's size-test files are named sNN: NN x NN pixels.
        std::string name = path.filename().string();
        if (name[0] == 's' && std::isdigit(name[1])) {
            EXPECT_EQ(bitmap->width, std::stoi(name.substr(1, 2)));
        }
    }
}

TEST(ImageDecoder, EveryBrokenPngFailsCleanly) {
    auto files = pngSuite(true);
    ASSERT_GE(files.size(), 20u);
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        EXPECT_EQ(Image::fromData(testing::readFile(path)), nullptr);
    }
}

TEST(ImageDecoder, InterlacedPngsMatchTheirProgressiveTwins) {
    int compared = 0;
    for (const auto& path : pngSuite(false)) {
        std::string name = path.filename().string();
        if (name.rfind("basi", 0) != 0) continue;
        auto twin = path.parent_path() / ("basn" + name.substr(4));
        if (!std::filesystem::exists(twin)) continue;
        SCOPED_TRACE(name);
        auto interlaced = Image::fromData(testing::readFile(path));
        auto plain = Image::fromData(testing::readFile(twin));
        ASSERT_TRUE(interlaced && plain);
        EXPECT_EQ(interlaced->bitmap()->pixels, plain->bitmap()->pixels);
        ++compared;
    }
    EXPECT_GE(compared, 10);
}

TEST(ImageDecoder, PngGreyPaletteAndTransparencyBecomePremultipliedArgb) {
    auto bits = Image::fromData(fixture("png/basi0g01.png"));  // one-bit grey
    ASSERT_TRUE(bits);
    EXPECT_EQ(bits->bitmap()->pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(bits->bitmap()->pixel(31, 31), 0xFF000000u);

    // tRNS on a palette: the suite's transparent background, opaque foreground.
    auto transparent = ImageSource::create(fixture("png/tbbn3p08.png"));
    ASSERT_TRUE(transparent);
    EXPECT_TRUE(transparent->propertiesAt(0)->hasAlpha);
    auto pixels = transparent->frameAt(0);
    EXPECT_EQ(pixels->pixel(0, 0), 0u);
    int opaque = 0;
    for (int y = 0; y < pixels->height; ++y)
        for (int x = 0; x < pixels->width; ++x) {
            std::uint32_t p = pixels->pixel(x, y);
            opaque += (p >> 24) == 0xFF;
            // Premultiplied: no channel exceeds alpha.
            EXPECT_LE(testing::channel(p, 16), static_cast<int>(p >> 24));
        }
    EXPECT_GT(opaque, 0);

    // The same picture without tRNS is opaque throughout.
    auto solid = Image::fromData(fixture("png/tp0n3p08.png"));
    ASSERT_TRUE(solid);
    for (int y = 0; y < solid->pixelHeight(); ++y)
        for (int x = 0; x < solid->pixelWidth(); ++x) ASSERT_EQ(solid->bitmap()->pixel(x, y) >> 24, 0xFFu);
}

TEST(ImageDecoder, SixteenBitPngsScaleToEightBits) {
    // The suite's 16-bit colour picture has yellow, green, red and blue corners.
    auto wide = Image::fromData(fixture("png/basn2c16.png"));
    ASSERT_TRUE(wide);
    const Bitmap& bitmap = *wide->bitmap();
    EXPECT_EQ(bitmap.pixel(0, 0), 0xFFFFFF00u);
    EXPECT_EQ(bitmap.pixel(31, 0), 0xFF00FF00u);
    EXPECT_EQ(bitmap.pixel(0, 31), 0xFFFF0000u);
    EXPECT_EQ(bitmap.pixel(31, 31), 0xFF0000FFu);
}

TEST(ImageDecoder, JpegFixturesDecodeIncludingCmykAndProgressive) {
    auto cmyk = Image::fromData(fixture("jpeg/jpg-cmyk-1.jpg"));
    auto reference = Image::fromData(fixture("jpeg/jpg-cmyk-1.png"));
    ASSERT_TRUE(cmyk && reference);
    EXPECT_LE(testing::maximumDifference(*cmyk->bitmap(), *reference->bitmap()), 8);

    for (const char* name : {"jpg-progressive.jpg", "jpg-gray.jpg", "restarts.jpg", "jpg-size-1x1.jpg",
                             "jpg-size-33x33.jpg", "grayscale_16x24_sampling2x2.jpg"}) {
        SCOPED_TRACE(name);
        auto source = ImageSource::create(fixture(std::string("jpeg/") + name));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->typeIdentifier(), "public.jpeg");
        auto bitmap = source->frameAt(0);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, source->propertiesAt(0)->pixelWidth);
        EXPECT_EQ(bitmap->pixel(0, 0) >> 24, 0xFFu);
    }
}

TEST(ImageDecoder, CorruptJpegsNeverCrashAndStayWithinBounds) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(imageFixtures() / "jpeg")) {
        if (entry.path().extension() != ".jpg") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        auto image = Image::fromData(testing::readFile(entry.path()));
        if (!image) continue;
        const Bitmap& bitmap = *image->bitmap();
        EXPECT_GT(bitmap.width, 0);
        EXPECT_EQ(bitmap.pixels.size(), static_cast<std::size_t>(bitmap.stride) * bitmap.height);
    }
    EXPECT_GT(files, 50);
    EXPECT_EQ(Image::fromData(fixture("jpeg/empty.jpg")), nullptr);
    EXPECT_EQ(Image::fromData(fixture("jpeg/missing-sos.jpg")), nullptr);
}

TEST(ImageDecoder, TruncatedDataGivesNothingAtEveryCut) {
    auto png = encodePng(testing::pattern(40, 30));
    auto jpeg = encodeJpeg(testing::pattern(40, 30), 0.9);
    auto gif = fixture("gif/sample_1.gif");
    for (const foundation::Data* data : {&*png, &*jpeg, &gif}) {
        for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{20}, data->size() / 2, data->size() - 3}) {
            SCOPED_TRACE(cut);
            EXPECT_EQ(Image::fromData(data->subdata(0, cut)), nullptr);
        }
        EXPECT_NE(Image::fromData(*data), nullptr);
    }
}

TEST(ImageDecoder, JpegWithStrayBytesBetweenSegmentsDecodesAsLibjpegDoes) {
    auto jpeg = encodeJpeg(testing::pattern(40, 30), 0.9);
    ASSERT_TRUE(jpeg);
    std::string bytes(jpeg->view());
    // After the start-of-image marker comes the first segment; stray bytes go right behind it.
    ASSERT_EQ(static_cast<unsigned char>(bytes[2]), 0xFF);
    std::size_t afterFirst = 4 + (static_cast<unsigned char>(bytes[4]) << 8 | static_cast<unsigned char>(bytes[5]));
    ASSERT_EQ(static_cast<unsigned char>(bytes[afterFirst]), 0xFF);
    bytes.insert(afterFirst, "\x12\x34\x00\x56", 4);

    auto original = Image::fromData(*jpeg);
    auto withStrayBytes = Image::fromData(foundation::Data::fromString(bytes));
    ASSERT_TRUE(original);
    ASSERT_TRUE(withStrayBytes);
    EXPECT_EQ(withStrayBytes->pixelWidth(), 40);
    EXPECT_EQ(withStrayBytes->pixelHeight(), 30);
    // Cut short, the same file is still refused.
    EXPECT_EQ(Image::fromData(foundation::Data::fromString(std::string_view(bytes).substr(0, bytes.size() / 2))), nullptr);
}

// Scans are bounded by the blocks they walk, not by their count: a scan of end-of-band runs is a few bytes
// that walk every block again. Twenty scans of a picture decode; a hundred are refused.
TEST(ImageDecoder, ProgressiveJpegScansAreBoundedByTheBlocksTheyWalk) {
    const auto ordinary = Image::fromData(sorvane::testing::repeatedScansJpeg(256, 20));
    ASSERT_TRUE(ordinary);
    EXPECT_EQ(ordinary->bitmap()->pixel(128, 128) & 0xFFFFFFu, 0x808080u);
    EXPECT_EQ(Image::fromData(sorvane::testing::repeatedScansJpeg(256, 100)), nullptr);
    // The picture's blocks, not its components': eight rounds refining a CMYK picture's four walk it 40 times.
    EXPECT_TRUE(Image::fromData(sorvane::testing::repeatedScansCmykJpeg(64, 1)));
    EXPECT_EQ(Image::fromData(sorvane::testing::repeatedScansCmykJpeg(64, 8)), nullptr);
}

// Its coefficients, 8 bytes a pixel for CMYK, count against the limit as pixels beside the bitmap's.
TEST(ImageDecoder, ProgressiveJpegCoefficientsCountAgainstThePixelLimit) {
    const auto cmyk = sorvane::testing::repeatedScansCmykJpeg(64, 1);
    EXPECT_EQ(Image::fromData(cmyk, 1, 3 * 64 * 64), nullptr);
    EXPECT_TRUE(Image::fromData(cmyk, 1, 3 * 64 * 64 + 1));
}

TEST(ImageDecoder, CutProgressiveJpegShowsTheScansThatArrived) {
    foundation::Data full = fixture("jpeg/jpg-progressive.jpg");
    // The prefix before the second start-of-scan holds one whole scan.
    std::size_t second = 0;
    int found = 0;
    for (std::size_t i = 0; i + 1 < full.size() && found < 2; ++i)
        if (full[i] == 0xFF && full[i + 1] == 0xDA && ++found == 2) second = i;
    ASSERT_GT(second, 0u);
    auto coarse = Image::fromData(full.subdata(0, second));
    ASSERT_TRUE(coarse);
    EXPECT_EQ(coarse->pixelWidth(), 32);
}

TEST(ImageDecoder, WebpLossyLosslessAndAlphaDecode) {
    Bitmap picture = testing::pattern(24, 16);
    picture.row(0)[0] = 0x80400000u;  // half-transparent, premultiplied red
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            std::uint8_t straight[4];
            std::uint32_t p = picture.pixel(x, y);
            std::uint32_t a = p >> 24;
            for (int i = 0; i < 3; ++i) straight[i] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, ((p >> (16 - 8 * i)) & 0xFF) * 255 / a));
            straight[3] = static_cast<std::uint8_t>(a);
            rgba.insert(rgba.end(), straight, straight + 4);
        }
    std::uint8_t* output = nullptr;
    std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), 24, 16, 24 * 4, &output);
    ASSERT_GT(size, 0u);
    foundation::Data lossless(output, size);
    WebPFree(output);
    size = WebPEncodeRGB(rgba.data(), 24, 16, 24 * 4, 90, &output);  // stride skips alpha bytes: any colours do
    foundation::Data lossy(output, size);
    WebPFree(output);

    auto exact = ImageSource::create(lossless);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->typeIdentifier(), "org.webmproject.webp");
    EXPECT_TRUE(exact->propertiesAt(0)->hasAlpha);
    auto decoded = exact->frameAt(0);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixel(0, 0), 0x80400000u);
    EXPECT_LE(testing::maximumDifference(*decoded, picture), 1);

    auto approximate = Image::fromData(lossy);
    ASSERT_TRUE(approximate);
    EXPECT_EQ(approximate->pixelWidth(), 24);
    EXPECT_EQ(approximate->bitmap()->pixel(5, 5) >> 24, 0xFFu);
    EXPECT_EQ(Image::fromData(lossless.subdata(0, lossless.size() - 4)), nullptr);
}

// A PNG whose header declares `width` x `height`, followed by a little image data.
foundation::Data pngDeclaring(std::uint32_t width, std::uint32_t height) {
    auto crc = [](const std::vector<std::uint8_t>& bytes, std::size_t from) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (std::size_t i = from; i < bytes.size(); ++i) {
            c ^= bytes[i];
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return ~c;
    };
    auto put32 = [](std::vector<std::uint8_t>& bytes, std::uint32_t v) {
        for (int shift : {24, 16, 8, 0}) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    put32(bytes, 13);
    std::size_t start = bytes.size();
    bytes.insert(bytes.end(), {'I', 'H', 'D', 'R'});
    put32(bytes, width);
    put32(bytes, height);
    bytes.insert(bytes.end(), {8, 6, 0, 0, 0});
    put32(bytes, crc(bytes, start));
    put32(bytes, 0);
    start = bytes.size();
    bytes.insert(bytes.end(), {'I', 'E', 'N', 'D'});
    put32(bytes, crc(bytes, start));
    return foundation::Data(std::move(bytes));
}

TEST(ImageDecoder, BombHeadersAreRefusedBeforeAllocatingPixels) {
    largestAllocation = 0;
    tracking = true;
    auto png = Image::fromData(pngDeclaring(20000, 20000));  // each side allowed, the area is not
    auto wide = Image::fromData(pngDeclaring(1u << 30, 1));
    // GIF: a 65535 x 65535 logical screen with one tiny frame.
    std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0,
                                     0, 0, 0, 255, 255, 255, ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, ';'};
    auto screen = Image::fromData(foundation::Data(gif));
    // JPEG: a baseline header declaring 65000 x 65000.
    auto jpeg = encodeJpeg(filled(8, 8, 0xFF808080u), 0.5);
    tracking = false;
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(png, nullptr);
    EXPECT_EQ(wide, nullptr);
    EXPECT_EQ(screen, nullptr);
    EXPECT_LT(largestAllocation.load(), 16u << 20);

    foundation::Data huge = *jpeg;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge.data()[i + 5] = 0xFD, huge.data()[i + 6] = 0xE8;  // height 65000
            huge.data()[i + 7] = 0xFD, huge.data()[i + 8] = 0xE8;  // width 65000
            break;
        }
    largestAllocation = 0;
    tracking = true;
    auto refused = Image::fromData(huge);
    tracking = false;
    EXPECT_EQ(refused, nullptr);
    EXPECT_LT(largestAllocation.load(), 16u << 20);
}

// Each text inflates to 8 MB: read, the chunks took seconds and hundreds of megabytes.
TEST(ImageDecoder, PngTextChunksAreSkippedUninflated) {
    using sorvane::testing::compressedTextChunk;
    const auto png = sorvane::testing::blankPng(64, 64, 8, 6, std::vector(32, compressedTextChunk(8'000'000)));
    auto source = ImageSource::create(png);
    ASSERT_TRUE(source);
    auto properties = source->propertiesAt(0);
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->pixelHeight, 64);
    auto image = Image::fromData(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 64);
    EXPECT_EQ(image->bitmap()->pixel(10, 10), 0u);
}

TEST(ImageDecoder, AStillWebpThumbnailIsDecodedStraightToItsSize) {
    const Bitmap pixels = filled(2000, 1500, 0xFF3366CCu);
    std::uint8_t* output = nullptr;
    const auto size = WebPEncodeLosslessBGRA(pixels.pixels.data(), 2000, 1500, pixels.stride, &output);
    const foundation::Data webp(output, size);
    WebPFree(output);
    auto source = ImageSource::create(webp);
    ASSERT_TRUE(source);
    largestAllocation = 0;
    tracking = true;
    auto thumbnail = source->thumbnailAt(0, {.maxPixelSize = 100});
    tracking = false;
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 100);
    EXPECT_EQ(thumbnail->height, 75);
    EXPECT_EQ(thumbnail->pixel(50, 40), 0xFF3366CCu);
    // The full picture would take 12 MB.
    EXPECT_LT(largestAllocation.load(), 1u << 20);
}

}  // namespace
}  // namespace gfx
