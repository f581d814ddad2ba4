#pragma once

#include <curl/curl.h>

#include <expected>
#include <optional>
#include <string>

#include "net/URLError.h"

namespace net {

struct URLParts {
    std::string scheme;  // lower case
    std::string host;
    int port = 0;
};

// Accepts absolute http and https URLs; other schemes are unsupported, anything unparseable is a bad URL.
std::expected<URLParts, URLError> parseTransferURL(const std::string& url);

// The platform's error for a curl result; nullopt for success.
std::optional<URLError> urlErrorFor(CURLcode result, const std::string& url, const char* detail);

}  // namespace net
