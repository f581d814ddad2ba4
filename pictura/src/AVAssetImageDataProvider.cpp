#include "pictura/AVAssetImageDataProvider.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "foundation/UUID.h"
#include "gfx/ImageEncoder.h"

namespace pictura {

namespace {

// libjpeg's own default quality, as the platform's encoder uses its default for a frame added
// without properties.
constexpr double encoderDefaultQuality = 0.75;

std::shared_ptr<media::AssetImageGenerator> generatorApplyingTransform(const foundation::URL& assetURL) {
    auto generator = media::AssetImageGenerator::make(media::URLAsset::make(assetURL));
    generator->setAppliesPreferredTrackTransform(true);
    return generator;
}

}  // namespace

std::ostream& operator<<(std::ostream& stream, const AVAssetImageDataProviderError& error) {
    if (error.kind == AVAssetImageDataProviderError::Kind::userCancelled) return stream << "userCancelled";
    if (!error.image) return stream << "invalidImage(nil)";
    return stream << "invalidImage(<Bitmap " << error.image->width << "x" << error.image->height << ">)";
}

AVAssetImageDataProvider::AVAssetImageDataProvider(const foundation::URL& assetURL, media::Time time)
    : assetImageGenerator(generatorApplyingTransform(assetURL)), time(time) {}

AVAssetImageDataProvider::AVAssetImageDataProvider(const foundation::URL& assetURL, double seconds)
    : AVAssetImageDataProvider(assetURL, media::Time::withSeconds(seconds, 600)) {}

std::string AVAssetImageDataProvider::cacheKey() const {
    const auto* urlAsset = dynamic_cast<const media::URLAsset*>(assetImageGenerator->asset().get());
    const std::string prefix = urlAsset ? urlAsset->url().absoluteString() : foundation::UUID::random().uuidString();
    return prefix + "_" + shortestSecondsText(time.seconds());
}

void AVAssetImageDataProvider::data(Handler handler) const {
    assetImageGenerator->generateImages(
        {time}, [handler = std::move(handler)](media::Time, std::shared_ptr<const gfx::Bitmap> image, media::Time,
                                               media::AssetImageGenerator::Result result,
                                               std::optional<media::AssetError> error) {
            if (error) return handler(std::unexpected(AnyError(*error)));
            if (result == media::AssetImageGenerator::Result::cancelled) {
                return handler(std::unexpected(AnyError(AVAssetImageDataProviderError{})));
            }
            std::optional<foundation::Data> jpeg;
            if (image) jpeg = gfx::encodeJpeg(*image, encoderDefaultQuality);
            if (!jpeg) {
                return handler(std::unexpected(
                    AnyError(AVAssetImageDataProviderError{AVAssetImageDataProviderError::Kind::invalidImage, image})));
            }
            handler(std::move(*jpeg));
        });
}

std::string AVAssetImageDataProvider::description() const {
    return "AVAssetImageDataProvider(time: " + shortestSecondsText(time.seconds()) + " s)";
}

std::string shortestSecondsText(double seconds) {
    if (std::isnan(seconds)) return "nan";
    if (std::isinf(seconds)) return seconds < 0 ? "-inf" : "inf";
    if (seconds == 0) return std::signbit(seconds) ? "-0.0" : "0.0";
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::scientific);
    std::string scientific(buffer, end);  // "d.ddde+XX"
    const auto e = scientific.find('e');
    const int exponent = std::stoi(scientific.substr(e + 1));
    std::string sign = scientific.front() == '-' ? "-" : "";
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c >= '0' && c <= '9') digits += c;
    }
    if (exponent < -4 || exponent >= 16) {
        std::string mantissa = digits.substr(0, 1);
        if (digits.size() > 1) mantissa += "." + digits.substr(1);
        const std::string magnitude = std::to_string(std::abs(exponent));
        return sign + mantissa + "e" + (exponent < 0 ? "-" : "+") + (magnitude.size() < 2 ? "0" : "") + magnitude;
    }
    std::string whole, fraction;
    if (exponent < 0) {
        whole = "0";
        fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        const auto point = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= point) {
            whole = digits + std::string(point - digits.size(), '0');
        } else {
            whole = digits.substr(0, point);
            fraction = digits.substr(point);
        }
    }
    if (fraction.empty()) fraction = "0";
    return sign + whole + "." + fraction;
}

}  // namespace pictura
