#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "foundation/Print.h"
#include "shell/ImageSeam.h"
#include "pictura/PicturaOptions.h"
#include "shell/SVGImgProcessor.h"

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
    setSVGRenderer([&](const foundation::Data& data) -> std::shared_ptr<gfx::Image> {
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

TEST_F(SVGProcessor, anAlreadyDecodedImageComesBackUnchangedWithOneConsoleLinePerCall) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    foundation::ConsoleCapture console;
    EXPECT_EQ(processor.process(image, options), image);
    EXPECT_EQ(console.text(), "already an image\n");
    EXPECT_EQ(processor.process(image, options), image);
    EXPECT_EQ(console.text(), "already an image\nalready an image\n");
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
