#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "pictura/AnyError.h"

namespace pictura {

class Source;

// A key for a file that stays the same when the system moves the app's folder: the path from the
// innermost ".app" or ".appex" component on (the whole path outside one), after
// "pictura.local.cacheKey/", with "?" and the query when there is one.
std::string localImageCacheKey(const foundation::URL& fileURL);

// A URL to download and the key its image is cached under.
struct ImageResource {
    // Without a key: the local key of a file URL, else the URL's absolute text.
    explicit ImageResource(foundation::URL downloadURL, std::optional<std::string> cacheKey = std::nullopt);

    std::string cacheKey;
    foundation::URL downloadURL;

    // A file URL becomes a local-file provider on the user-initiated pool, anything else a download.
    Source convertToSource(std::optional<std::string> overrideCacheKey = std::nullopt) const;
};

// A URL as a resource: its own key (the local key of a file URL, else its absolute text).
std::string resourceCacheKey(const foundation::URL& url);
Source convertToSource(const foundation::URL& url, std::optional<std::string> overrideCacheKey = std::nullopt);

// Hands over an image's bytes itself. Whether the handler runs at once or later, and on which thread,
// is each provider's own; failures reach the handler as its error.
class ImageDataProvider : public std::enable_shared_from_this<ImageDataProvider> {
public:
    using Result = std::expected<foundation::Data, AnyError>;
    using Handler = std::function<void(Result)>;

    virtual ~ImageDataProvider() = default;
    virtual std::string cacheKey() const = 0;
    virtual void data(Handler handler) const = 0;
    // A URL that stands for the content, if any.
    virtual std::optional<foundation::URL> contentURL() const { return std::nullopt; }
    // How error texts name the provider.
    virtual std::string description() const;

    Source convertToSource() const;
};

// What the library loads: a download or a data provider.
class Source {
public:
    enum class Kind { network, provider };

    // The task identifiers with which set-image tags its requests: one process-wide counter, first 1.
    struct Identifier {
        using Value = std::uint64_t;
        static Value next();
    };

    static Source network(ImageResource resource) { return Source(std::move(resource)); }
    // A null provider is a programming error, raised here rather than when the key is first asked for.
    static Source provider(std::shared_ptr<const ImageDataProvider> provider);

    Kind kind() const { return resource_ ? Kind::network : Kind::provider; }
    // The resource of a network source; null for a provider.
    const ImageResource* resource() const { return resource_ ? &*resource_ : nullptr; }
    // The provider of a provider source; null for a network one.
    const std::shared_ptr<const ImageDataProvider>& dataProvider() const { return provider_; }

    std::string cacheKey() const;
    // The download URL, or the provider's content URL (which may be absent).
    std::optional<foundation::URL> url() const;

    // Same kind, same key, same URL (two absent content URLs count as equal).
    friend bool operator==(const Source& left, const Source& right);

private:
    explicit Source(ImageResource resource) : resource_(std::move(resource)) {}
    explicit Source(std::shared_ptr<const ImageDataProvider> provider) : provider_(std::move(provider)) {}

    std::optional<ImageResource> resource_;
    std::shared_ptr<const ImageDataProvider> provider_;
};

std::ostream& operator<<(std::ostream& stream, const Source& source);

}  // namespace pictura

// The key, then the URL as an optional (absent: a 0 marker; present: a 1 marker and the URL); not the kind.
template <>
struct std::hash<pictura::Source> {
    std::size_t operator()(const pictura::Source& source) const noexcept;
};
