// 500 distinct pictures of 20 to 100 KB through the downloader, against the curl command-line tool
// fetching the same URLs in its parallel mode over as many connections as the session uses (six per
// host). The downloader is measured whole (each picture decoded on its processing queue) and with a
// processor that decodes nothing, beside the bare session it stands on, to tell the costs apart.
// Then 200 small and 20 large pictures fetched one after another without decoding, against libcurl in
// this program: the first measures the cost of each request, the second that of each byte.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSmoke.h"
#include "gfx/Bitmap.h"
#include "gfx/ImageEncoder.h"
#include "net/Session.h"
#include "pictura/ImageDownloader.h"

namespace {

// The smoke run fetches a few of each: it only shows that every path still runs.
const int pictureCount = sorvane::bench::smokeRun() ? 20 : 500;
const int largePictureCount = sorvane::bench::smokeRun() ? 2 : 20;
// Four distinct bodies of about 4 MB, served under 20 names.
constexpr int largePictureSide = 1024;
constexpr int distinctLargePictures = 4;

// Noise compresses badly, so the PNG size follows the pixel count: 72 to 160 pixels square.
foundation::Data noisePng(int side, std::mt19937& random) {
    auto bitmap = gfx::Bitmap::make(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) bitmap.row(y)[x] = 0xff000000u | (random() & 0xffffffu);
    return *gfx::encodePng(bitmap);
}

struct Server {
    Server() {
        std::mt19937 random(21);
        std::uniform_int_distribution<int> side(72, 160);
        for (int index = 0; index < pictureCount; ++index) pictures.push_back(noisePng(side(random), random).toString());
        server.set_keep_alive_max_count(100000);
        server.set_tcp_nodelay(true);
        server.new_task_queue = [] { return new httplib::ThreadPool(64); };
        for (int index = 0; index < distinctLargePictures; ++index)
            largePictures.push_back(noisePng(largePictureSide, random).toString());
        server.Get(R"(/picture/(\d+)\.png)", [this](const httplib::Request& request, httplib::Response& response) {
            response.set_content(pictures.at(std::stoul(request.matches[1])), "image/png");
        });
        server.Get(R"(/large/(\d+)\.png)", [this](const httplib::Request& request, httplib::Response& response) {
            response.set_content(largePictures.at(std::stoul(request.matches[1]) % largePictures.size()), "image/png");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (int index = 0; index < pictureCount; ++index)
            urls.push_back("http://127.0.0.1:" + std::to_string(port) + "/picture/" + std::to_string(index) + ".png");
        for (int index = 0; index < largePictureCount; ++index)
            largeURLs.push_back("http://127.0.0.1:" + std::to_string(port) + "/large/" + std::to_string(index) + ".png");
    }
    ~Server() {
        server.stop();
        thread.join();
    }
    static Server& shared() {
        static Server server;
        return server;
    }
    std::int64_t totalBytes() const {
        std::int64_t total = 0;
        for (const auto& picture : pictures) total += static_cast<std::int64_t>(picture.size());
        return total;
    }
    std::int64_t totalLargeBytes() const {
        std::int64_t total = 0;
        for (int index = 0; index < largePictureCount; ++index)
            total += static_cast<std::int64_t>(largePictures[index % largePictures.size()].size());
        return total;
    }

    std::vector<std::string> pictures;
    std::vector<std::string> urls;
    std::vector<std::string> largePictures;
    std::vector<std::string> largeURLs;
    httplib::Server server;
    int port = 0;
    std::thread thread;
};

// Hands every download the same one-pixel image: the transfers without the decoding.
class NoDecoding final : public pictura::ImageProcessor {
public:
    std::string identifier() const override { return "bench.no-decoding"; }
    std::shared_ptr<gfx::Image> process(const pictura::ImageProcessItem&,
                                        const pictura::PicturaParsedOptionsInfo&) const override {
        return image;
    }
    std::shared_ptr<gfx::Image> image = gfx::Image::fromBitmap(gfx::Bitmap::make(1, 1));
};

// A completion that stops the run on a failure and otherwise counts the picture in.
pictura::ImageDownloader::CompletionHandler countingDown(std::latch& done) {
    return [&done](const pictura::ImageLoadingOutcome& outcome) {
        if (!outcome) {
            std::cerr << outcome.error() << "\n";
            std::abort();
        }
        benchmark::DoNotOptimize(outcome->image->pixelWidth());
        benchmark::DoNotOptimize(outcome->originalData->size());
        done.count_down();
    };
}

void fetchThroughDownloader(benchmark::State& state, std::shared_ptr<const pictura::ImageProcessor> processor) {
    auto& server = Server::shared();
    std::vector<foundation::URL> urls;
    for (const auto& text : server.urls) urls.push_back(*foundation::URL::fromString(text));
    auto downloader = pictura::ImageDownloader::make("bench");
    pictura::PicturaParsedOptionsInfo options;
    options.callbackQueue = pictura::CallbackQueue::untouch();
    options.processor = std::move(processor);
    for (auto _ : state) {
        std::latch done(pictureCount);
        for (const auto& url : urls) downloader->downloadImage(url, options, countingDown(done));
        done.wait();
    }
    state.SetItemsProcessed(state.iterations() * pictureCount);
    state.SetBytesProcessed(state.iterations() * server.totalBytes());
}

void downloaderFetchesAndDecodesDistinctPictures(benchmark::State& state) {
    fetchThroughDownloader(state, pictura::DefaultImageProcessor::defaultProcessor());
}
BENCHMARK(downloaderFetchesAndDecodesDistinctPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

void downloaderFetchesDistinctPicturesWithoutDecoding(benchmark::State& state) {
    fetchThroughDownloader(state, std::make_shared<NoDecoding>());
}
BENCHMARK(downloaderFetchesDistinctPicturesWithoutDecoding)->Unit(benchmark::kMillisecond)->UseRealTime();

void sessionFetchesDistinctPictures(benchmark::State& state) {
    auto& server = Server::shared();
    std::vector<foundation::URL> urls;
    for (const auto& text : server.urls) urls.push_back(*foundation::URL::fromString(text));
    auto session = net::Session::make(net::SessionConfiguration::ephemeralConfiguration());
    for (auto _ : state) {
        std::latch done(pictureCount);
        for (const auto& url : urls)
            session->data(url, [&done](const net::DataResult& result) {
                if (!result) std::abort();
                done.count_down();
            });
        done.wait();
    }
    state.SetItemsProcessed(state.iterations() * pictureCount);
    state.SetBytesProcessed(state.iterations() * server.totalBytes());
}
BENCHMARK(sessionFetchesDistinctPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

void curlToolFetchesDistinctPictures(benchmark::State& state) {
    auto& server = Server::shared();
    const std::string config = "/tmp/sorvane-pictura-bench-" + std::to_string(::getpid()) + ".curlrc";
    {
        std::ofstream file(config);
        for (const auto& url : server.urls) file << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
    }
    const std::string command = "curl -s --no-progress-meter --parallel --parallel-max 6 -K " + config;
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) std::abort();
    std::remove(config.c_str());
    state.SetItemsProcessed(state.iterations() * pictureCount);
    state.SetBytesProcessed(state.iterations() * server.totalBytes());
}
BENCHMARK(curlToolFetchesDistinctPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each picture waits for the one before, so every hop between threads adds to the time.
void fetchOneByOneThroughDownloader(const std::vector<std::string>& texts) {
    // Never destroyed: its transfers may still be ending while the process exits.
    static const auto& downloader = *new auto(pictura::ImageDownloader::make("bench-one-by-one"));
    static const auto options = [] {
        pictura::PicturaParsedOptionsInfo options;
        options.callbackQueue = pictura::CallbackQueue::untouch();
        options.processor = std::make_shared<NoDecoding>();
        return options;
    }();
    for (const auto& text : texts) {
        std::latch done(1);
        downloader->downloadImage(*foundation::URL::fromString(text), options, countingDown(done));
        done.wait();
    }
}

std::size_t appendBody(char* bytes, std::size_t size, std::size_t count, void* body) {
    static_cast<std::vector<char>*>(body)->insert(static_cast<std::vector<char>*>(body)->end(), bytes, bytes + size * count);
    return size * count;
}

// One reused handle (so one kept-alive connection), each body gathered in memory as a program would.
void fetchOneByOneThroughLibcurl(const std::vector<std::string>& urls) {
    static CURL* const easy = curl_easy_init();
    for (const auto& url : urls) {
        std::vector<char> body;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &appendBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
        if (curl_easy_perform(easy) != CURLE_OK) std::abort();
        benchmark::DoNotOptimize(body.data());
    }
}

const int oneByOneSmallCount = sorvane::bench::smokeRun() ? 10 : 200;

template <class Fetch>
void fetchOneByOne(benchmark::State& state, const std::vector<std::string>& urls, std::int64_t bytes, Fetch fetch) {
    for (auto _ : state) fetch(urls);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(urls.size()));
    if (bytes > 0) state.SetBytesProcessed(state.iterations() * bytes);
}

const std::vector<std::string>& smallOneByOneURLs() {
    static const std::vector<std::string> urls(Server::shared().urls.begin(),
                                               Server::shared().urls.begin() + oneByOneSmallCount);
    return urls;
}

void downloaderFetchesSmallPicturesOneByOneWithoutDecoding(benchmark::State& state) {
    fetchOneByOne(state, smallOneByOneURLs(), 0, fetchOneByOneThroughDownloader);
}
BENCHMARK(downloaderFetchesSmallPicturesOneByOneWithoutDecoding)->Unit(benchmark::kMillisecond)->UseRealTime();

void libcurlFetchesSmallPicturesOneByOne(benchmark::State& state) {
    fetchOneByOne(state, smallOneByOneURLs(), 0, fetchOneByOneThroughLibcurl);
}
BENCHMARK(libcurlFetchesSmallPicturesOneByOne)->Unit(benchmark::kMillisecond)->UseRealTime();

void downloaderFetchesLargePicturesOneByOneWithoutDecoding(benchmark::State& state) {
    auto& server = Server::shared();
    fetchOneByOne(state, server.largeURLs, server.totalLargeBytes(), fetchOneByOneThroughDownloader);
}
BENCHMARK(downloaderFetchesLargePicturesOneByOneWithoutDecoding)->Unit(benchmark::kMillisecond)->UseRealTime();

void libcurlFetchesLargePicturesOneByOne(benchmark::State& state) {
    auto& server = Server::shared();
    fetchOneByOne(state, server.largeURLs, server.totalLargeBytes(), fetchOneByOneThroughLibcurl);
}
BENCHMARK(libcurlFetchesLargePicturesOneByOne)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
