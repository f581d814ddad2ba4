#include "pictura/ImageProcessor.h"

#include <sstream>

#include "pictura/PicturaOptions.h"

namespace pictura {

std::string ImageProcessor::description() const { return "ImageProcessor(identifier: \"" + identifier() + "\")"; }

const std::shared_ptr<const DefaultImageProcessor>& DefaultImageProcessor::defaultProcessor() {
    static const auto shared = std::make_shared<const DefaultImageProcessor>();
    return shared;
}

std::shared_ptr<gfx::Image> DefaultImageProcessor::process(const ImageProcessItem& item,
                                                           const PicturaParsedOptionsInfo& options) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) {
        if (!*image || (*image)->scale() == options.scaleFactor || !(*image)->bitmap()) return *image;
        return gfx::Image::make((*image)->bitmap(), options.scaleFactor, (*image)->orientation());
    }
    return gfx::Image::fromData(std::get<foundation::Data>(item), options.scaleFactor);
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
