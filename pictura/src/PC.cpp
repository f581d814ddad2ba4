#include "pictura/PCBuilder.h"

#include "pictura/ImageDataProviders.h"

namespace pictura {

std::shared_ptr<PC::Builder> PC::source(std::optional<Source> source) { return Builder::make(std::move(source)); }

std::shared_ptr<PC::Builder> PC::resource(std::optional<ImageResource> resource) {
    if (!resource) return Builder::make(std::nullopt);
    return Builder::make(resource->convertToSource());
}

std::shared_ptr<PC::Builder> PC::url(std::optional<foundation::URL> url, std::optional<std::string> cacheKey) {
    if (!url) return Builder::make(std::nullopt);
    return Builder::make(convertToSource(*url, std::move(cacheKey)));
}

std::shared_ptr<PC::Builder> PC::dataProvider(std::shared_ptr<const ImageDataProvider> provider) {
    if (!provider) return Builder::make(std::nullopt);
    return Builder::make(provider->convertToSource());
}

std::shared_ptr<PC::Builder> PC::data(std::optional<foundation::Data> data, std::string cacheKey) {
    if (!data) return Builder::make(std::nullopt);
    return Builder::make(Source::provider(std::make_shared<RawImageDataProvider>(std::move(*data), std::move(cacheKey))));
}

}  // namespace pictura
