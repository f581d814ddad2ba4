// The image library's data paths: bytes of any format through the default processor at a chosen
// scale and frame setting, then one of the processors with chosen parameters, then every cache
// serializer to bytes and back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzInput.h"
#include "gfx/ImageSource.h"
#include "pictura/CacheSerializer.h"
#include "pictura/ImageProcessor.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PicturaOptions.h"

namespace {

// Sizes, radii and fractions: small values mostly, and the odd ones a caller may pass.
double parameter(fuzz::Input& input) {
    switch (input.pick(8)) {
    case 0: return std::nan("");
    case 1: return -input.byte();
    case 2: return INFINITY;
    case 3: return input.byte() / 255.0;
    default: return input.byte() * 2.0;
    }
}

gfx::Color color(fuzz::Input& input) {
    return gfx::Color::rgb(input.byte(), input.byte(), input.byte(), input.byte() / 255.0);
}

// Chains nest: unbounded, a run of chain choices nests them as deep as the input is long and overflows
// the stack. Past the bound a chain choice gives the default processor: at most eight processors.
constexpr int maximumChains = 7;

// `chains` counts the chains made so far for this input.
std::shared_ptr<const pictura::ImageProcessor> processor(fuzz::Input& input, int& chains) {
    using namespace pictura;
    switch (input.pick(13)) {
    case 0: return DefaultImageProcessor::defaultProcessor();
    case 1: return std::make_shared<BlendImageProcessor>(gfx::blendModeFromRawValue(input.byte() % 32)
                                                             .value_or(gfx::BlendMode::normal),
                                                         parameter(input), color(input));
    case 2: return std::make_shared<RoundCornerImageProcessor>(
                parameter(input), gfx::Size{parameter(input), parameter(input)}, RectCorner{input.byte() % 16},
                color(input));
    case 3: return std::make_shared<BorderImageProcessor>(
                Border{color(input), parameter(input), Radius::widthFraction(parameter(input)), RectCorner::all()});
    case 4: return std::make_shared<ResizingImageProcessor>(gfx::Size{parameter(input), parameter(input)},
                                                            ContentMode(input.pick(3)));
    case 5: return std::make_shared<BlurImageProcessor>(parameter(input) / 8);
    case 6: return std::make_shared<OverlayImageProcessor>(color(input), parameter(input));
    case 7: return std::make_shared<TintImageProcessor>(color(input));
    case 8: return std::make_shared<ColorControlsProcessor>(parameter(input), parameter(input), parameter(input),
                                                            parameter(input));
    case 9: return std::make_shared<BlackWhiteProcessor>();
    case 10: return std::make_shared<CroppingImageProcessor>(gfx::Size{parameter(input), parameter(input)},
                                                             gfx::Point{parameter(input), parameter(input)});
    case 11: return std::make_shared<DownsamplingImageProcessor>(gfx::Size{parameter(input), parameter(input)});
    default: {
        if (chains == maximumChains) return DefaultImageProcessor::defaultProcessor();
        ++chains;
        auto first = processor(input, chains);
        return append(first, processor(input, chains));
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    pictura::PicturaParsedOptionsInfo options;
    options.scaleFactor = 1 + input.pick(3);
    options.onlyLoadFirstFrame = input.flag();
    options.preloadAllAnimationData = input.flag();
    int chains = 0;
    auto chosen = processor(input, chains);
    auto rest = input.rest();
    foundation::Data data(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
    // Large pictures from few bytes are the decoders' budget, fuzzed by image_decoders; here they
    // would only slow every run (a 600-byte JPEG announces 6 Mpixels).
    if (auto source = gfx::ImageSource::create(data)) {
        auto properties = source->propertiesAt(0);
        if (properties && double(properties->pixelWidth) * properties->pixelHeight > 1 << 20) return 0;
    }
    auto image = chosen->process(data, options);
    if (!image) return 0;
    (void)chosen->process(image, options);
    std::vector<std::shared_ptr<const pictura::CacheSerializer>> serializers{
        pictura::DefaultCacheSerializer::defaultSerializer(), pictura::FormatIndicatedCacheSerializer::png(),
        pictura::FormatIndicatedCacheSerializer::jpeg(), pictura::FormatIndicatedCacheSerializer::gif()};
    for (const auto& serializer : serializers) {
        for (bool withOriginal : {false, true}) {
            auto stored = serializer->data(image, withOriginal ? std::optional(data) : std::nullopt);
            if (stored) (void)serializer->image(*stored, options);
        }
    }
    return 0;
}
