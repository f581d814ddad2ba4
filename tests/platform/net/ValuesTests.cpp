#include <gtest/gtest.h>

#include <sstream>

#include "net/Response.h"
#include "net/URLError.h"

using namespace net;

TEST(HTTPHeaders, namesMatchWithoutCaseAndRepeatsJoin) {
    HTTPHeaders headers{{"Content-Type", "text/plain"}, {"Set-Thing", "a"}};
    headers.add("set-thing", "b");
    EXPECT_EQ(headers.value("content-type"), "text/plain");
    EXPECT_EQ(headers.value("SET-THING"), "a, b");
    headers.set("CONTENT-TYPE", "image/png");
    EXPECT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.value("Content-Type"), "image/png");
    EXPECT_FALSE(headers.value("Missing"));
}

TEST(Response, derivesLengthTypeAndEncodingFromHeaders) {
    auto response = Response::make(foundation::URL::fromString("http://a/b"), 200,
                                   {{"content-length", " 42 "}, {"Content-Type", "Text/HTML; Charset=\"UTF-8\""}});
    EXPECT_EQ(response.expectedContentLength, 42);
    EXPECT_EQ(response.mimeType, "text/html");
    EXPECT_EQ(response.textEncodingName, "utf-8");
    EXPECT_TRUE(response.isHTTP());

    auto unknownLength = Response::make(foundation::URL::fromString("http://a/b"), 200, {{"Content-Length", "12abc"}});
    EXPECT_EQ(unknownLength.expectedContentLength, -1);
    EXPECT_TRUE(unknownLength.mimeType.empty());
}

TEST(URLError, printsCodeDescriptionAndURL) {
    std::ostringstream text;
    text << URLError(URLError::timedOut, "http://127.0.0.1/x");
    EXPECT_EQ(text.str(), "URLError -1001 (The request timed out.) for http://127.0.0.1/x");
    EXPECT_EQ(URLError::cancelled, -999);
    EXPECT_EQ(URLError::serverCertificateUntrusted, -1202);
}

TEST(URLError, carriesWhyTheNetworkWasUnavailable) {
    URLError refused(URLError::notConnectedToInternet, "https://media.test/a.png");
    EXPECT_FALSE(refused.networkUnavailableReason);
    refused.networkUnavailableReason = URLError::NetworkUnavailableReason::constrained;

    std::ostringstream text;
    text << refused;
    EXPECT_EQ(text.str(), "URLError -1009 (The Internet connection appears to be offline.) for "
                          "https://media.test/a.png [network unavailable: constrained]");
    EXPECT_EQ(static_cast<int>(URLError::NetworkUnavailableReason::cellular), 0);
    EXPECT_EQ(static_cast<int>(URLError::NetworkUnavailableReason::expensive), 1);
    EXPECT_EQ(static_cast<int>(URLError::NetworkUnavailableReason::constrained), 2);

    URLError plain(URLError::notConnectedToInternet, "https://media.test/a.png");
    EXPECT_NE(refused, plain);  // the reason takes part in equality
}
