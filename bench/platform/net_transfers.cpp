#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <future>
#include <latch>
#include <thread>

#include "BenchSmoke.h"
#include "RawServer.h"
#include "net/Session.h"

using namespace net;

namespace {

// The smoke run moves a few small bodies and one of 1 MiB: it only shows that every path still runs.
const int concurrentTransfers = sorvane::bench::smokeRun() ? 20 : 200;
const std::size_t largeBodySize = (sorvane::bench::smokeRun() ? 1 : 50) * 1024 * 1024;

// One loopback server for the whole run: a small resource and a 50 MB one.
struct Server {
    Server() {
        server.set_keep_alive_max_count(100000);
        server.set_tcp_nodelay(true);
        // Idle pooled connections hold a server thread each; leave room for every client measured.
        server.new_task_queue = [] { return new httplib::ThreadPool(64); };
        server.Get("/small", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(512, 's'), "application/octet-stream");
        });
        server.Get("/large", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(largeBody.size(), "application/octet-stream",
                                          [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                              sink.write(largeBody.data() + offset, std::min<size_t>(length, 1 << 20));
                                              return true;
                                          });
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Server() {
        server.stop();
        thread.join();
    }
    std::string text(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    foundation::URL url(const std::string& path) const { return *foundation::URL::fromString(text(path)); }

    static Server& shared() {
        static Server server;
        return server;
    }

    std::string largeBody = std::string(largeBodySize, 'L');
    httplib::Server server;
    int port = 0;
    std::thread thread;
};

// 46,000 distinct header field names of three characters each: as fields without values, just under
// curl's cap on the size of a response's headers.
std::vector<std::string> floodNames() {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::vector<std::string> names;
    for (int field = 0; field < 46000; ++field)
        names.push_back(std::string{alphabet[field % 36], alphabet[field / 36 % 36], alphabet[field / 1296 % 36]});
    return names;
}

// An answer carrying them all: the cost of filing them falls on the network thread.
std::string headerFlood() {
    std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
    for (const auto& name : floodNames()) answer += name + ":\r\n";
    return answer + "\r\n";
}

// One request at a time, its answer refused or not: only the time it holds the session counts.
void fetchOne(const std::shared_ptr<Session>& session, const foundation::URL& url) {
    std::promise<void> done;
    session->data(url, [&](DataResult result) {
        benchmark::DoNotOptimize(result.has_value());
        done.set_value();
    });
    done.get_future().wait();
}

void fetchAll(const std::shared_ptr<Session>& session, const foundation::URL& url, int count) {
    std::latch done(count);
    for (int index = 0; index < count; ++index)
        session->data(url, [&](DataResult result) {
            if (!result) {
                std::cerr << result.error() << "\n";
                std::abort();
            }
            benchmark::DoNotOptimize(result->first.size());
            done.count_down();
        });
    done.wait();
}

// The curl command-line tool fetching the same URLs in parallel over as many connections as the session
// uses (six per host), as the yardstick.
void curlTool(const std::string& url, int count) {
    static const std::string config = [&] {
        std::string path = "/tmp/sorvane-net-bench-" + std::to_string(::getpid()) + ".curlrc";
        std::ofstream file(path);
        for (int index = 0; index < count; ++index) file << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
        return path;
    }();
    std::string command = "curl -s --parallel --parallel-max 6 -K " + config;
    if (std::system(command.c_str()) != 0) std::abort();
}

}  // namespace

static void BM_ConcurrentSmallTransfers(benchmark::State& state) {
    auto& server = Server::shared();
    auto session = Session::make();
    for (auto _ : state) fetchAll(session, server.url("/small"), concurrentTransfers);
    state.SetItemsProcessed(state.iterations() * concurrentTransfers);
}
BENCHMARK(BM_ConcurrentSmallTransfers)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_CurlToolConcurrentSmallTransfers(benchmark::State& state) {
    auto& server = Server::shared();
    for (auto _ : state) curlTool(server.text("/small"), concurrentTransfers);
    state.SetItemsProcessed(state.iterations() * concurrentTransfers);
}
BENCHMARK(BM_CurlToolConcurrentSmallTransfers)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_Large50MBTransfer(benchmark::State& state) {
    auto& server = Server::shared();
    auto session = Session::make();
    for (auto _ : state) fetchAll(session, server.url("/large"), 1);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(largeBodySize));
}
BENCHMARK(BM_Large50MBTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_CurlToolLarge50MBTransfer(benchmark::State& state) {
    auto& server = Server::shared();
    for (auto _ : state) {
        std::string command = "curl -s -o /dev/null " + server.text("/large");
        if (std::system(command.c_str()) != 0) std::abort();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(largeBodySize));
}
BENCHMARK(BM_CurlToolLarge50MBTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

// One answer of an in-process handler, from resume to completion on the delegate queue.
static void BM_InProcessProtocolAnswer(benchmark::State& state) {
    SessionConfiguration configuration;
    configuration.protocols = std::make_shared<ProtocolRegistry>();
    configuration.protocols->registerHandler("offline.season", [](const Request&) {
        return std::expected<ProtocolAnswer, URLError>(
            ProtocolAnswer{Response::make({}, 200, {}), foundation::Data::fromString("{\"MRData\":{}}")});
    });
    auto session = Session::make(configuration);
    auto url = *foundation::URL::fromString("http://offline.season/api/f1/current.json");
    for (auto _ : state) fetchAll(session, url, 1);
}
BENCHMARK(BM_InProcessProtocolAnswer)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A response flooded with header fields against a plain small one, each fetched alone on a fresh connection.
static void BM_HeaderFloodResponse(benchmark::State& state) {
    static const std::string answer = headerFlood();
    static RawServer flood([](int connection) { RawServer::send(connection, answer); });
    const auto url = *foundation::URL::fromString(flood.text());
    auto session = Session::make(SessionConfiguration::ephemeralConfiguration());
    for (auto _ : state) fetchOne(session, url);
}
BENCHMARK(BM_HeaderFloodResponse)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_SmallResponseAlone(benchmark::State& state) {
    auto& server = Server::shared();
    auto session = Session::make(SessionConfiguration::ephemeralConfiguration());
    for (auto _ : state) fetchOne(session, server.url("/small"));
}
BENCHMARK(BM_SmallResponseAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

// Filing the flood's fields, against only copying them into a list: filing stays linear.
static void BM_FileFloodFields(benchmark::State& state) {
    const auto names = floodNames();
    for (auto _ : state) {
        HTTPHeaders headers;
        for (const auto& name : names) headers.add(name, "");
        benchmark::DoNotOptimize(headers.size());
    }
}
BENCHMARK(BM_FileFloodFields)->Unit(benchmark::kMillisecond);

static void BM_CopyFloodFields(benchmark::State& state) {
    const auto names = floodNames();
    for (auto _ : state) {
        std::vector<std::pair<std::string, std::string>> copied;
        for (const auto& name : names) copied.emplace_back(name, "");
        benchmark::DoNotOptimize(copied.size());
    }
}
BENCHMARK(BM_CopyFloodFields)->Unit(benchmark::kMillisecond);
