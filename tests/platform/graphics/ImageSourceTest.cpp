#include <gtest/gtest.h>

#include "TestSeed.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <utility>

#include "ImageTestSupport.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageSource.h"

namespace gfx {
namespace {

using testing::filled;
using testing::fixture;

constexpr std::uint32_t red = 0xFFFF0000u;
constexpr std::uint32_t green = 0xFF00FF00u;
constexpr std::uint32_t blue = 0xFF0000FFu;
constexpr std::uint32_t white = 0xFFFFFFFFu;
constexpr std::uint32_t clear = 0;

// Four frames on a 4 x 4 screen exercising each disposal method.
foundation::Data disposalGif() {
    Bitmap corner = filled(2, 1, white);
    corner.row(0)[0] = clear;
    std::vector<GifFrame> frames = {
        {filled(4, 4, red), 0, 0, 0.0, GifDisposal::keep},
        {filled(2, 2, blue), 0, 0, 0.01, GifDisposal::background},
        {filled(2, 2, green), 2, 2, 0.02, GifDisposal::previous},
        {corner, 2, 0, 0.5, GifDisposal::unspecified},
    };
    return *encodeGif(frames, 4, 4, 3);
}

// Rows of a small bitmap, for readable expectations.
std::vector<std::vector<std::uint32_t>> rows(const Bitmap& bitmap) {
    std::vector<std::vector<std::uint32_t>> result;
    for (int y = 0; y < bitmap.height; ++y) result.emplace_back(bitmap.row(y), bitmap.row(y) + bitmap.width);
    return result;
}

TEST(ImageSource, GifFramesCompositeWithEachDisposalMethod) {
    auto source = ImageSource::create(disposalGif());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->typeIdentifier(), "com.compuserve.gif");
    ASSERT_EQ(source->frameCount(), 4u);
    using Rows = std::vector<std::vector<std::uint32_t>>;
    Rows expected[4] = {
        {{red, red, red, red}, {red, red, red, red}, {red, red, red, red}, {red, red, red, red}},
        {{blue, blue, red, red}, {blue, blue, red, red}, {red, red, red, red}, {red, red, red, red}},
        {{clear, clear, red, red}, {clear, clear, red, red}, {red, red, green, green}, {red, red, green, green}},
        {{clear, clear, red, white}, {clear, clear, red, red}, {red, red, red, red}, {red, red, red, red}},
    };
    for (std::size_t i : {0, 1, 2, 3, 1, 3, 2, 0}) {  // out of order too: the compositor restarts as needed
        SCOPED_TRACE(i);
        auto frame = source->frameAt(i);
        ASSERT_TRUE(frame);
        EXPECT_EQ(rows(*frame), expected[i]);
    }
    EXPECT_EQ(source->frameAt(4), nullptr);
}

TEST(ImageSource, GifDelaysAreClampedAsThePlatformDoes) {
    auto source = ImageSource::create(disposalGif());
    ASSERT_TRUE(source);
    double unclamped[4] = {0.0, 0.01, 0.02, 0.5};
    double clamped[4] = {0.1, 0.1, 0.02, 0.5};
    for (std::size_t i = 0; i < 4; ++i) {
        auto properties = source->propertiesAt(i);
        ASSERT_TRUE(properties && properties->gif);
        EXPECT_DOUBLE_EQ(properties->gif->unclampedDelayTime, unclamped[i]);
        EXPECT_DOUBLE_EQ(properties->gif->delayTime, clamped[i]);
        EXPECT_EQ(properties->gif->loopCount, 3);
        EXPECT_EQ(properties->pixelWidth, 4);
    }
    EXPECT_FALSE(source->propertiesAt(4));

    auto fixtureSource = ImageSource::create(fixture("gif/anim-gr.gif"));
    ASSERT_TRUE(fixtureSource);
    EXPECT_EQ(fixtureSource->frameCount(), 2u);
    EXPECT_DOUBLE_EQ(fixtureSource->propertiesAt(0)->gif->unclampedDelayTime, 0.01);
    EXPECT_DOUBLE_EQ(fixtureSource->propertiesAt(0)->gif->delayTime, 0.1);
}

TEST(ImageSource, GifFixturesDecodeAndBrokenOnesFailCleanly) {
    auto interlaced = ImageSource::create(fixture("gif/interlaced.gif"));
    ASSERT_TRUE(interlaced);
    auto frame = interlaced->frameAt(0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 540);
    EXPECT_EQ(frame->height, 330);

    auto alpha = ImageSource::create(fixture("gif/alpha_gif_a.gif"));
    ASSERT_TRUE(alpha);
    EXPECT_TRUE(alpha->propertiesAt(0)->hasAlpha);
    EXPECT_EQ(alpha->frameAt(0)->pixel(0, 255), clear);

    for (const char* name : {"issue-101-infinite-empty-loop.gif", "issue-117-out-of-range.gif",
                             "issue-96-small-codesize.gif", "issue-96-small-codesize-2.gif"}) {
        SCOPED_TRACE(name);
        auto broken = ImageSource::create(fixture(std::string("gif/") + name));
        EXPECT_TRUE(!broken || broken->frameCount() == 0 || broken->frameAt(0));
    }
}

// A GIF of one 1 x 1 frame (palette black and white, the pixel white) at (left, top) on a screen of
// the given size; 35 bytes.
foundation::Data tinyFrameOnScreen(std::uint16_t width, std::uint16_t height, std::uint16_t left = 0,
                                   std::uint16_t top = 0) {
    auto low = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    auto high = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
    std::vector<std::uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a', low(width), high(width), low(height), high(height),
                                       0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF,
                                       ',', low(left), high(left), low(top), high(top), 1, 0, 1, 0, 0,
                                       2, 2, 0x4C, 0x01, 0, ';'};  // codes: clear, 1, end
    return foundation::Data(std::move(bytes));
}

// Found by fuzzing: 35 bytes declaring a 16384 x 16384 screen made the decoder allocate a 1 GiB canvas
// (and copy it once more) for a single pixel.
TEST(ImageSource, GifCanvasCoversOnlyWhatItsFramesReach) {
    auto source = ImageSource::create(tinyFrameOnScreen(16384, 16384));
    ASSERT_TRUE(source);
    EXPECT_EQ(source->propertiesAt(0)->pixelWidth, 1);
    EXPECT_EQ(source->propertiesAt(0)->pixelHeight, 1);
    auto frame = source->frameAt(0);
    ASSERT_TRUE(frame);
    EXPECT_EQ(rows(*frame), (std::vector<std::vector<std::uint32_t>>{{white}}));

    // The same pixel far into the screen still needs the canvas up to it: over budget, refused.
    EXPECT_EQ(ImageSource::create(tinyFrameOnScreen(16384, 16384, 16000, 16000)), nullptr);
    // Within the budget the pixel keeps its place, the rest of the canvas transparent.
    auto placed = ImageSource::create(tinyFrameOnScreen(16384, 16384, 2, 1));
    ASSERT_TRUE(placed);
    EXPECT_EQ(rows(*placed->frameAt(0)), (std::vector<std::vector<std::uint32_t>>{{clear, clear, clear},
                                                                                 {clear, clear, white}}));
}

TEST(ImageSource, GifFramesAreHandedOutWithoutCopiesAndStayAsShown) {
    auto source = ImageSource::create(disposalGif());
    ASSERT_TRUE(source);
    auto first = source->frameAt(0);
    EXPECT_EQ(source->frameAt(0), first);  // the canvas itself, not a copy of it
    std::vector<std::shared_ptr<const Bitmap>> held = {first};
    for (std::size_t i = 1; i < 4; ++i) held.push_back(source->frameAt(i));
    // Drawing the later frames left each frame already handed out as it was shown.
    EXPECT_EQ(held[0]->pixel(0, 0), red);
    EXPECT_EQ(held[1]->pixel(0, 0), blue);
    EXPECT_EQ(held[2]->pixel(0, 0), clear);
    EXPECT_EQ(held[2]->pixel(3, 3), green);
    EXPECT_EQ(held[3]->pixel(3, 0), white);
    EXPECT_EQ(held[3]->pixel(3, 3), red);
}

// Random animations, whole or cut: walked from the header they have the frames and size a whole decode finds,
// and their first frame alone decodes to the same pixels within a limit one frame fits.
TEST(ImageSource, GifWalkedAgreesWithGifDecoded) {
    const unsigned seed = sorvane::testing::testSeed(20261210);
    std::mt19937 random(seed);
    for (int round = 0; round < 40; ++round) {
        std::vector<GifFrame> frames(1 + random() % 4);
        for (auto& frame : frames)
            frame = {filled(1 + int(random() % 12), 1 + int(random() % 12), random() % 2 ? red : blue),
                     int(random() % 8), int(random() % 8), 0.1, GifDisposal(random() % 4)};
        const foundation::Data whole = *encodeGif(frames, 4 + int(random() % 16), 4 + int(random() % 16));
        const foundation::Data data = whole.subdata(0, whole.size() - random() % (whole.size() / 2));
        auto decoded = ImageSource::create(data);
        auto walked = ImageSource::create(data, unlimitedPixels, 0);
        ASSERT_EQ(bool(decoded), bool(walked)) << "seed " << seed;
        if (!decoded || decoded->frameCount() == 0) continue;
        ASSERT_EQ(walked->frameCount(), decoded->frameCount()) << "seed " << seed;
        const auto size = *decoded->propertiesAt(0);
        const auto walkedSize = *walked->propertiesAt(0);
        EXPECT_EQ(std::pair(walkedSize.pixelWidth, walkedSize.pixelHeight), std::pair(size.pixelWidth, size.pixelHeight));
        auto first = ImageSource::create(data, std::int64_t{size.pixelWidth} * size.pixelHeight + 144, 1);
        ASSERT_TRUE(first && !walked->frameAt(0) && (decoded->frameCount() == 1 || !first->frameAt(1))) << "seed " << seed;
        EXPECT_EQ(rows(*first->frameAt(0)), rows(*decoded->frameAt(0))) << "seed " << seed;
    }
}

TEST(ImageSource, GifCutMidwayKeepsTheFramesThatArrivedWhole) {
    foundation::Data data = disposalGif();
    int previous = 4;
    for (std::size_t cut = data.size(); cut > 0; cut -= std::min<std::size_t>(cut, 7)) {
        auto source = ImageSource::create(data.subdata(0, cut));
        int count = source ? static_cast<int>(source->frameCount()) : 0;
        EXPECT_LE(count, previous);
        previous = count;
        for (int i = 0; i < count; ++i) EXPECT_TRUE(source->frameAt(i));
    }
    EXPECT_EQ(previous, 0);
}

TEST(ImageSource, DetectsTypesFromTheFirstBytes) {
    using namespace std::string_view_literals;
    auto bytes = [](std::string_view text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    EXPECT_EQ(detectImageType(bytes("\x89PNG\r\n\x1a\nrest")), ImageType::png);
    EXPECT_EQ(detectImageType(bytes("\xFF\xD8\xFF\xE0")), ImageType::jpeg);
    EXPECT_EQ(detectImageType(bytes("GIF89a")), ImageType::gif);
    EXPECT_EQ(detectImageType(bytes("RIFF\0\0\0\0WEBPVP8 "sv)), ImageType::webp);
    EXPECT_EQ(detectImageType(bytes("RIFF\0\0\0\0WAVE"sv)), std::nullopt);
    EXPECT_EQ(detectImageType(bytes("\xFF\xD8\xFE")), std::nullopt);
    EXPECT_EQ(ImageSource::create(foundation::Data::fromString("not an image at all")), nullptr);
}

TEST(ImageSource, ThumbnailsBoundTheLongestSideAndApplyTheOrientation) {
    // 40 x 20, left half red and right half blue.
    Bitmap picture = filled(40, 20, red);
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x) picture.row(y)[x] = blue;
    auto source = ImageSource::create(*encodePng(picture));
    ASSERT_TRUE(source);
    auto small = source->thumbnailAt(0, {.maxPixelSize = 10});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 10);
    EXPECT_EQ(small->height, 5);
    EXPECT_EQ(small->pixel(0, 2), red);
    EXPECT_EQ(small->pixel(9, 2), blue);

    auto unbounded = source->thumbnailAt(0, {});
    EXPECT_EQ(unbounded->width, 40);
    auto notEnlarged = source->thumbnailAt(0, {.maxPixelSize = 400});
    EXPECT_EQ(notEnlarged->width, 40);
    // Bounds too large to round into an integer keep the whole picture too.
    for (double huge : {1e300, std::numeric_limits<double>::infinity()}) {
        auto whole = source->thumbnailAt(0, {.maxPixelSize = huge});
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->width, 40);
    }

    auto jpeg = encodeJpeg(testing::pattern(400, 300), 0.8);
    auto large = ImageSource::create(*jpeg);
    auto thumbnail = large->thumbnailAt(0, {.maxPixelSize = 100, .withTransform = true});
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 100);
    EXPECT_EQ(thumbnail->height, 75);
    EXPECT_EQ(large->thumbnailAt(3, {.maxPixelSize = 100}), nullptr);
}

TEST(ImageSource, IncrementalSourceAnswersWithWhatHasArrived) {
    foundation::Data progressive = fixture("jpeg/jpg-progressive.jpg");
    foundation::Data baseline = *encodeJpeg(testing::pattern(32, 32), 0.9);
    auto source = ImageSource::createIncremental();
    EXPECT_EQ(source->status(), ImageSourceStatus::incomplete);
    EXPECT_EQ(source->frameCount(), 0u);
    EXPECT_EQ(source->type(), std::nullopt);

    source->update(baseline.subdata(0, baseline.size() - 100), false);
    EXPECT_EQ(source->type(), ImageType::jpeg);
    ASSERT_TRUE(source->propertiesAt(0));
    EXPECT_EQ(source->propertiesAt(0)->pixelWidth, 32);
    EXPECT_EQ(source->frameAt(0), nullptr);  // half a baseline scan is not shown

    auto progressiveSource = ImageSource::createIncremental();
    progressiveSource->update(progressive.subdata(0, progressive.size() * 2 / 3), false);
    EXPECT_TRUE(progressiveSource->frameAt(0));  // the scans so far, coarse
    progressiveSource->update(progressive, true);
    EXPECT_EQ(progressiveSource->status(), ImageSourceStatus::complete);
    auto complete = ImageSource::create(progressive);
    EXPECT_EQ(progressiveSource->frameAt(0)->pixels, complete->frameAt(0)->pixels);

    source->update(foundation::Data::fromString("garbage that will never be an image"), true);
    EXPECT_EQ(source->status(), ImageSourceStatus::invalid);
}

}  // namespace
}  // namespace gfx
