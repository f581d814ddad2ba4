#include "URLText.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace net {

namespace {

using URLHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

// The scheme written before the first ':', if the text has one.
std::optional<std::string> schemeOf(const std::string& text) {
    auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    if (!std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
    for (std::size_t index = 0; index < colon; ++index) {
        unsigned char c = text[index];
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    std::string scheme = text.substr(0, colon);
    std::ranges::transform(scheme, scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    return scheme;
}

std::string part(CURLU* handle, CURLUPart which, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(handle, which, &text, flags) != CURLUE_OK || !text) return {};
    std::string result(text);
    curl_free(text);
    return result;
}

}  // namespace

std::expected<URLParts, URLError> parseTransferURL(const std::string& url) {
    auto scheme = schemeOf(url);
    if (!scheme) return std::unexpected(URLError{url.empty() ? URLError::badURL : URLError::unsupportedURL, url});
    if (*scheme != "http" && *scheme != "https") return std::unexpected(URLError{URLError::unsupportedURL, url});
    URLHandle handle(curl_url(), curl_url_cleanup);
    if (curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::unexpected(URLError{URLError::badURL, url});
    URLParts parts{*scheme, part(handle.get(), CURLUPART_HOST), 0};
    if (parts.host.empty()) return std::unexpected(URLError{URLError::badURL, url});
    parts.port = std::atoi(part(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str());
    return parts;
}

std::optional<URLError> urlErrorFor(CURLcode result, const std::string& url, const char* detail) {
    URLError::Code code = URLError::unknown;
    switch (result) {
    case CURLE_OK: return std::nullopt;
    // Schemes are checked before a transfer starts, so this is curl refusing an answer that is not HTTP.
    case CURLE_UNSUPPORTED_PROTOCOL: code = URLError::badServerResponse; break;
    case CURLE_URL_MALFORMAT: code = URLError::badURL; break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: code = URLError::cannotFindHost; break;
    case CURLE_COULDNT_CONNECT: code = URLError::cannotConnectToHost; break;
    case CURLE_OPERATION_TIMEDOUT: code = URLError::timedOut; break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: code = URLError::networkConnectionLost; break;
    case CURLE_WEIRD_SERVER_REPLY: code = URLError::badServerResponse; break;
    case CURLE_TOO_MANY_REDIRECTS: code = URLError::httpTooManyRedirects; break;
    case CURLE_BAD_CONTENT_ENCODING: code = URLError::cannotDecodeContentData; break;
    case CURLE_FILESIZE_EXCEEDED: code = URLError::dataLengthExceedsMaximum; break;
    case CURLE_PEER_FAILED_VERIFICATION: code = URLError::serverCertificateUntrusted; break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR: code = URLError::secureConnectionFailed; break;
    case CURLE_ABORTED_BY_CALLBACK: code = URLError::cancelled; break;
    default: break;
    }
    return URLError{code, url, detail && *detail ? detail : curl_easy_strerror(result)};
}

}  // namespace net
