#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "RemoteImageTestSupport.h"
#include "gfx/Bitmap.h"
#include "gfx/ImageEncoder.h"
#include "net/ProtocolRegistry.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/PicturaOptions.h"
#include "shell/ImageSeam.h"
#include "shell/SVGImgProcessor.h"

namespace {

constexpr const char* pictureHost = "pictures.seam.test";

// A host answered in-process: /a.png and /b.png are 6 x 4 PNGs, /flag.svg an SVG document, anything
// else 404. Counts what it is asked.
class ImageSeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto bitmap = gfx::Bitmap::make(6, 4);
        png = *gfx::encodePng(bitmap);
        net::ProtocolRegistry::global()->registerHandler(
            pictureHost, [asked = asked, png = png](const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
                ++*asked;
                const auto path = request.url->path();
                if (path == "/a.png" || path == "/b.png") return net::ProtocolAnswer{net::Response::make(request.url, 200, {}), png};
                if (path == "/flag.svg")
                    return net::ProtocolAnswer{net::Response::make(request.url, 200, {}),
                                               foundation::Data::fromString("<svg width='4' height='3'/>")};
                return net::ProtocolAnswer{net::Response::make(request.url, 404, {}), foundation::Data::fromString("<html/>")};
            });
    }
    void TearDown() override {
        net::ProtocolRegistry::global()->unregisterHandler(pictureHost);
        setSVGRenderer(nullptr);
    }

    static std::string address(const std::string& path) { return std::string("https://") + pictureHost + path; }
    // Until the view no longer waits for a request of the library.
    static bool finished(const std::shared_ptr<ui::ImageView>& view) {
        return imagetest::waitUntil([&] { return !pictura::pc(view).taskIdentifier(); });
    }

    imagetest::TemporaryImageCache images;
    std::shared_ptr<std::atomic<int>> asked = std::make_shared<std::atomic<int>>(0);
    foundation::Data png;
    std::shared_ptr<ui::ImageView> view = std::make_shared<ui::ImageView>();
};

TEST_F(ImageSeamTest, aRequestSetsThePictureThroughTheCachesAndIsRecorded) {
    setRemoteImage(view, address("/a.png"));
    EXPECT_EQ(awaitedImageURL(view), address("/a.png"));
    ASSERT_TRUE(imagetest::waitUntil([&] { return view->image() != nullptr; }));
    EXPECT_EQ(view->image()->pixelWidth(), 6);
    EXPECT_EQ(view->image()->pixelHeight(), 4);
    EXPECT_TRUE(imagetest::waitUntil([&] { return images.cache->imageCachedType(address("/a.png")) != pictura::CacheType::none; }));

    // Another row of the same picture: from memory, at once, without asking the host again.
    auto other = std::make_shared<ui::ImageView>();
    setRemoteImage(other, address("/a.png"));
    ASSERT_TRUE(other->image());
    EXPECT_EQ(*asked, 1);

    auto requests = takeRecordedImageRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].view.lock(), view);
    EXPECT_EQ(requests[1].url, address("/a.png"));
}

TEST_F(ImageSeamTest, aMissingPictureAForeignHostOrABadAddressLeavesThePlaceholder) {
    auto placeholder = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    for (const std::string url : {address("/missing.png"), std::string("https://elsewhere.seam.test/a.png"), std::string("not an address")}) {
        setRemoteImage(view, url, {.processor = nullptr, .placeholder = placeholder});
        ASSERT_TRUE(finished(view)) << url;
        EXPECT_EQ(view->image(), placeholder) << url;
    }
    EXPECT_EQ(*asked, 1) << "only the snapshot's own host is asked";

    // Hosts are let out by the registry the settings name: one that serves nothing lets nothing out.
    auto settings = remoteImageSettings();
    setRemoteImageSettings({.inProcessOnly = std::make_shared<net::ProtocolRegistry>(), .cache = settings.cache});
    setRemoteImage(view, address("/a.png"), {.processor = nullptr, .placeholder = placeholder});
    const bool done = finished(view);
    setRemoteImageSettings(settings);
    ASSERT_TRUE(done);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(*asked, 1);
}

TEST_F(ImageSeamTest, aCancelledRowNeverReceivesThePictureStillLoading) {
    auto team = gfx::Image::fromBitmap(gfx::Bitmap::make(3, 3));
    setRemoteImage(view, address("/b.png"));
    cancelRemoteImage(view);
    view->setImage(team);
    EXPECT_FALSE(awaitedImageURL(view));
    EXPECT_FALSE(pictura::pc(view).taskIdentifier());
    // Whether the load was stopped in time or ends and is stored, the row keeps what it shows now.
    imagetest::waitUntil([&] { return images.cache->imageCachedType(address("/b.png")) != pictura::CacheType::none; }, 0.3);
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.05);
    EXPECT_EQ(view->image(), team);
}

TEST_F(ImageSeamTest, aProcessorsPictureIsCachedUnderItsIdentifier) {
    auto rendered = gfx::Image::fromBitmap(gfx::Bitmap::make(4, 3));
    setSVGRenderer([&](const foundation::Data&, const std::optional<SVGRenderTarget>&) { return rendered; });
    auto processor = std::make_shared<SVGImgProcessor>();
    setRemoteImage(view, address("/flag.svg"), {.processor = processor, .placeholder = nullptr});
    ASSERT_TRUE(imagetest::waitUntil([&] { return view->image() != nullptr; }));
    EXPECT_EQ(view->image()->pixelWidth(), 4);
    EXPECT_TRUE(images.cache->imageCachedType(address("/flag.svg"), processor->identifier()) != pictura::CacheType::none);
    EXPECT_EQ(images.cache->imageCachedType(address("/flag.svg")), pictura::CacheType::none);
}

}  // namespace

namespace {

TEST(ImageMemoryLimit, boundsTheRequestsCacheSoOldPicturesLeaveMemory) {
    imagetest::TemporaryImageCache images;
    ASSERT_TRUE(images.cache);
    const auto& memory = images.cache->memoryStorage();
    // 100 x 100 pictures of 40 000 bytes each: two fit under the bound, the third pushes the oldest out.
    limitImageMemory(100'000);
    EXPECT_EQ(memory->config().totalCostLimit, 100'000);
    pictura::PicturaParsedOptionsInfo options;
    for (const char* key : {"first", "second", "third"})
        images.cache->store(gfx::Image::fromBitmap(gfx::Bitmap::make(100, 100)), std::nullopt, key, options, false);
    EXPECT_EQ(images.cache->imageCachedType("first"), pictura::CacheType::none);
    EXPECT_EQ(images.cache->imageCachedType("second"), pictura::CacheType::memory);
    EXPECT_EQ(images.cache->imageCachedType("third"), pictura::CacheType::memory);

    // A larger bound never loosens a lower one already set.
    limitImageMemory(1'000'000);
    EXPECT_EQ(memory->config().totalCostLimit, 100'000);
    limitImageMemory(50'000);
    EXPECT_EQ(memory->config().totalCostLimit, 50'000);
    EXPECT_EQ(images.cache->imageCachedType("second"), pictura::CacheType::none);
    EXPECT_EQ(images.cache->imageCachedType("third"), pictura::CacheType::memory);
}

}  // namespace
