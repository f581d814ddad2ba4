#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "RefusingPort.h"
#include "data/Client.h"
#include "dispatch/Task.h"
#include "foundation/Print.h"
#include "net/Session.h"

namespace {

TEST(Client, returnsTheBodyWhateverTheStatus) {
    LoopbackServer loopback;
    loopback.server.Get("/ok.json", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"MRData":{}})", "application/json");
    });
    loopback.server.Get("/broken.json", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content(R"({"error":"down"})", "application/json");
    });
    loopback.start();

    EXPECT_EQ(dispatch::syncWait(Client::shared().run(loopback.text("/ok.json"))).toString(), R"({"MRData":{}})");
    EXPECT_EQ(dispatch::syncWait(Client::shared().run(loopback.text("/broken.json"))).toString(), R"({"error":"down"})");
}

TEST(Client, givesEmptyDataForTextsThatAreNoURLAndForTransportErrors) {
    EXPECT_TRUE(dispatch::syncWait(Client::shared().run("")).empty());
    EXPECT_TRUE(dispatch::syncWait(Client::shared().run("http://bad host/x.json")).empty());

    RefusingPort refusing;
    EXPECT_TRUE(dispatch::syncWait(Client::shared().run(refusing.url() + "current.json")).empty());
}

TEST(Client, aStalledServerEndsInEmptyDataAfterTheIdleTimeOut) {
    std::atomic<bool> released{false};
    LoopbackServer loopback;
    loopback.server.Get("/stall.json", [&](const httplib::Request&, httplib::Response& response) {
        // Headers go out, then nothing more until the test ends.
        response.set_chunked_content_provider("application/json", [&](size_t, httplib::DataSink& sink) {
            sink.write("{", 1);
            while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return false;
        });
    });
    loopback.start();

    net::SessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 1;
    Client client(net::Session::make(configuration));
    EXPECT_TRUE(dispatch::syncWait(client.run(loopback.text("/stall.json"))).empty());
    released = true;

    // The shared session every screen uses has a finite idle time-out too.
    EXPECT_GT(net::Session::shared()->configuration().timeoutIntervalForRequest, 0);
    EXPECT_LE(net::Session::shared()->configuration().timeoutIntervalForRequest, 60);
}

// The console lines about the loads of `addresses` (each an address's start; "" for the empty one). Loads
// that earlier tests' screens left running in this process may still log their own failures meanwhile.
std::string linesAbout(const std::string& text, const std::vector<std::string>& addresses) {
    std::string kept;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(text.data() + start, end - start);
        for (const std::string& address : addresses) {
            if (line.starts_with("Could not load " + address + (address.empty() ? ": " : ""))) {
                kept.append(line).push_back('\n');
                break;
            }
        }
    }
    return kept;
}

// What the screens read through: an error page is a failure with its status, logged once, never a body
// to decode.
TEST(Client, loadChecksTheStatusAndLogsEachFailureOnceWithItsAddress) {
    LoopbackServer loopback;
    loopback.server.Get("/ok.json", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"MRData":{}})", "application/json");
    });
    loopback.server.Get("/missing.json", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("<html><body>Not here</body></html>", "text/html");
    });
    loopback.server.Get("/forbidden.json", [](const httplib::Request&, httplib::Response& response) {
        response.status = 403;
        response.set_content("<html>no</html>", "text/html");
    });
    loopback.server.Get("/empty.json", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "application/json");
    });
    loopback.start();

    RefusingPort refusing;
    const std::vector<std::string> ours{loopback.text("/"), refusing.url(), ""};
    foundation::ConsoleCapture console;
    auto ok = dispatch::syncWait(Client::shared().load(loopback.text("/ok.json")));
    EXPECT_FALSE(ok.failure);
    EXPECT_EQ(ok.toString(), R"({"MRData":{}})");
    EXPECT_EQ(ok.address, loopback.text("/ok.json"));
    EXPECT_EQ(linesAbout(console.text(), ours), "");

    auto missing = dispatch::syncWait(Client::shared().load(loopback.text("/missing.json")));
    ASSERT_TRUE(missing.failure);
    EXPECT_EQ(missing.failure->status, 404);
    EXPECT_TRUE(missing.empty()) << "the error page is not handed on";
    EXPECT_EQ(linesAbout(console.text(), ours), "Could not load " + loopback.text("/missing.json") + ": 404 Not Found\n");

    auto forbidden = dispatch::syncWait(Client::shared().load(loopback.text("/forbidden.json")));
    ASSERT_TRUE(forbidden.failure);
    EXPECT_EQ(forbidden.failureDescription(), loopback.text("/forbidden.json") + ": 403 Forbidden");

    auto empty = dispatch::syncWait(Client::shared().load(loopback.text("/empty.json")));
    ASSERT_TRUE(empty.failure);
    EXPECT_EQ(empty.failureDescription(), loopback.text("/empty.json") + ": 200 OK, but the body is empty");

    auto refused = dispatch::syncWait(Client::shared().load(refusing.url() + "current.json"));
    ASSERT_TRUE(refused.failure);
    EXPECT_EQ(refused.failure->status, 0);
    EXPECT_FALSE(refused.failure->reason.empty());

    auto notAnAddress = dispatch::syncWait(Client::shared().load(""));
    ASSERT_TRUE(notAnAddress.failure);

    // One line per failure, each naming its address.
    const std::string lines = linesAbout(console.text(), ours);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5) << lines;
    EXPECT_NE(lines.find("Could not load " + refusing.url() + "current.json: "), std::string::npos) << lines;
}

}  // namespace
