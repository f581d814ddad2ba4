#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "foundation/URL.h"
#include "net/HTTPHeaders.h"

namespace net {

// The head of an answer. Answers from the network are always HTTP; an in-process handler may answer
// without a status (statusCode 0), which makes the response a plain, non-HTTP one.
struct Response {
    std::optional<foundation::URL> url;
    int statusCode = 0;
    HTTPHeaders headers;
    std::int64_t expectedContentLength = -1;  // from Content-Length, -1 when not sent
    std::string mimeType;                     // lower-cased, parameters stripped
    std::string textEncodingName;             // the charset parameter, when given

    bool isHTTP() const { return statusCode != 0; }

    // Fills the fields derived from the headers (length, MIME type, encoding).
    static Response make(std::optional<foundation::URL> url, int statusCode, HTTPHeaders headers);

    friend bool operator==(const Response&, const Response&) = default;
};

using HTTPResponse = Response;

// The standard reason phrase of a status ("Not Found"); "HTTP <code>" for one without a phrase.
std::string statusText(int statusCode);

std::ostream& operator<<(std::ostream& stream, const Response& response);

}  // namespace net
