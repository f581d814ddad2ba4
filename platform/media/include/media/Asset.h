#pragma once

#include <memory>

#include "foundation/URL.h"

namespace media {

// A piece of timed media. Only assets read from a URL can give frames here; other kinds exist so that
// callers can tell a URL asset from the rest.
class Asset {
public:
    virtual ~Asset() = default;

protected:
    Asset() = default;
};

// Media at a URL: a local file (a "file" URL) or anything the demuxer can open by its URL text.
class URLAsset final : public Asset {
public:
    static std::shared_ptr<URLAsset> make(foundation::URL url) {
        return std::shared_ptr<URLAsset>(new URLAsset(std::move(url)));
    }
    const foundation::URL& url() const { return url_; }

private:
    explicit URLAsset(foundation::URL url) : url_(std::move(url)) {}
    foundation::URL url_;
};

}  // namespace media
