#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "foundation/Data.h"
#include "gfx/Image.h"

namespace pictura {

struct PicturaParsedOptionsInfo;

// What a processor is handed: an image already decoded (from a cache, or an earlier processor of a
// chain) or the undecoded bytes of a download or data provider.
using ImageProcessItem = std::variant<std::shared_ptr<gfx::Image>, foundation::Data>;

// Turns an item into the image to show and cache. Processors with equal identifiers are taken to give
// equal results: the identifier is part of every processed cache key, so it names the processor and
// every parameter that changes its output. Called off the main thread; keeps no mutable state.
class ImageProcessor {
public:
    virtual ~ImageProcessor() = default;
    virtual std::string identifier() const = 0;
    // Null means processing failed.
    virtual std::shared_ptr<gfx::Image> process(const ImageProcessItem& item,
                                                const PicturaParsedOptionsInfo& options) const = 0;
    // How error texts name the processor.
    virtual std::string description() const;
};

// The processor of retrievals that name none: data becomes an image at the options' scale (a GIF by
// the options' frame settings), and an image is brought to that scale without copying its pixels. Its
// identifier is empty, so its images are cached under the plain key.
class DefaultImageProcessor final : public ImageProcessor {
public:
    // The shared value (the platform's `DefaultImageProcessor.default`).
    static const std::shared_ptr<const DefaultImageProcessor>& defaultProcessor();

    std::string identifier() const override { return ""; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item,
                                        const PicturaParsedOptionsInfo& options) const override;
};

// A processor made of an identifier and a function: what chaining gives.
class GeneralProcessor final : public ImageProcessor {
public:
    using Process =
        std::function<std::shared_ptr<gfx::Image>(const ImageProcessItem&, const PicturaParsedOptionsInfo&)>;

    GeneralProcessor(std::string identifier, Process p) : identifier_(std::move(identifier)), p_(std::move(p)) {}

    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item,
                                        const PicturaParsedOptionsInfo& options) const override {
        return p_(item, options);
    }

private:
    std::string identifier_;
    Process p_;
};

// `first` followed by `another`: `another` runs on the image `first` gives, with the same options; when
// `first` gives nothing, so does the chain. The identifier is both joined by "|>", never collapsed
// (an empty first identifier still gives "|>" and the second).
std::shared_ptr<const GeneralProcessor> append(std::shared_ptr<const ImageProcessor> first,
                                               std::shared_ptr<const ImageProcessor> another);
// The chain operator (`first |> another` on the platform).
std::shared_ptr<const GeneralProcessor> operator|(std::shared_ptr<const ImageProcessor> first,
                                                  std::shared_ptr<const ImageProcessor> another);

// For processors whose data case decodes first: the default processor's image, then `processor` on it.
std::shared_ptr<gfx::Image> processDecoded(const ImageProcessor& processor, const foundation::Data& data,
                                           const PicturaParsedOptionsInfo& options);

std::string describe(const ImageProcessItem& item);

}  // namespace pictura
