#include "pictura/Source.h"

#include <atomic>
#include <ostream>
#include <ranges>

#include "foundation/Assertion.h"
#include "pictura/ImageDataProviders.h"

namespace pictura {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void combine(std::size_t& seed, std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); }

}  // namespace

std::string localImageCacheKey(const foundation::URL& fileURL) {
    const auto components = fileURL.pathComponents();
    auto first = components.end();
    while (first != components.begin()) {
        --first;
        if (endsWith(*first, ".app") || endsWith(*first, ".appex")) break;
    }
    std::string joined;
    for (auto component = first; component != components.end(); ++component) {
        if (component != first) joined += "/";
        joined += *component;
    }
    std::string key = "pictura.local.cacheKey/" + joined;
    if (const auto& query = fileURL.query()) key += "?" + *query;
    return key;
}

std::string resourceCacheKey(const foundation::URL& url) {
    return url.isFileURL() ? localImageCacheKey(url) : url.absoluteString();
}

ImageResource::ImageResource(foundation::URL downloadURL, std::optional<std::string> cacheKey)
    : cacheKey(cacheKey ? std::move(*cacheKey) : resourceCacheKey(downloadURL)), downloadURL(std::move(downloadURL)) {}

Source ImageResource::convertToSource(std::optional<std::string> overrideCacheKey) const {
    std::string key = overrideCacheKey ? std::move(*overrideCacheKey) : cacheKey;
    if (downloadURL.isFileURL()) {
        return Source::provider(std::make_shared<LocalFileImageDataProvider>(downloadURL, std::move(key)));
    }
    return Source::network(ImageResource(downloadURL, std::move(key)));
}

Source convertToSource(const foundation::URL& url, std::optional<std::string> overrideCacheKey) {
    return ImageResource(url).convertToSource(std::move(overrideCacheKey));
}

std::string ImageDataProvider::description() const {
    return "ImageDataProvider(cacheKey: \"" + cacheKey() + "\")";
}

Source ImageDataProvider::convertToSource() const { return Source::provider(shared_from_this()); }

Source Source::provider(std::shared_ptr<const ImageDataProvider> provider) {
    foundation::assertion(provider != nullptr, "[Pictura] A provider source needs a data provider.");
    return Source(std::move(provider));
}

Source::Identifier::Value Source::Identifier::next() {
    static std::atomic<Value> current = 0;
    return ++current;
}

std::string Source::cacheKey() const { return resource_ ? resource_->cacheKey : provider_->cacheKey(); }

std::optional<foundation::URL> Source::url() const {
    if (resource_) return resource_->downloadURL;
    return provider_->contentURL();
}

bool operator==(const Source& left, const Source& right) {
    if (left.kind() != right.kind()) return false;
    return left.cacheKey() == right.cacheKey() && left.url() == right.url();
}

std::ostream& operator<<(std::ostream& stream, const Source& source) {
    if (const auto* resource = source.resource()) {
        return stream << "network(ImageResource(cacheKey: \"" << resource->cacheKey
                      << "\", downloadURL: " << resource->downloadURL.absoluteString() << "))";
    }
    return stream << "provider(" << source.dataProvider()->description() << ")";
}

}  // namespace pictura

std::size_t std::hash<pictura::Source>::operator()(const pictura::Source& source) const noexcept {
    std::size_t seed = std::hash<std::string>()(source.cacheKey());
    const auto url = source.url();
    if (source.kind() == pictura::Source::Kind::network) {
        pictura::combine(seed, std::hash<foundation::URL>()(*url));
    } else if (url) {
        pictura::combine(seed, 1);
        pictura::combine(seed, std::hash<foundation::URL>()(*url));
    } else {
        pictura::combine(seed, 0);
    }
    return seed;
}
