#include "pictura/ImageProcessor.h"

#include <sstream>

#include "pictura/ImageWrapper.h"
#include "pictura/PicturaOptions.h"

namespace pictura {

std::string ImageProcessor::description() const { return "ImageProcessor(identifier: \"" + identifier() + "\")"; }

const std::shared_ptr<const DefaultImageProcessor>& DefaultImageProcessor::defaultProcessor() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* shared = new auto(std::make_shared<const DefaultImageProcessor>());
    return *shared;
}

std::shared_ptr<gfx::Image> DefaultImageProcessor::process(const ImageProcessItem& item,
                                                           const PicturaParsedOptionsInfo& options) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) return pc(*image).scaled(options.scaleFactor);
    return PicturaWrapper<std::shared_ptr<gfx::Image>>::image(std::get<foundation::Data>(item),
                                                              options.imageCreatingOptions());
}

std::shared_ptr<const GeneralProcessor> append(std::shared_ptr<const ImageProcessor> first,
                                               std::shared_ptr<const ImageProcessor> another) {
    auto identifier = first->identifier() + "|>" + another->identifier();
    return std::make_shared<const GeneralProcessor>(
        std::move(identifier),
        [first, another](const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) {
            auto image = first->process(item, options);
            if (!image) return image;
            return another->process(image, options);
        });
}

std::shared_ptr<const GeneralProcessor> operator|(std::shared_ptr<const ImageProcessor> first,
                                                  std::shared_ptr<const ImageProcessor> another) {
    return append(std::move(first), std::move(another));
}

std::shared_ptr<gfx::Image> processDecoded(const ImageProcessor& processor, const foundation::Data& data,
                                           const PicturaParsedOptionsInfo& options) {
    auto image = DefaultImageProcessor::defaultProcessor()->process(data, options);
    if (!image) return nullptr;
    return processor.process(image, options);
}

std::string describe(const ImageProcessItem& item) {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) {
        if (!*image) return "image(nil)";
        std::ostringstream text;
        text << "image(<Image " << (*image)->pixelWidth() << "x" << (*image)->pixelHeight() << " pixels @"
             << (*image)->scale() << "x>)";
        return text.str();
    }
    return "data(" + std::to_string(std::get<foundation::Data>(item).size()) + " bytes)";
}

}  // namespace pictura
