#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "RawServer.h"
#include "Recorder.h"

using namespace net;

namespace {

// An allocation of exactly this many bytes fails while it is set: memory running out at one place.
std::atomic<std::size_t> failingAllocationSize{0};

DataResult fetchFrom(const RawServer& server) {
    auto session = Session::make(SessionConfiguration::ephemeralConfiguration());
    return fetch(session, server.text());
}

// The code a fetch failed with; 0 when it succeeded.
int failureOf(const DataResult& result) { return result ? 0 : result.error().code; }

}  // namespace

void* operator new(std::size_t size) {
    if (size != 0 && size == failingAllocationSize.load(std::memory_order_relaxed)) throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

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

TEST(MalformedServer, trailerFieldsCountAgainstTheFieldLimit) {
    RawServer trailers([](int connection) {
        std::string answer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n";
        for (int field = 0; field < 1000; ++field) answer += "t: 1\r\n";
        RawServer::send(connection, answer + "\r\n");
    });
    EXPECT_EQ(failureOf(fetchFrom(trailers)), URLError::badServerResponse);
}

TEST(MalformedServer, aRepeatedFieldCountsOnceForEachLine) {
    RawServer repeated([](int connection) {
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
        for (int field = 0; field < 1000; ++field) answer += "X-Same: 1\r\n";
        RawServer::send(connection, answer + "\r\nbody");
    });
    EXPECT_EQ(failureOf(fetchFrom(repeated)), URLError::badServerResponse);
}

TEST(MalformedServer, interimResponsesCountTowardsTheTransfersLimits) {
    RawServer interim([](int connection) {
        std::string answer;
        for (int response = 0; response < 400; ++response) answer += "HTTP/1.1 100 Continue\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n";
        RawServer::send(connection, answer + "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody");
    });
    EXPECT_EQ(failureOf(fetchFrom(interim)), URLError::badServerResponse);
}

TEST(MalformedServer, theHeadsBytesHaveALimitOverAllItsLines) {
    RawServer large([](int connection) {
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
        for (int field = 0; field < 20; ++field) answer += "F" + std::to_string(field) + ": " + std::string(60000, 'v') + "\r\n";
        RawServer::send(connection, answer + "\r\nbody");
    });
    EXPECT_EQ(failureOf(fetchFrom(large)), URLError::badServerResponse);
}

TEST(MalformedServer, memoryRunningOutOnTheWayEndsTheTransferNotTheProcess) {
    // The stated length sizes the gathered body at once, inside curl's header callback.
    constexpr std::size_t stated = 7654321;
    RawServer server([](int connection) {
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(stated) + "\r\n\r\nstart");
    });
    failingAllocationSize = stated;
    auto answer = fetchFrom(server);
    failingAllocationSize = 0;
    ASSERT_FALSE(answer.has_value());
    EXPECT_EQ(answer.error().code, URLError::unknown);
    EXPECT_EQ(answer.error().detail, "out of memory");
}
