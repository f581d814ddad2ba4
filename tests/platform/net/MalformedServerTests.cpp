#include <gtest/gtest.h>

#include "RawServer.h"
#include "Recorder.h"

using namespace net;

namespace {

DataResult fetchFrom(const RawServer& server) {
    auto session = Session::make(SessionConfiguration::ephemeralConfiguration());
    return fetch(session, server.text());
}

}  // namespace

TEST(MalformedServer, garbageOrAHeaderWithoutColonIsABadResponse) {
    RawServer garbage([](int connection) { RawServer::send(connection, "this is not http at all\r\n\r\n"); });
    EXPECT_EQ(fetchFrom(garbage).error().code, URLError::badServerResponse);

    RawServer noColon([](int connection) {
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nno colon here\r\nContent-Length: 4\r\n\r\nbody");
    });
    EXPECT_EQ(fetchFrom(noColon).error().code, URLError::badServerResponse);
}

TEST(MalformedServer, closedOrResetConnectionsAreLost) {
    RawServer empty([](int) {});
    EXPECT_EQ(fetchFrom(empty).error().code, URLError::networkConnectionLost);

    RawServer truncated([](int connection) {
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part");
    });
    EXPECT_EQ(fetchFrom(truncated).error().code, URLError::networkConnectionLost);

    RawServer resetting([](int connection) {
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        RawServer::reset(connection);
    });
    EXPECT_EQ(fetchFrom(resetting).error().code, URLError::networkConnectionLost);
}

TEST(MalformedServer, paddedAndRepeatedHeadersAreTidied) {
    RawServer server([](int connection) {
        RawServer::send(connection,
                        "HTTP/1.1 200 OK\r\nX-Spaced:   padded value  \r\nx-twice: 1\r\nX-Twice: 2\r\n"
                        "Content-Length: 4\r\nConnection: close\r\n\r\nbody");
    });
    auto answer = fetchFrom(server);
    ASSERT_TRUE(answer.has_value()) << answer.error();
    EXPECT_EQ(answer->first.toString(), "body");
    EXPECT_EQ(answer->second.headers.value("x-spaced"), "padded value");
    EXPECT_EQ(answer->second.headers.value("X-TWICE"), "1, 2");
}

TEST(MalformedServer, tooManyHeaderFieldsAreABadResponse) {
    RawServer flood([](int connection) {
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
        for (int field = 0; field < 1000; ++field) answer += "F" + std::to_string(field) + ": 1\r\n";
        RawServer::send(connection, answer + "\r\nbody");
    });
    EXPECT_EQ(fetchFrom(flood).error().code, URLError::badServerResponse);
}

TEST(MalformedServer, hugeHeadersAndUndecodableBodiesFailCleanly) {
    RawServer huge([](int connection) {
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nX-Huge: " + std::string(300000, 'h') + "\r\n\r\n");
    });
    EXPECT_EQ(fetchFrom(huge).error().code, URLError::badServerResponse);

    RawServer undecodable([](int connection) {
        RawServer::send(connection,
                        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 12\r\n"
                        "Connection: close\r\n\r\nnot gzip at all");
    });
    EXPECT_EQ(fetchFrom(undecodable).error().code, URLError::cannotDecodeContentData);
}
