#include <algorithm>
#include <cctype>
#include <charconv>

#include "net/HTTPHeaders.h"
#include "net/Request.h"
#include "net/Response.h"
#include "net/URLError.h"

namespace net {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    std::ranges::transform(result, result.begin(), [](unsigned char c) { return std::tolower(c); });
    return result;
}

}  // namespace

bool equalIgnoringCase(std::string_view left, std::string_view right) {
    return std::ranges::equal(left, right, [](unsigned char a, unsigned char b) {
        return std::tolower(a) == std::tolower(b);
    });
}

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) add(name, value);
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    auto place = places_.find(lowercased(name));
    if (place == places_.end()) return std::nullopt;
    return fields_[place->second].second;
}

void HTTPHeaders::set(std::string_view name, std::string value) {
    remove(name);
    places_.emplace(lowercased(name), fields_.size());
    fields_.emplace_back(std::string(name), std::move(value));
}

void HTTPHeaders::add(std::string_view name, std::string_view value) {
    auto [place, isNew] = places_.emplace(lowercased(name), fields_.size());
    if (!isNew) {
        fields_[place->second].second.append(", ").append(value);
        return;
    }
    fields_.emplace_back(std::string(name), std::string(value));
}

void HTTPHeaders::remove(std::string_view name) {
    if (!places_.contains(lowercased(name))) return;
    std::erase_if(fields_, [&](const Field& field) { return equalIgnoringCase(field.first, name); });
    reindex();
}

void HTTPHeaders::reindex() {
    places_.clear();
    for (std::size_t index = 0; index < fields_.size(); ++index) places_.emplace(lowercased(fields_[index].first), index);
}

Response Response::make(std::optional<foundation::URL> url, int statusCode, HTTPHeaders headers) {
    Response response;
    response.url = std::move(url);
    response.statusCode = statusCode;
    response.headers = std::move(headers);
    if (auto length = response.headers.value("Content-Length")) {
        auto text = trimmed(*length);
        std::int64_t value = -1;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && end == text.data() + text.size() && value >= 0)
            response.expectedContentLength = value;
    }
    if (auto type = response.headers.value("Content-Type")) {
        std::string_view text = *type;
        auto semicolon = text.find(';');
        response.mimeType = lowercased(trimmed(text.substr(0, semicolon)));
        while (semicolon != std::string_view::npos) {
            text = text.substr(semicolon + 1);
            semicolon = text.find(';');
            auto parameter = trimmed(text.substr(0, semicolon));
            auto equals = parameter.find('=');
            if (equals == std::string_view::npos || !equalIgnoringCase(trimmed(parameter.substr(0, equals)), "charset"))
                continue;
            auto value = trimmed(parameter.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            response.textEncodingName = lowercased(value);
        }
    }
    return response;
}

std::string URLError::description() const {
    switch (code) {
    case cancelled: return "cancelled";
    case badURL: return "bad URL";
    case timedOut: return "The request timed out.";
    case unsupportedURL: return "unsupported URL";
    case cannotFindHost: return "A server with the specified hostname could not be found.";
    case cannotConnectToHost: return "Could not connect to the server.";
    case networkConnectionLost: return "The network connection was lost.";
    case httpTooManyRedirects: return "too many HTTP redirects";
    case notConnectedToInternet: return "The Internet connection appears to be offline.";
    case badServerResponse: return "The server returned a bad response.";
    case cannotDecodeContentData: return "The content could not be decoded.";
    case cannotParseResponse: return "cannot parse response";
    case dataLengthExceedsMaximum: return "The resource exceeds the maximum size.";
    case secureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case serverCertificateUntrusted: return "The certificate for this server is invalid.";
    case cannotCreateFile: return "The file could not be created.";
    case cannotWriteToFile: return "The file could not be written.";
    case unknown: break;
    }
    return "An unknown error occurred.";
}

std::ostream& operator<<(std::ostream& stream, const URLError& error) {
    stream << "URLError " << static_cast<int>(error.code) << " (" << error.description() << ")";
    if (!error.failingURL.empty()) stream << " for " << error.failingURL;
    if (!error.detail.empty()) stream << ": " << error.detail;
    if (error.networkUnavailableReason) {
        using Reason = URLError::NetworkUnavailableReason;
        switch (*error.networkUnavailableReason) {
        case Reason::cellular: stream << " [network unavailable: cellular]"; break;
        case Reason::expensive: stream << " [network unavailable: expensive]"; break;
        case Reason::constrained: stream << " [network unavailable: constrained]"; break;
        }
    }
    return stream;
}

std::ostream& operator<<(std::ostream& stream, const Request& request) {
    return stream << request.method << " " << (request.url ? request.url->absoluteString() : "(no URL)");
}

std::string statusText(int statusCode) {
    switch (statusCode) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 410: return "Gone";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "HTTP " + std::to_string(statusCode);
    }
}

std::ostream& operator<<(std::ostream& stream, const Response& response) {
    stream << response.statusCode << " " << (response.url ? response.url->absoluteString() : "(no URL)");
    if (!response.mimeType.empty()) stream << " (" << response.mimeType << ")";
    return stream;
}

}  // namespace net
