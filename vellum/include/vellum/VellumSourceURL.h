#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/URL.h"
#include "vellum/VellumSource.h"

namespace vellum {

// A document at a URL: a file URL is streamed; a data URL is read into memory. Nothing (logged) for
// a URL that cannot be read; remote documents are fetched by the caller and given as bytes.
class VellumSourceURL : public VellumSource {
public:
    static std::shared_ptr<VellumSourceURL> sourceFromURL(const foundation::URL& url);
    static std::shared_ptr<foundation::InputStream> internalCreateInputStreamFromURL(const std::optional<foundation::URL>& url);

    VellumSourceURL(std::shared_ptr<foundation::InputStream> stream, foundation::URL url)
        : VellumSource(std::move(stream)), URL_(std::move(url)) {}

    std::shared_ptr<VellumSource> sourceFromRelativePath(std::string_view relativePath) const override;
    std::shared_ptr<VellumSource> copy() const override;
    std::optional<std::string> keyForAppleDictionaries() const override { return URL_.absoluteString(); }
    std::string description() const override;

    const foundation::URL& URL() const { return URL_; }

private:
    foundation::URL URL_;
};

}  // namespace vellum
