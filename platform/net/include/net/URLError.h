#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace net {

// A transport failure, with the platform's error codes so that callers can compare them as they expect.
struct URLError {
    enum Code : int {
        unknown = -1,
        cancelled = -999,
        badURL = -1000,
        timedOut = -1001,
        unsupportedURL = -1002,
        cannotFindHost = -1003,
        cannotConnectToHost = -1004,
        networkConnectionLost = -1005,
        httpTooManyRedirects = -1007,
        notConnectedToInternet = -1009,
        badServerResponse = -1011,
        cannotDecodeContentData = -1016,
        cannotParseResponse = -1017,
        dataLengthExceedsMaximum = -1103,
        secureConnectionFailed = -1200,
        serverCertificateUntrusted = -1202,
        cannotCreateFile = -3000,
        cannotWriteToFile = -3003,
    };

    // Why a request was refused without trying the network. Linux has no low-data or expensive-network
    // mode, so the transport never sets it; callers and tests that stand in for the platform do.
    enum class NetworkUnavailableReason { cellular = 0, expensive = 1, constrained = 2 };

    URLError() = default;
    URLError(Code code, std::string failingURL = {}, std::string detail = {})
        : code(code), failingURL(std::move(failingURL)), detail(std::move(detail)) {}

    Code code = unknown;
    std::string failingURL;
    std::string detail;  // what the transport said, when it said something
    std::optional<NetworkUnavailableReason> networkUnavailableReason;

    // A sentence for the code, as a user would read it.
    std::string description() const;

    friend bool operator==(const URLError&, const URLError&) = default;
};

std::ostream& operator<<(std::ostream& stream, const URLError& error);

}  // namespace net
