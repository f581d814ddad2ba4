#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "foundation/Print.h"
#include "shell/ImageSeam.h"
#include "pictura/PicturaOptions.h"
#include "shell/SVGImgProcessor.h"
#include "ConsoleLines.h"
#include "gfx/WorkMeter.h"
#include "../../vellum/HostileDocuments.h"

namespace {

foundation::Data pngBytes() {
    std::ifstream file(SORVANE_TEST_FIXTURES "/images/png/basi0g01.png", std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

class SVGProcessor : public ::testing::Test {
protected:
    void TearDown() override { setSVGRenderer(nullptr); }

    SVGImgProcessor processor;
    pictura::PicturaParsedOptionsInfo options;
};

TEST_F(SVGProcessor, identifierStartsAsTheFixedNameAndCanBeChanged) {
    EXPECT_EQ(processor.identifier(), "com.appidentifier.webpprocessor");
    processor.setIdentifier("flags");
    EXPECT_EQ(processor.identifier(), "flags");
}

TEST_F(SVGProcessor, withoutARendererNoDataBecomesAnImage) {
    auto png = pngBytes();
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(processor.process(foundation::Data(), options), nullptr);
    EXPECT_EQ(processor.process(png, options), nullptr);
}

TEST_F(SVGProcessor, dataGoesToTheInstalledRendererAndItsAnswerIsTheResult) {
    std::vector<foundation::Data> rendered;
    auto bitmap = gfx::Image::fromBitmap(gfx::Bitmap::make(4, 3));
    setSVGRenderer([&](const foundation::Data& data,
                       const std::optional<SVGRenderTarget>& target) -> std::shared_ptr<gfx::Image> {
        EXPECT_FALSE(target);
        rendered.push_back(data);
        return data.bytes().empty() || data.bytes().front() != '<' ? nullptr : bitmap;
    });
    auto svg = foundation::Data::fromString("<svg width='4' height='3'/>");

    EXPECT_EQ(processor.process(svg, options), bitmap);
    EXPECT_EQ(processor.process(pngBytes(), options), nullptr);  // bitmap formats are not tried
    EXPECT_EQ(processor.process(foundation::Data(), options), nullptr);
    ASSERT_EQ(rendered.size(), 3u);
    EXPECT_EQ(rendered[0], svg);
}

TEST_F(SVGProcessor, rendersRunNoMoreThanTheBoundAtOnceAndEachEndFreesItsSlot) {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t inside = 0, most = 0;
    bool open = false;
    auto bitmap = gfx::Image::fromBitmap(gfx::Bitmap::make(1, 1));
    setSVGRenderer([&](const foundation::Data& data, const std::optional<SVGRenderTarget>&) -> std::shared_ptr<gfx::Image> {
        std::unique_lock lock(mutex);
        most = std::max(most, ++inside);
        changed.notify_all();
        changed.wait(lock, [&] { return open; });
        --inside;
        // Every other render fails: a null result gives its slot back as well.
        return data.bytes().front() == 'x' ? nullptr : bitmap;
    });
    constexpr int renders = 2 * static_cast<int>(maximumConcurrentSVGRenders) + 2;
    std::atomic<int> asked = 0;
    std::vector<std::shared_ptr<gfx::Image>> results(renders);
    std::vector<std::thread> lanes;
    for (int index = 0; index < renders; ++index) {
        lanes.emplace_back([&, index] {
            const auto data = foundation::Data::fromString(index % 2 ? "x<svg/>" : "<svg/>");
            ++asked;
            results[index] = processor.process(data, options);
        });
    }
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return inside >= maximumConcurrentSVGRenders; });
    }
    // Every lane has asked; the waiting ones get their chance to overstep the bound before any ends.
    while (asked < renders) std::this_thread::yield();
    for (int turn = 0; turn < 1000; ++turn) std::this_thread::yield();
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(inside, maximumConcurrentSVGRenders);
        open = true;
    }
    changed.notify_all();
    // Each render that ends lets a waiting one in, whatever it returned: every lane comes back.
    for (auto& lane : lanes) lane.join();
    EXPECT_EQ(most, maximumConcurrentSVGRenders);
    for (int index = 0; index < renders; ++index) EXPECT_EQ(results[index], index % 2 ? nullptr : bitmap) << index;
}

TEST(SVGProcessorTarget, eachBoxAndScaleHasItsOwnIdentifierAndReachesTheRenderer) {
    const SVGImgProcessor flag({{18.2, 14.3}, 2});
    EXPECT_NE(flag.identifier(), SVGImgProcessor().identifier());
    EXPECT_EQ(flag.identifier().rfind(SVGImgProcessor().identifier(), 0), 0u) << flag.identifier();
    EXPECT_EQ(SVGImgProcessor({{18.2, 14.3}, 2}).identifier(), flag.identifier());
    EXPECT_NE(SVGImgProcessor({{18.2, 14.3}, 3}).identifier(), flag.identifier());
    EXPECT_NE(SVGImgProcessor({{18.2, 14}, 2}).identifier(), flag.identifier());
    EXPECT_NE(SVGImgProcessor({{14.3, 18.2}, 2}).identifier(), flag.identifier());
    // A box that cannot be drawn into falls back to the document's own size under the plain name.
    for (SVGRenderTarget unusable : {SVGRenderTarget{{0, 14}, 2}, SVGRenderTarget{{18, 14}, 0},
                                     SVGRenderTarget{{18, -1}, 2}, SVGRenderTarget{{NAN, 14}, 2}}) {
        SVGImgProcessor processor(unusable);
        EXPECT_EQ(processor.identifier(), SVGImgProcessor().identifier());
        EXPECT_FALSE(processor.target());
    }

    std::optional<SVGRenderTarget> seen;
    setSVGRenderer([&](const foundation::Data&, const std::optional<SVGRenderTarget>& target) {
        seen = target;
        return gfx::Image::fromBitmap(gfx::Bitmap::make(1, 1));
    });
    pictura::PicturaParsedOptionsInfo options;
    EXPECT_NE(flag.process(foundation::Data::fromString("<svg/>"), options), nullptr);
    setSVGRenderer(nullptr);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, (SVGRenderTarget{{18.2, 14.3}, 2}));
}

TEST_F(SVGProcessor, theSVGLibraryFitsTheDocumentInsideTheBoxAtTheScale) {
    installSVGLibraryRenderer();
    // 640 x 480: wider than the 18 x 18 box, so the width decides.
    auto svg = foundation::Data::fromString(
        "<svg xmlns='http://www.w3.org/2000/svg' width='640' height='480' viewBox='0 0 640 480'>"
        "<rect width='640' height='240' fill='#ff0000'/><rect y='240' width='640' height='240' fill='#0000ff'/></svg>");
    auto image = SVGImgProcessor({{18, 18}, 2}).process(svg, options);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->bitmap(), nullptr);
    EXPECT_EQ(image->bitmap()->width, 36);
    EXPECT_EQ(image->bitmap()->height, 27);
    EXPECT_DOUBLE_EQ(image->size().width, 18);
    EXPECT_DOUBLE_EQ(image->size().height, 13.5);
    // The whole document is drawn: red on top, blue at the bottom.
    EXPECT_EQ(image->bitmap()->pixel(18, 2), 0xffff0000u);
    EXPECT_EQ(image->bitmap()->pixel(18, 24), 0xff0000ffu);
    // Without a box the document keeps its own size.
    auto whole = processor.process(svg, options);
    ASSERT_NE(whole, nullptr);
    EXPECT_DOUBLE_EQ(whole->size().width, 640);
}

// A hostile flag holds the one render slot only until its document reaches a work bound of the SVG library
// (parse limits, the selector budget, the render's work meter): the render ends there, with no image. Counts
// that valid drawings reach are not such bounds: a fan of 3^10 symbol copies is a flag.
TEST_F(SVGProcessor, aDocumentReachingAWorkBoundEndsItsRenderWithNoImage) {
    installSVGLibraryRenderer();
    const std::string header = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                               "width='20' height='20'>";
    // Groups nested past the parser's depth limit.
    std::string deep = header;
    for (int level = 0; level < 300; ++level) deep += "<g>";
    deep += "<rect width='20' height='20'/>";
    for (int level = 0; level < 300; ++level) deep += "</g>";
    deep += "</svg>";
    // Entities nobody declared: past the parser's filed XML errors.
    std::string errors = header + "<g class='";
    for (int entity = 0; entity < 200; ++entity) errors += "&a;";
    errors += "'/><rect width='20' height='20'/></svg>";
    for (const std::string& text : {deep, errors}) {
        const auto data = foundation::Data::fromString(text);
        EXPECT_EQ(processor.process(data, options), nullptr) << text.substr(0, 160);
        EXPECT_EQ(SVGImgProcessor({{18, 18}, 2}).process(data, options), nullptr) << text.substr(0, 160);
    }
    const auto ordinary = foundation::Data::fromString(header + "<rect width='20' height='20'/></svg>");
    EXPECT_NE(SVGImgProcessor({{18, 18}, 2}).process(ordinary, options), nullptr);
    {
        // Past its work meter (here one of a layer's work, which the render joins): no image.
        gfx::WorkMeter meter(1'000);
        EXPECT_EQ(processor.process(ordinary, options), nullptr);
        EXPECT_EQ(SVGImgProcessor({{18, 18}, 2}).process(ordinary, options), nullptr);
    }
    const auto fan = foundation::Data::fromString(hostile::symbolFan(10));
    const auto drawn = SVGImgProcessor({{18, 18}, 2}).process(fan, options);
    EXPECT_NE(drawn, nullptr) << "236,000 layers, within the build's count and the render's meter";
}

TEST_F(SVGProcessor, anAlreadyDecodedImageComesBackUnchangedWithOneConsoleLinePerCall) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    foundation::ConsoleCapture console;
    EXPECT_EQ(processor.process(image, options), image);
    EXPECT_EQ(withoutOthersLoads(console.text()), "already an image\n");
    EXPECT_EQ(processor.process(image, options), image);
    EXPECT_EQ(withoutOthersLoads(console.text()), "already an image\nalready an image\n");
}

TEST_F(SVGProcessor, theSVGLibraryTurnsEveryFlagOfTheOfflineSeasonIntoAnImage) {
    const std::filesystem::path flags = std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
    if (!std::filesystem::exists(flags)) GTEST_SKIP() << "no flags in " << flags;
    installSVGLibraryRenderer();
    int rendered = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(flags)) {
        if (entry.path().extension() != ".svg") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        foundation::Data data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
        auto image = processor.process(data, options);
        ASSERT_NE(image, nullptr) << entry.path().filename();
        ASSERT_NE(image->bitmap(), nullptr) << entry.path().filename();
        EXPECT_GT(image->size().width, 0) << entry.path().filename();
        // Something is drawn: not every pixel is transparent.
        const auto& bitmap = *image->bitmap();
        bool painted = false;
        for (int y = 0; y < bitmap.height && !painted; ++y) {
            for (int x = 0; x < bitmap.width && !painted; ++x) painted = (bitmap.pixel(x, y) >> 24) != 0;
        }
        EXPECT_TRUE(painted) << entry.path().filename() << " came out empty";
        ++rendered;
    }
    EXPECT_GE(rendered, 200);
    EXPECT_EQ(processor.process(foundation::Data::fromString("<not svg"), options), nullptr);
}

TEST(RemoteImageSeam, recordsEachRequestWithItsViewAddressAndOptions) {
    takeRecordedImageRequests();
    auto flag = std::make_shared<ui::ImageView>();
    auto headshot = std::make_shared<ui::ImageView>();
    auto svg = std::make_shared<SVGImgProcessor>();

    setRemoteImage(flag, "https://flags.test/nl.svg", {.processor = svg});
    setRemoteImage(headshot, "https://media.test/ver.png");

    auto requests = takeRecordedImageRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].view.lock(), flag);
    EXPECT_EQ(requests[0].url, "https://flags.test/nl.svg");
    EXPECT_EQ(requests[0].options.processor, svg);
    EXPECT_EQ(requests[1].view.lock(), headshot);
    EXPECT_EQ(requests[1].options.processor, nullptr);
    EXPECT_EQ(requests[1].options.placeholder, nullptr);
    EXPECT_TRUE(takeRecordedImageRequests().empty());
}

}  // namespace
