#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Data.h"
#include "foundation/FileError.h"
#include "foundation/URL.h"

namespace foundation {

// A "data:" URL (RFC 2397) taken apart: "data:[<media type>][;base64],<payload>".
struct DataURL {
    std::string mediaType = "text/plain;charset=US-ASCII";  // with its parameters, as written
    bool isBase64 = false;
    Data data;

    // Nothing when the text is not a data URL, has no ",", holds a malformed "%" escape or a base64
    // payload that does not decode. Blanks and line breaks inside a base64 payload are ignored.
    static std::optional<DataURL> decode(std::string_view text);
};

// The bytes a URL names, read synchronously, as the platform's contents-of-URL read does for local
// resources: a "data" URL's payload or a "file" URL's file. Other schemes fail with EPROTONOSUPPORT
// (network reads go through net::Session), a data URL that does not decode with EINVAL.
std::expected<Data, FileError> contentsOfURL(const URL& url);

}  // namespace foundation
