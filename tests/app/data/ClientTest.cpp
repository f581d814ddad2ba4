#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "LoopbackServer.h"
#include "RefusingPort.h"
#include "data/Client.h"
#include "dispatch/Task.h"
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

}  // namespace
