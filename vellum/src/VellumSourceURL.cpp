#include "vellum/VellumSourceURL.h"

#include "VellumLog.h"
#include "foundation/DataURL.h"
#include "foundation/Format.h"

namespace vellum {

std::shared_ptr<VellumSourceURL> VellumSourceURL::sourceFromURL(const foundation::URL& url) {
    auto stream = internalCreateInputStreamFromURL(url);
    if (!stream) return nullptr;
    return std::make_shared<VellumSourceURL>(std::move(stream), url);
}

std::shared_ptr<foundation::InputStream> VellumSourceURL::internalCreateInputStreamFromURL(
    const std::optional<foundation::URL>& url) {
    if (!url) return nullptr;
    if (auto stream = foundation::InputStream::withURL(*url)) return stream;
    auto contents = foundation::contentsOfURL(*url);
    if (!contents) {
        vellumLogError("Error internally in Apple's NSData trying to read from URL '%@'. Error = %@", url->absoluteString(),
                       contents.error().message);
        return nullptr;
    }
    return foundation::InputStream::withData(std::move(*contents));
}

std::shared_ptr<VellumSource> VellumSourceURL::sourceFromRelativePath(std::string_view relativePath) const {
    auto resolved = foundation::URL::fromString(relativePath, URL_);
    if (!resolved) return nullptr;
    return sourceFromURL(resolved->absoluteURL());
}

std::shared_ptr<VellumSource> VellumSourceURL::copy() const {
    auto stream = internalCreateInputStreamFromURL(URL_);
    auto copy = std::make_shared<VellumSourceURL>(std::move(stream), URL_);
    copyBaseFieldsTo(*copy);
    return copy;
}

std::string VellumSourceURL::description() const {
    return foundation::format("[VellumSource: URL = \"%@\"]", URL_.absoluteString());
}

}  // namespace vellum
