#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <fstream>
#include <string>

#include "RenderTestSupport.h"
#include "VellumLogCapture.h"
#include "dispatch/RunLoop.h"
#include "foundation/NotificationCenter.h"
#include "gfx/Image.h"
#include "systemlog/RecordingSystemLog.h"
#include "ui/Application.h"
#include "ui/MemoryPressureMonitor.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSource.h"
#include "vellum/VellumSourceString.h"

namespace {

namespace fs = std::filesystem;
using vellum::VellumImage;

bool anyContains(const std::vector<std::string>& messages, std::string_view part) {
    return std::any_of(messages.begin(), messages.end(), [&](const std::string& m) { return m.find(part) != std::string::npos; });
}

// What the platform's own log is given while alive.
class PlatformLogCapture {
public:
    PlatformLogCapture() { systemlog::SystemLog::setCurrent(recording_); }
    ~PlatformLogCapture() { systemlog::SystemLog::setCurrent(nullptr); }
    std::vector<std::string> texts() const {
        std::vector<std::string> texts;
        for (const auto& entry : recording_->unifiedEntries()) texts.push_back(entry.text);
        return texts;
    }

private:
    std::shared_ptr<systemlog::RecordingSystemLog> recording_ = std::make_shared<systemlog::RecordingSystemLog>();
};

// A folder of SVG files for the name cache, removed afterwards.
class NamedImages : public ::testing::Test {
protected:
    void SetUp() override {
        VellumImage::clearCache();
        folder = fs::temp_directory_path() / ("vellum-named-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::ofstream(folder / "square.svg") << svgHeader << R"( width="8" height="6"><rect width="8" height="6" fill="red"/></svg>)";
        std::ofstream(folder / "broken.svg") << "not xml at all";
    }
    void TearDown() override {
        VellumImage::clearCache();
        fs::remove_all(folder);
    }
    fs::path folder;
};

TEST(VellumImageCreation, sizeComesFromWidthAndHeightElseFromTheViewBox) {
    auto sized = imageOf(svgHeader + R"( width="30" height="20" viewBox="0 0 3 2"/>)");
    ASSERT_NE(sized, nullptr);
    EXPECT_TRUE(sized->hasSize());
    EXPECT_EQ(sized->size(), (gfx::Size{30, 20}));
    EXPECT_FALSE(sized->cameFromGlobalCache());
    ASSERT_NE(sized->DOMTree(), nullptr);
    EXPECT_EQ(sized->DOMDocument()->rootElement(), sized->DOMTree());

    auto boxed = imageOf(svgHeader + R"( viewBox="0 0 640 480"/>)");
    ASSERT_NE(boxed, nullptr);
    EXPECT_EQ(boxed->size(), (gfx::Size{640, 480}));
}

TEST(VellumImageCreation, bytesThatAreNotXMLGiveNoImageAndTheReasonIsLogged) {
    VellumLogCapture log;
    EXPECT_EQ(imageOf("this is not a document"), nullptr);
    EXPECT_EQ(VellumImage::initWithData(foundation::Data()), nullptr);
    EXPECT_EQ(VellumImage::initWithSource(nullptr), nullptr);
    EXPECT_EQ(VellumImage::initWithContentsOfFile(""), nullptr);
    const auto messages = log.messages();
    EXPECT_TRUE(anyContains(messages, "failed to init VellumImage with source"));
    EXPECT_TRUE(anyContains(messages, "Creating an SVG from raw data"));
    EXPECT_TRUE(anyContains(messages, "nil VellumSource"));
}

TEST(VellumImageCreation, aDocumentWithoutAnySizeReportsInsteadOfRaising) {
    VellumLogCapture log;
    auto image = imageOf(svgHeader + R"(><rect width="5" height="5"/></svg>)");
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->hasSize());
    EXPECT_EQ(image->size(), (gfx::Size{0, 0}));
    EXPECT_EQ(image->UIImage(), nullptr);
    image->scaleToFitInside({10, 10});
    EXPECT_FALSE(image->hasSize());
    EXPECT_TRUE(anyContains(log.messages(), "has no internal size"));
    EXPECT_TRUE(anyContains(log.messages(), "infinite size"));
}

TEST(VellumImageCreation, anAssertionBelowTheInterfaceIsReportedNotThrown) {
    VellumLogCapture log;
    // A source of no known kind has no cache key: asking for one fails the assertion handler.
    const auto text = svgHeader + R"( width="2" height="2"/>)";
    auto source = std::make_shared<vellum::VellumSource>(foundation::InputStream::withData(foundation::Data::fromString(text)));
    std::shared_ptr<VellumImage> parsed;
    std::atomic<bool> called = false;
    std::shared_ptr<vellum::VellumParser> parser;
    EXPECT_NO_THROW(parser = VellumImage::imageWithSource(source, [&](std::shared_ptr<VellumImage> image,
                                                                         std::shared_ptr<vellum::VellumParseResult>) {
        parsed = std::move(image);
        called = true;
    }));
    ASSERT_NE(parser, nullptr);  // parsed in the background, just not cached
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!called && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(called);
    ASSERT_NE(parsed, nullptr);
    EXPECT_FALSE(parsed->cameFromGlobalCache());
    EXPECT_TRUE(anyContains(log.messages(), "keyForAppleDictionaries failed"));
}

// An element whose layer cannot be made, as when memory runs out building a huge document.
struct ExhaustingElement : vellum::SVGElement, vellum::ConverterSVGToCALayer {
    using vellum::SVGElement::SVGElement;
    std::shared_ptr<quartz::Layer> newLayer() override { throw std::bad_alloc(); }
};

TEST(VellumImageCreation, aDrawingThatCannotBeFinishedSaysSoAmongTheDocumentsProblems) {
    VellumLogCapture log;
    auto image = VellumImage::initWithData(foundation::Data::fromString(svgHeader + R"( width="2" height="2"/>)"));
    ASSERT_TRUE(image);
    image->DOMTree()->appendChild(std::make_shared<ExhaustingElement>("exhausting"));
    auto context = gfx::Context::create(gfx::Size{2, 2}, {.scale = 1});
    for (int attempt = 0; attempt < 2; ++attempt) EXPECT_NO_THROW(vellum::VellumImageDrawing::renderInContext(*image, *context));
    const auto& problems = image->parseErrorsAndWarnings()->errorsRecoverable();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].localizedDescription(), "The document could not be drawn: newCALayerTree failed: std::bad_alloc");
}

TEST(VellumImageSize, setSizeRedrawsTheViewBoxAtTheNewSize) {
    auto image = imageOf(svgHeader + R"( viewBox="0 0 10 10"><rect width="5" height="10" fill="#00ff00"/></svg>)");
    ASSERT_NE(image, nullptr);
    auto before = image->CALayerTree();
    image->setSize({40, 20});
    EXPECT_EQ(image->size(), (gfx::Size{40, 20}));
    auto after = image->CALayerTree();
    EXPECT_NE(before, after);
    EXPECT_EQ(after->frame().size, (gfx::Size{40, 20}));
    EXPECT_EQ(image->CALayerTree(), after);  // kept while nothing changes
}

TEST(VellumImageSize, aChangedRootViewportDropsTheLayerTree) {
    auto image = imageOf(svgHeader + R"( width="10" height="10"/>)");
    ASSERT_NE(image, nullptr);
    auto first = image->CALayerTree();
    image->DOMTree()->setViewport(vellum::SVGRectMake(0, 0, 20, 20));
    auto second = image->CALayerTree();
    EXPECT_NE(first, second);
    EXPECT_EQ(second->frame().size, (gfx::Size{20, 20}));
}

TEST(VellumImageSize, scaleIsRefusedWithAViewBoxAndScalesTheTreeWithout) {
    VellumLogCapture log;
    auto boxed = imageOf(svgHeader + R"( viewBox="0 0 10 10"/>)");
    ASSERT_NE(boxed, nullptr);
    boxed->setScale(2);
    EXPECT_EQ(boxed->scale(), 0);
    EXPECT_TRUE(anyContains(log.messages(), "image.scale cannot be set"));

    auto plain = imageOf(svgHeader + R"( width="10" height="10"/>)");
    ASSERT_NE(plain, nullptr);
    auto unscaled = plain->CALayerTree();
    plain->setScale(2);
    EXPECT_EQ(plain->scale(), 2);
    auto scaled = plain->CALayerTree();
    EXPECT_NE(unscaled, scaled);
    EXPECT_EQ(scaled->affineTransform(), gfx::AffineTransform::scale(2, 2));
    EXPECT_EQ(scaled->anchorPoint(), (gfx::Point{0.25, 0.25}));
}

TEST(VellumImageSize, sizeAndScaleWarningsGoToThePlatformLog) {
    auto image = imageOf(svgHeader + R"(><rect width="1" height="1"/></svg>)");
    ASSERT_NE(image, nullptr);
    PlatformLogCapture platformLog;
    image->setSize({10, 10});
    image->setScale(2);
    ASSERT_NE(image->CALayerTree(), nullptr);
    const auto texts = platformLog.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].starts_with("[VellumImage] WARNING: you have set an explicit image size, but your SVG file has no "
                                     "explicit width or height AND no viewBox."));
    EXPECT_TRUE(texts[1].starts_with("[VellumImage] WARNING: because you specified an image.scale"));
}

TEST(VellumImageSize, scaleToFitInsideAlwaysTakesTheSmallerRatio) {
    auto image = imageOf(svgHeader + R"( viewBox="0 0 100 100"/>)");
    ASSERT_NE(image, nullptr);
    image->scaleToFitInside({50, 80});  // ratios 0.5 and 0.8: 0.8 would overflow the width
    EXPECT_EQ(image->size(), (gfx::Size{50, 50}));
    image->scaleToFitInside({100, 150});  // ratios 2 and 3
    EXPECT_EQ(image->size(), (gfx::Size{100, 100}));
    image->scaleToFitInside({0, 10});  // nothing to fit into: unchanged
    EXPECT_EQ(image->size(), (gfx::Size{100, 100}));
}

TEST(VellumImageLayers, lookupsByIdentifierAndAbsoluteCopies) {
    auto image = imageOf(svgHeader + R"svg( width="100" height="100">
        <g id="outer" transform="translate(10,20)"><rect id="box" x="5" y="5" width="10" height="10"/></g>
        <rect id="hidden" width="1" height="1" display="none"/></svg>)svg");
    ASSERT_NE(image, nullptr);
    auto box = image->layerWithIdentifier("box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(image->layerWithIdentifier("missing"), nullptr);
    EXPECT_TRUE(image->layerWithIdentifier("hidden")->isHidden());

    auto layers = image->dictionaryOfLayers();
    EXPECT_EQ(layers.at("box"), box);
    EXPECT_EQ(layers.at("outer"), image->layerWithIdentifier("outer"));

    auto copy = image->newCopyPositionedAbsoluteLayerWithIdentifier("box");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->superlayer(), nullptr);
    EXPECT_EQ(copy->value<std::string>("SVGElementIdentifier"), "box");
    gfx::Point expected = box->frame().origin;
    for (auto ancestor = box->superlayer(); ancestor; ancestor = ancestor->superlayer()) {
        expected.x += ancestor->frame().origin.x;
        expected.y += ancestor->frame().origin.y;
    }
    EXPECT_EQ(copy->frame().origin, expected);
    // The rectangle lies at (15, 25) in the document: the copy covers it there.
    EXPECT_TRUE(copy->frame().contains(gfx::Rect{15, 25, 10, 10})) << copy->frame().origin.x << ", " << copy->frame().origin.y;
    EXPECT_EQ(image->newCopyPositionedAbsoluteLayerWithIdentifier("missing"), nullptr);
    EXPECT_EQ(image->newCopyPositionedAbsoluteLayerWithIdentifier(""), nullptr);
}

// Layers of elements without an id carry no identifier: neither they nor what lies beneath them are
// in the dictionary, and no lookup finds them by an empty one.
TEST(VellumImageLayers, layersWithoutAnIdAreLeftOutOfTheDictionaryWithTheirSublayers) {
    auto image = imageOf(svgHeader + R"svg( width="10" height="10"><g><rect id="inner" width="1" height="1"/></g>
        <rect id="outer" width="1" height="1"/></svg>)svg");
    ASSERT_NE(image, nullptr);
    std::vector<std::string> keys;
    for (const auto& [identifier, layer] : image->dictionaryOfLayers()) keys.push_back(identifier);
    EXPECT_EQ(keys, (std::vector<std::string>{"outer"}));
    EXPECT_EQ(image->layerWithIdentifier(""), nullptr);
    EXPECT_NE(image->layerWithIdentifier("inner"), nullptr);
}

TEST_F(NamedImages, theSameNameGivesTheSameObjectUntilAMemoryWarningOrTheBackground) {
    auto first = VellumImage::imageNamed("square", folder);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->cameFromGlobalCache());
    EXPECT_EQ(first->nameUsedToInstantiate(), "square");
    EXPECT_EQ(VellumImage::numberOfCachedInstances("square"), 0);
    EXPECT_EQ(VellumImage::imageNamed("square", folder), first);
    EXPECT_EQ(VellumImage::numberOfCachedInstances("square"), 1);

    auto& center = foundation::NotificationCenter::defaultCenter();
    center.post(ui::Application::didReceiveMemoryWarningNotification);
    EXPECT_EQ(VellumImage::numberOfCachedInstances("square"), std::nullopt);
    auto second = VellumImage::imageNamed("square", folder);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);

    center.post(ui::Application::didEnterBackgroundNotification);
    EXPECT_NE(VellumImage::imageNamed("square", folder), second);
}

TEST_F(NamedImages, theKernelsMemoryPressureEmptiesTheCacheThroughTheMonitor) {
    auto cached = VellumImage::imageNamed("square", folder);
    ASSERT_NE(cached, nullptr);
    double stalled = 1;
    ui::MemoryPressureMonitor monitor([&]() -> std::optional<std::string> {
        return "some avg10=" + std::to_string(stalled) + " avg60=0.00 avg300=0.00 total=1\n";
    });
    EXPECT_FALSE(monitor.poll());
    EXPECT_EQ(VellumImage::imageNamed("square", folder), cached);
    stalled = 50;
    EXPECT_TRUE(monitor.poll());
    EXPECT_EQ(VellumImage::numberOfCachedInstances("square"), std::nullopt);
    EXPECT_NE(VellumImage::imageNamed("square", folder), cached);
}

TEST_F(NamedImages, cacheKeysAndFailedLoadsAreNotCached) {
    PlatformLogCapture platformLog;
    auto keyed = VellumImage::imageNamed("square.svg", folder, "my key");
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(keyed->nameUsedToInstantiate(), "my key");
    EXPECT_EQ(VellumImage::imageNamed("square", folder, "my key"), keyed);
    EXPECT_EQ(VellumImage::numberOfCachedInstances("square.svg"), std::nullopt);

    EXPECT_EQ(VellumImage::imageNamed("broken", folder), nullptr);
    EXPECT_EQ(VellumImage::imageNamed("nowhere", folder), nullptr);
    EXPECT_EQ(VellumImage::numberOfCachedInstances("broken"), std::nullopt);
    EXPECT_TRUE(anyContains(platformLog.texts(), "[VellumImage] WARNING: not caching the output for new SVG image with name = broken"));
}

TEST_F(NamedImages, backgroundParsesAreCachedUnderTheSourceKey) {
    const fs::path file = folder / "square.svg";
    auto image = VellumImage::imageWithContentsOfFileAsynchronously(file);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->cameFromGlobalCache());
    EXPECT_EQ(VellumImage::imageWithContentsOfFileAsynchronously(file), image);

    // A hit answers at once, on the calling thread, without a parser.
    bool called = false;
    auto parser = VellumImage::imageParserWithContentsOfFileAsynchronously(
        file, [&](std::shared_ptr<VellumImage> hit, std::shared_ptr<vellum::VellumParseResult> result) {
            called = true;
            EXPECT_EQ(hit, image);
            EXPECT_EQ(result, image->parseErrorsAndWarnings());
        });
    EXPECT_TRUE(called);
    EXPECT_EQ(parser, nullptr);

    EXPECT_EQ(VellumImage::imageWithContentsOfFileAsynchronously(folder / "broken.svg"), nullptr);
    auto fromBytes = VellumImage::imageWithDataAsynchronously(foundation::Data::fromString(svgHeader + R"( width="3" height="4"/>)"));
    ASSERT_NE(fromBytes, nullptr);
    EXPECT_EQ(fromBytes->size(), (gfx::Size{3, 4}));
}

}  // namespace
