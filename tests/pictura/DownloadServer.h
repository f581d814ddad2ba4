#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "gfx/ImageEncoder.h"

inline gfx::Bitmap noiseBitmap(int width, int height, unsigned seed) {
    auto bitmap = gfx::Bitmap::make(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.row(y)[x] = 0xff000000u | (random() & 0xffffffu);
    return bitmap;
}

// A PNG of `width` x `height` noise pixels (noise so that the size follows the pixel count).
inline foundation::Data noisePng(int width, int height, unsigned seed = 1) {
    return *gfx::encodePng(noiseBitmap(width, height, seed));
}

// A loopback server of pictures and misbehaviours, counting the requests of each path.
//   /image/<name>       a 16 x 16 PNG
//   /held/<name>        the same, once the test opens the gate
//   /status/<code>      that status with a PNG body
//   /redirect/<target>  302 to the Location given in the path ("~" stands for "/")
//   /unsized/<name>     the PNG without a stated length
//   /stall              the head, then nothing until the test ends
//   /endless            a body without length that never ends
//   /text               a body that is not a picture
//   /seeded/<n>.png|jpg a 16 x 16 picture of its own for each number
//   /big-header         the PNG after a header of 1 MiB
//   /trickle            a byte at a time, never idle for long, never done until the test ends
class DownloadServer {
public:
    DownloadServer() {
        auto& server = loopback.server;
        server.Get(R"(/image/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_content(picture.toString(), "image/png");
        });
        server.Get(R"(/held/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            waitForGate();
            response.set_content(picture.toString(), "image/png");
        });
        server.Get(R"(/status/(\d+))", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.status = std::stoi(request.matches[1]);
            response.set_content(picture.toString(), "image/png");
        });
        server.Get(R"(/redirect/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            std::string location = request.matches[1];
            for (auto& character : location)
                if (character == '~') character = '/';
            response.status = 302;
            response.set_header("Location", location);
        });
        server.Get("/stall", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_content_provider(1000, "image/png", [this](size_t, size_t, httplib::DataSink&) {
                waitForGate();
                return false;
            });
        });
        server.Get("/endless", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_chunked_content_provider("image/png", [](size_t, httplib::DataSink& sink) {
                static const std::string block(64 * 1024, 'x');
                return sink.write(block.data(), block.size());
            });
        });
        server.Get(R"(/unsized/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_chunked_content_provider("image/png", [this](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) sink.write(reinterpret_cast<const char*>(picture.data()), picture.size());
                else sink.done();
                return true;
            });
        });
        server.Get(R"(/seeded/(\d+)\.(png|jpg))", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            const auto bitmap = noiseBitmap(16, 16, static_cast<unsigned>(std::stoul(request.matches[1])));
            const bool png = request.matches[2] == "png";
            const auto bytes = png ? *gfx::encodePng(bitmap) : *gfx::encodeJpeg(bitmap, 0.9);
            response.set_content(bytes.toString(), png ? "image/png" : "image/jpeg");
        });
        server.Get("/big-header", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_header("X-Padding", std::string(1024 * 1024, 'p'));
            response.set_content(picture.toString(), "image/png");
        });
        server.Get("/trickle", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_chunked_content_provider("image/png", [this](size_t, httplib::DataSink& sink) {
                std::unique_lock guard(lock);
                // A byte every tenth of a second until the test ends.
                if (changed.wait_for(guard, std::chrono::milliseconds(100), [&] { return open; })) return false;
                guard.unlock();
                return sink.write("x", 1);
            });
        });
        server.Get("/text", [this](const httplib::Request& request, httplib::Response& response) {
            count(request.path);
            response.set_content("not a picture", "text/plain");
        });
        // One answer a connection: no idle connection is left for stopping the server to wait on.
        server.set_keep_alive_max_count(1);
        loopback.start();
    }
    ~DownloadServer() { openGate(); }

    foundation::URL url(const std::string& path) const { return loopback.url(path); }
    std::string text(const std::string& path) const { return loopback.text(path); }

    int hits(const std::string& path) {
        std::lock_guard guard(lock);
        return counts[path];
    }
    // True once `path` has been asked for at least `count` times; false after a generous wait.
    bool waitForHits(const std::string& path, int count = 1) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(30), [&] { return counts[path] >= count; });
    }
    void openGate() {
        {
            std::lock_guard guard(lock);
            open = true;
        }
        changed.notify_all();
    }

    const foundation::Data picture = noisePng(16, 16);

private:
    void count(const std::string& path) {
        {
            std::lock_guard guard(lock);
            ++counts[path];
        }
        changed.notify_all();
    }
    void waitForGate() {
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::seconds(30), [&] { return open; });
    }

    std::mutex lock;
    std::condition_variable changed;
    std::map<std::string, int> counts;
    bool open = false;
    LoopbackServer loopback;
};
