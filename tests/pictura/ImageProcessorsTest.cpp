#include <gtest/gtest.h>

#include <atomic>

#include "ImageSamples.h"
#include "gfx/BoxBlur.h"
#include "pictura/CacheSerializer.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {
namespace {

using gfx::Color;
using gfx::Size;
using Item = PicturaOptionsInfoItem;

PicturaParsedOptionsInfo scaleFactor(double scale) { return PicturaParsedOptionsInfo({Item::scaleFactor(scale)}); }

TEST(ProcessorIdentifierTest, identifiersReadExactly) {
    const std::string prefix = "com.tolvane.Pictura.";
    EXPECT_EQ(BlendImageProcessor(gfx::BlendMode::multiply, 0.5, std::nullopt).identifier(),
              prefix + "BlendImageProcessor(1,0.5)");
    EXPECT_EQ(BlendImageProcessor(gfx::BlendMode::normal, 1, Color{1, 0.5, 0, 1}).identifier(),
              prefix + "BlendImageProcessor(0,1.0)_(1.00,0.50,0.00,1.00)");
    EXPECT_EQ(RoundCornerImageProcessor(10.0, std::nullopt, RectCorner::all(), std::nullopt).identifier(),
              prefix + "RoundCornerImageProcessor(10.0)");
    EXPECT_EQ(RoundCornerImageProcessor(Radius::widthFraction(0.5), Size{100, 50},
                                        RectCorner::topLeft() | RectCorner::topRight(), std::nullopt)
                  .identifier(),
              prefix + "RoundCornerImageProcessor(w_frac_0.5_(100.0, 50.0)_corner(3))");
    EXPECT_EQ(RoundCornerImageProcessor(Radius::heightFraction(0.25), std::nullopt,
                                        RectCorner::topLeft() | RectCorner::bottomRight(), Color{1, 0, 0, 1})
                  .identifier(),
              prefix + "RoundCornerImageProcessor(h_frac_0.25_corner(9))_UIExtendedSRGBColorSpace 1 0 0 1");
    EXPECT_EQ(BorderImageProcessor({.color = Color::black(), .lineWidth = 2, .radius = Radius::point(0)}).identifier(),
              prefix + "RoundCornerImageProcessor(Border(color: UIExtendedSRGBColorSpace 0 0 0 1, lineWidth: 2.0, "
                       "radius: Pictura.Radius.point(0.0), roundingCorners: Pictura.RectCorner(rawValue: 15))");
    EXPECT_EQ(ResizingImageProcessor({100, 50}, ContentMode::none).identifier(),
              prefix + "ResizingImageProcessor((100.0, 50.0))");
    EXPECT_EQ(ResizingImageProcessor({100, 50}, ContentMode::aspectFill).identifier(),
              prefix + "ResizingImageProcessor((100.0, 50.0), aspectFill)");
    EXPECT_EQ(BlurImageProcessor(4).identifier(), prefix + "BlurImageProcessor(4.0)");
    EXPECT_EQ(BlurImageProcessor(0.00001).identifier(), prefix + "BlurImageProcessor(1e-05)");
    EXPECT_EQ(OverlayImageProcessor({0, 0, 0, 1}, 0.5).identifier(),
              prefix + "OverlayImageProcessor((0.00,0.00,0.00,1.00)_0.5)");
    EXPECT_EQ(TintImageProcessor({0.2, 0.4, 0.6, 0.8}).identifier(),
              prefix + "TintImageProcessor((0.20,0.40,0.60,0.80))");
    EXPECT_EQ(ColorControlsProcessor(0, 1, 0, 0.7).identifier(), prefix + "ColorControlsProcessor(0.0_1.0_0.0_0.7)");
    EXPECT_EQ(BlackWhiteProcessor().identifier(), prefix + "BlackWhiteProcessor");
    EXPECT_EQ(CroppingImageProcessor({50, 50}, {0.5, 0.5}).identifier(),
              prefix + "CroppingImageProcessor((50.0, 50.0)_(0.5, 0.5))");
    EXPECT_EQ(DownsamplingImageProcessor({1e16, 0.0001}).identifier(),
              prefix + "DownsamplingImageProcessor((1e+16, 0.0001))");
}

struct Counting final : ImageProcessor {
    explicit Counting(std::shared_ptr<gfx::Image> result) : result(std::move(result)) {}
    std::string identifier() const override { return "counting"; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem&, const PicturaParsedOptionsInfo&) const override {
        ++calls;
        return result;
    }
    std::shared_ptr<gfx::Image> result;
    mutable std::atomic<int> calls = 0;
};

TEST(ProcessorChainTest, chainsJoinIdentifiersAndStopAtTheFirstFailure) {
    auto blur = std::make_shared<const BlurImageProcessor>(4);
    auto chained = DefaultImageProcessor::defaultProcessor() | blur;
    EXPECT_EQ(chained->identifier(), "|>" + blur->identifier());
    auto tint = std::make_shared<const TintImageProcessor>(Color::black());
    EXPECT_EQ((chained | tint)->identifier(), "|>" + blur->identifier() + "|>" + tint->identifier());

    auto failing = std::make_shared<Counting>(nullptr);
    auto second = std::make_shared<Counting>(samples::image(samples::coordinates(2, 2)));
    PicturaParsedOptionsInfo options;
    EXPECT_FALSE(append(failing, second)->process(samples::image(samples::coordinates(2, 2)), options));
    EXPECT_EQ(failing->calls, 1);
    EXPECT_EQ(second->calls, 0);

    auto png = *gfx::encodePng(samples::filled(4, 4, Color::white()));
    auto result = (chained | tint)->process(png, options);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->bitmap()->pixel(2, 2), 0xFF000000u);
}

TEST(DefaultProcessorTest, imagesAreRescaledWithoutCopyingAndGifsFollowTheOptions) {
    const auto& processor = *DefaultImageProcessor::defaultProcessor();
    auto image = samples::image(samples::coordinates(4, 4), 2);
    EXPECT_EQ(processor.process(image, scaleFactor(2)), image);
    auto empty = gfx::Image::make(nullptr);
    EXPECT_EQ(processor.process(empty, scaleFactor(3)), empty);

    const auto gif = samples::gif({0.1, 0.1, 0.1});
    auto first = processor.process(gif, PicturaParsedOptionsInfo({Item::onlyLoadFirstFrame()}));
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->isAnimated());
    auto all = processor.process(gif, PicturaParsedOptionsInfo({Item::preloadAllAnimationData(), Item::scaleFactor(2)}));
    ASSERT_TRUE(all);
    EXPECT_EQ(all->frames().size(), 3u);
    EXPECT_EQ(all->scale(), 2);
}

TEST(BuiltInProcessorTest, undecodableBytesFailEveryProcessor) {
    const auto garbage = foundation::Data::fromString("these bytes are no picture");
    PicturaParsedOptionsInfo options;
    std::vector<std::shared_ptr<const ImageProcessor>> processors{
        DefaultImageProcessor::defaultProcessor(),
        std::make_shared<BlendImageProcessor>(gfx::BlendMode::normal, 1, std::nullopt),
        std::make_shared<RoundCornerImageProcessor>(4, std::nullopt, RectCorner::all(), std::nullopt),
        std::make_shared<BorderImageProcessor>(Border{}),
        std::make_shared<ResizingImageProcessor>(Size{10, 10}, ContentMode::aspectFit),
        std::make_shared<BlurImageProcessor>(2),
        std::make_shared<OverlayImageProcessor>(Color::black(), 0.2),
        std::make_shared<TintImageProcessor>(Color::black()),
        std::make_shared<ColorControlsProcessor>(0, 1, 1, 0),
        std::make_shared<BlackWhiteProcessor>(),
        std::make_shared<CroppingImageProcessor>(Size{2, 2}, gfx::Point{0, 0}),
        std::make_shared<DownsamplingImageProcessor>(Size{10, 10}),
    };
    const auto png = *gfx::encodePng(samples::coordinates(8, 8));
    for (const auto& processor : processors) {
        SCOPED_TRACE(processor->identifier());
        EXPECT_FALSE(processor->process(garbage, options));
        EXPECT_TRUE(processor->process(png, options));
    }
}

TEST(BuiltInProcessorTest, roundCornersKeepThePointSizeMeasuredBeforeRescaling) {
    auto image = samples::image(samples::filled(20, 10, Color::white()), 1);
    RoundCornerImageProcessor keep(2, std::nullopt, RectCorner::all(), std::nullopt);
    auto result = keep.process(image, scaleFactor(2));
    EXPECT_EQ(result->size(), (Size{20, 10}));
    EXPECT_EQ(result->pixelWidth(), 40);
    RoundCornerImageProcessor stretch(2, Size{30, 30}, RectCorner::all(), std::nullopt);
    EXPECT_EQ(stretch.process(image, scaleFactor(2))->size(), (Size{30, 30}));
}

TEST(BuiltInProcessorTest, blurRadiusIsInPoints) {
    auto image = samples::image(samples::coordinates(40, 40), 1);
    auto result = BlurImageProcessor(4).process(image, scaleFactor(3));
    EXPECT_EQ(result->scale(), 3);
    EXPECT_EQ(result->bitmap()->pixels, pc(pc(image).scaled(3)).blurred(12)->bitmap()->pixels);
}

TEST(BuiltInProcessorTest, blackAndWhiteIsColourControlsUnderItsOwnName) {
    auto image = samples::image(samples::coordinates(8, 8));
    PicturaParsedOptionsInfo options;
    EXPECT_EQ(BlackWhiteProcessor().process(image, options)->bitmap()->pixels,
              ColorControlsProcessor(0, 1, 0, 0.7).process(image, options)->bitmap()->pixels);
}

TEST(BuiltInProcessorTest, resizingAndCroppingGeometry) {
    auto image = samples::image(samples::coordinates(200, 100));
    PicturaParsedOptionsInfo options;
    EXPECT_EQ(ResizingImageProcessor({100, 100}, ContentMode::none).process(image, options)->size(), (Size{100, 100}));
    EXPECT_EQ(ResizingImageProcessor({100, 100}, ContentMode::aspectFit).process(image, options)->size(),
              (Size{100, 50}));
    auto clamped = CroppingImageProcessor({50, 50}, {2, -1}).process(image, options);
    EXPECT_EQ(clamped->bitmap()->pixels, CroppingImageProcessor({50, 50}, {1, 0}).process(image, options)->bitmap()->pixels);
    EXPECT_EQ(clamped->bitmap()->pixel(0, 0), image->bitmap()->pixel(150, 0));
}

TEST(BuiltInProcessorTest, downsamplingGivesStillBoundedUprightImages) {
    DownsamplingImageProcessor processor({5, 5});
    auto gif = processor.process(samples::gif({0.1, 0.1}, 40, 20), scaleFactor(2));
    ASSERT_TRUE(gif);
    EXPECT_FALSE(gif->isAnimated());
    EXPECT_EQ(gif->pixelWidth(), 10);
    EXPECT_EQ(gif->pixelHeight(), 5);

    auto turned = samples::image(samples::coordinates(40, 20), 1, gfx::ImageOrientation::right);
    auto small = processor.process(turned, scaleFactor(2));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->orientation(), gfx::ImageOrientation::up);
    EXPECT_EQ(small->pixelWidth(), 5);
    EXPECT_EQ(small->pixelHeight(), 10);
    EXPECT_EQ(small->scale(), 2);
    EXPECT_FALSE(processor.process(gfx::Image::make(nullptr), scaleFactor(2)));
}

TEST(BuiltInProcessorTest, theImagePixelLimitItemBoundsEveryDecodeOfItsRetrieval) {
    const auto png = *gfx::encodePng(samples::coordinates(40, 30));  // 1,200 pixels
    for (const std::int64_t limit : {1200, 1201}) {
        const PicturaParsedOptionsInfo options({Item::imagePixelLimit(limit)});
        const bool decodes = limit > 1200;
        // A download or a data provider, a processor asking for a size, a read from the disk cache.
        EXPECT_EQ(bool(DefaultImageProcessor::defaultProcessor()->process(png, options)), decodes) << limit;
        EXPECT_EQ(bool(DownsamplingImageProcessor({20, 20}).process(png, options)), decodes) << limit;
        EXPECT_EQ(bool(BlurImageProcessor(2).process(png, options)), decodes) << limit;
        EXPECT_EQ(bool(DefaultCacheSerializer::defaultSerializer()->image(png, options)), decodes) << limit;
    }
}

}  // namespace
}  // namespace pictura
