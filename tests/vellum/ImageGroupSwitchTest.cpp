#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "RenderTestSupport.h"
#include "VellumLogCapture.h"
#include "foundation/Locale.h"
#include "gfx/ImageEncoder.h"
#include "vellum/SVGGroupingElements.h"
#include "vellum/SVGImageElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumFixedContent.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParserExtensions.h"
#include "gfx/Image.h"

namespace {

namespace fs = std::filesystem;
using vellum::SVGImageElement;
using vellum::VellumImage;

std::string base64(const foundation::Data& data) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    const auto& bytes = data.bytes();
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t group = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                    (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return text;
}

// A PNG of `width` x `height` in one opaque colour (ARGB word).
foundation::Data solidPng(int width, int height, std::uint32_t argb) {
    auto bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) std::fill(bitmap.row(y), bitmap.row(y) + width, argb);
    return *gfx::encodePng(bitmap);
}

// The image element's layer in a document of one image.
std::shared_ptr<quartz::Layer> imageLayerOf(VellumImage& image) { return image.layerWithIdentifier("picture"); }

bool showsBrokenImage(const quartz::Layer& layer) {
    return layer.contents() == vellum::VellumGetBrokenImageRepresentation()->bitmap();
}

TEST(ImageElement, aDataLinkOverSeveralLinesLoadsAndIsStoredCleaned) {
    std::string encoded = base64(solidPng(50, 50, 0xff00ff00));
    std::string broken = encoded.substr(0, 20) + "\n   " + encoded.substr(20, 30) + "\r\n\t" + encoded.substr(50);
    auto image = imageOf(svgHeader + R"( width="100" height="50"><image id="picture" width="100" height="50" )" +
                         R"(preserveAspectRatio="none" xlink:href="data:image/png;base64,)" + broken + R"("/></svg>)");
    ASSERT_NE(image, nullptr);
    auto layer = imageLayerOf(*image);
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_EQ(layer->contents()->width, 50);
    EXPECT_EQ(layer->frame(), (gfx::Rect{0, 0, 100, 50}));
    auto element = std::dynamic_pointer_cast<SVGImageElement>(image->DOMTree()->getElementById("picture"));
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->href(), "data:image/png;base64," + encoded);
    EXPECT_EQ(element->viewBox(), vellum::SVGRectMake(0, 0, 50, 50));
}

TEST(ImageElement, meetPlacesThePictureByItsAlignmentAndSliceCutsIt) {
    const std::string link = "data:image/png;base64," + base64(solidPng(50, 50, 0xffff0000));
    const auto frameWith = [&](const std::string& setting) {
        auto image = imageOf(svgHeader + R"( width="200" height="200"><image id="picture" width="100" height="50" )" +
                             "preserveAspectRatio=\"" + setting + "\" href=\"" + link + "\"/></svg>");
        auto layer = image ? imageLayerOf(*image) : nullptr;
        return layer ? layer->frame() : gfx::Rect::null();
    };
    EXPECT_EQ(frameWith("xMidYMid meet"), (gfx::Rect{25, 0, 50, 50}));
    EXPECT_EQ(frameWith("xMinYMid meet"), (gfx::Rect{0, 0, 50, 50}));
    EXPECT_EQ(frameWith("xMaxYMid"), (gfx::Rect{50, 0, 50, 50}));
    EXPECT_EQ(frameWith("none"), (gfx::Rect{0, 0, 100, 50}));

    // A picture with a marked middle band, so the cut part can be recognised.
    auto bitmap = gfx::Bitmap::make(50, 50);
    for (int y = 0; y < 50; ++y) std::fill(bitmap.row(y), bitmap.row(y) + 50, y >= 12 && y < 38 ? 0xff0000ffu : 0xffffffffu);
    auto image = imageOf(svgHeader + R"( width="200" height="200"><image id="picture" width="100" height="50" )" +
                         R"(preserveAspectRatio="xMidYMid slice" href="data:image/png;base64,)" +
                         base64(*gfx::encodePng(bitmap)) + R"("/></svg>)");
    ASSERT_NE(image, nullptr);
    auto layer = imageLayerOf(*image);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->frame(), (gfx::Rect{0, 0, 100, 50}));
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_EQ(layer->contents()->width, 50);
    EXPECT_EQ(layer->contents()->height, 26);  // rows 12 to 38: the middle 50 x 25, rounded outwards
    EXPECT_TRUE(nearPixel(pixelAt(*layer->contents(), 25, 13), (RGBA{0, 0, 255, 255})));
}

TEST(ImageElement, aLinkedSVGDocumentIsDrawnThroughTheLibrary) {
    const std::string inner = svgHeader + R"( width="10" height="10"><rect width="10" height="10" fill="#00ff00"/></svg>)";
    auto image = imageOf(svgHeader + R"( width="40" height="40"><image id="picture" x="10" y="10" width="20" height="20" )" +
                         R"(href="data:image/svg+xml;base64,)" + base64(foundation::Data::fromString(inner)) + R"("/></svg>)");
    ASSERT_NE(image, nullptr);
    auto layer = imageLayerOf(*image);
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_FALSE(showsBrokenImage(*layer));
    EXPECT_EQ(layer->frame(), (gfx::Rect{10, 10, 20, 20}));
    const auto bytes = vellum::VellumExporterNSData::exportAsNSData(*image, true);
    ASSERT_EQ(bytes.size(), 40u * 40 * 4);
    const std::size_t middle = (20 * 40 + 20) * 4;
    EXPECT_EQ(bytes.bytes()[middle + 1], 255);  // green where the nested document lies
    EXPECT_EQ(bytes.bytes()[(2 * 40 + 2) * 4 + 1], 0);
}

TEST(ImageElement, undecodableAndRemoteLinksShowTheBrokenPictureUnlessALoaderIsInstalled) {
    VellumLogCapture log;
    auto garbage = imageOf(svgHeader + R"( width="20" height="20"><image id="picture" width="20" height="20" href="data:image/png;base64,AAAA"/></svg>)");
    ASSERT_NE(garbage, nullptr);
    ASSERT_NE(imageLayerOf(*garbage), nullptr);
    EXPECT_TRUE(showsBrokenImage(*imageLayerOf(*garbage)));

    const std::string remote = svgHeader + R"( width="20" height="20"><image id="picture" width="20" height="20" href="https://images.test/a.png"/></svg>)";
    auto offline = imageOf(remote);
    ASSERT_NE(offline, nullptr);
    EXPECT_TRUE(showsBrokenImage(*imageLayerOf(*offline)));
    EXPECT_FALSE(log.messages().empty());

    std::vector<std::string> asked;
    const auto png = solidPng(4, 4, 0xff0000ff);
    SVGImageElement::setRemoteImageLoader([&](const foundation::URL& url) -> std::optional<foundation::Data> {
        asked.push_back(url.absoluteString());
        return png;
    });
    auto online = imageOf(remote);
    ASSERT_NE(online, nullptr);
    auto layer = imageLayerOf(*online);  // the layers, and so the load, are made here
    SVGImageElement::setRemoteImageLoader(nullptr);
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_EQ(layer->contents()->width, 4);
    EXPECT_EQ(asked, (std::vector<std::string>{"https://images.test/a.png"}));
}

TEST(ImageElement, picturesBeyondThePixelLimitAreNotDecoded) {
    VellumLogCapture log;
    // Only the header counts: a PNG that says 5000 x 5000.
    auto png = solidPng(1, 1, 0xff000000);
    auto& bytes = png.bytes();
    const auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    };
    put(16, 5000);
    put(20, 5000);
    auto image = imageOf(svgHeader + R"( width="20" height="20"><image id="picture" width="20" height="20" href="data:image/png;base64,)" +
                         base64(png) + R"("/></svg>)");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(showsBrokenImage(*imageLayerOf(*image)));
}

// Documents in files, which may link to files beside them.
class LinkedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("vellum-links-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const auto png = solidPng(6, 6, 0xffff0000);
        std::ofstream(folder / "red.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    void TearDown() override { fs::remove_all(folder); }
    void write(const std::string& name, const std::string& text) { std::ofstream(folder / name) << text; }
    static std::string imageDocument(const std::string& link) {
        return svgHeader + R"( width="20" height="20"><image id="picture" width="20" height="20" href=")" + link + R"("/></svg>)";
    }
    fs::path folder;
};

TEST_F(LinkedFiles, aFileDocumentLoadsRelativeLinksButTheSameBytesMayNot) {
    VellumLogCapture log;
    write("page.svg", imageDocument("red.png"));
    auto fromFile = VellumImage::initWithContentsOfFile(folder / "page.svg");
    ASSERT_NE(fromFile, nullptr);
    auto layer = imageLayerOf(*fromFile);
    ASSERT_NE(layer->contents(), nullptr);
    EXPECT_EQ(layer->contents()->width, 6);

    for (const std::string& link : {std::string("red.png"), (folder / "red.png").string(), "file://" + (folder / "red.png").string()}) {
        auto fromBytes = imageOf(imageDocument(link));
        ASSERT_NE(fromBytes, nullptr);
        EXPECT_TRUE(showsBrokenImage(*imageLayerOf(*fromBytes))) << link;
    }
    EXPECT_FALSE(log.messages().empty());
}

TEST_F(LinkedFiles, documentsThatShowThemselvesOrNestTooDeepStop) {
    VellumLogCapture log;
    write("self.svg", imageDocument("self.svg"));
    auto self = VellumImage::initWithContentsOfFile(folder / "self.svg");
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(showsBrokenImage(*imageLayerOf(*self)));

    write("a.svg", imageDocument("b.svg"));
    write("b.svg", imageDocument("a.svg"));
    auto a = VellumImage::initWithContentsOfFile(folder / "a.svg");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(imageLayerOf(*a)->contents(), nullptr);  // b drawn, showing a broken a

    // A chain longer than the limit: each document shows the next one.
    const int chain = SVGImageElement::maximumNestingDepth + 3;
    for (int i = 0; i < chain; ++i) write("c" + std::to_string(i) + ".svg", imageDocument("c" + std::to_string(i + 1) + ".svg"));
    write("c" + std::to_string(chain) + ".svg", svgHeader + R"( width="20" height="20"/>)");
    auto deep = VellumImage::initWithContentsOfFile(folder / "c0.svg");
    ASSERT_NE(deep, nullptr);
    ASSERT_NE(imageLayerOf(*deep)->contents(), nullptr);
    const auto messages = log.messages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.find("nests documents too deep") != std::string::npos;
    }));
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.find("already being drawn") != std::string::npos;
    }));
}

class SwitchElement : public ::testing::Test {
protected:
    void TearDown() override { foundation::Locale::setCurrent(std::nullopt); }
    static std::string document() {
        return svgHeader + R"( width="10" height="10"><switch>
            <rect id="us" systemLanguage="en-US" width="1" height="1"/>
            <rect id="fr" systemLanguage="de, fr" width="1" height="1"/>
            text between
            <rect id="any" width="1" height="1"/><rect id="later" width="1" height="1"/></switch></svg>)";
    }
    static std::vector<std::string> shown(const std::string& locale) {
        foundation::Locale::setCurrent(foundation::Locale(locale));
        auto image = imageOf(document());
        std::vector<std::string> identifiers;
        for (const char* identifier : {"any", "fr", "later", "us"}) {
            if (image->layerWithIdentifier(identifier)) identifiers.push_back(identifier);
        }
        return identifiers;
    }
};

TEST_F(SwitchElement, showsOnlyTheFirstChildThatSuitsTheLanguage) {
    EXPECT_EQ(shown("fr"), (std::vector<std::string>{"fr"}));
    EXPECT_EQ(shown("en_US"), (std::vector<std::string>{"us"}));
    EXPECT_EQ(shown("en_GB.UTF-8"), (std::vector<std::string>{"any"}));
    EXPECT_EQ(vellum::SVGSwitchElement::preferredLanguage(), "en-GB");
}

TEST(GroupElement, isFittedAroundItsChildrenFromTheOriginAndCarriesItsOpacity) {
    auto group = vellum::SVGElement::create<vellum::SVGGroupElement>("group", vellum::Element::AttributeTexts{{"id", "g1"}, {"opacity", "0.25"}});
    vellum::VellumParseResult result;
    group->postProcessAttributesAddingErrorsTo(result);
    EXPECT_DOUBLE_EQ(group->opacity(), 0.25);
    auto layer = group->newLayer();
    EXPECT_EQ(layer->name(), "g1");
    EXPECT_EQ(layer->value<std::string>("SVGElementIdentifier"), "g1");
    EXPECT_DOUBLE_EQ(layer->opacity(), 0.25);

    auto first = quartz::Layer::make();
    first->setFrame({10, 10, 5, 5});
    auto second = quartz::Layer::make();
    second->setFrame({20, 20, 5, 5});
    layer->addSublayer(first);
    layer->addSublayer(second);
    group->layoutLayer(*layer);
    EXPECT_EQ(layer->frame(), (gfx::Rect{0, 0, 25, 25}));
    EXPECT_EQ(first->frame(), (gfx::Rect{10, 10, 5, 5}));
    EXPECT_EQ(second->frame(), (gfx::Rect{20, 20, 5, 5}));

    auto plain = vellum::SVGElement::create<vellum::SVGGroupElement>("group");
    EXPECT_DOUBLE_EQ(plain->opacity(), 1.0);
}

}  // namespace
