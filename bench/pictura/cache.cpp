// The image cache against reading and decoding the same file directly: a memory hit, a disk hit of a
// PNG of about 100 KB (read, decode, its date update queued), and a store (in memory, then encoded
// and written on the disk queue).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <future>
#include <memory>
#include <string>

#include "NoiseBitmap.h"
#include "foundation/FileManager.h"
#include "gfx/ImageEncoder.h"
#include "pictura/ImageCache.h"

namespace {

using pictura::ImageCache;

// 170 x 170 pixels of noise give a PNG of about 100 KB.
std::shared_ptr<gfx::Image> noiseImage() { return gfx::Image::fromBitmap(sorvane::bench::noiseBitmap(170, 170, 7)); }

struct Fixture {
    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pictura-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        cache = *ImageCache::create("bench", folder);
        options.callbackQueue = pictura::CallbackQueue::untouch();
        options.loadDiskFileSynchronously = true;
        image = noiseImage();
        png = *gfx::encodePng(*image->bitmap());
        std::promise<void> stored;
        cache->storeToDisk(png, key, "", std::nullopt, pictura::CallbackQueue::untouch(),
                           [&](pictura::CacheStoreResult) { stored.set_value(); });
        stored.get_future().get();
        cache->store(image, png, key, options, false);
        path = cache->cachePath(key);
    }
    ~Fixture() {
        cache->ioQueue()->sync([] {});
        cache->diskStorage()->files().waitForPendingDateUpdates();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
    std::shared_ptr<ImageCache> cache;
    pictura::PicturaParsedOptionsInfo options;
    std::shared_ptr<gfx::Image> image;
    foundation::Data png;
    std::string key = "https://media.formula1.com/content/dam/fom-website/drivers/2024Drivers/verstappen.png";
    std::string path;
};

void memoryHit(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) benchmark::DoNotOptimize(f.cache->retrieveImageInMemoryCache(f.key, f.options));
}
BENCHMARK(memoryHit);

void diskHit(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        std::shared_ptr<gfx::Image> found;
        f.cache->retrieveImageInDiskCache(f.key, f.options, pictura::CallbackQueue::untouch(),
                                          [&](auto result) { found = result.value_or(nullptr); });
        benchmark::DoNotOptimize(found);
    }
    state.counters["png_bytes"] = static_cast<double>(f.png.size());
}
BENCHMARK(diskHit)->Unit(benchmark::kMicrosecond);

void directReadAndDecode(benchmark::State& state) {
    Fixture f;
    const auto fileManager = foundation::FileManager::defaultManager();
    for (auto _ : state) {
        auto data = fileManager->readData(f.path);
        benchmark::DoNotOptimize(gfx::Image::fromData(*data));
    }
}
BENCHMARK(directReadAndDecode)->Unit(benchmark::kMicrosecond);

void store(benchmark::State& state) {
    Fixture f;
    int index = 0;
    for (auto _ : state) {
        std::promise<void> stored;
        f.cache->store(f.image, f.png, "store-" + std::to_string(index++ % 16), f.options, true,
                       [&](pictura::CacheStoreResult) { stored.set_value(); });
        stored.get_future().get();
    }
}
BENCHMARK(store)->Unit(benchmark::kMicrosecond);

// What a store costs without the cache: the PNG encoding and the file write.
void directEncodeAndWrite(benchmark::State& state) {
    Fixture f;
    const auto fileManager = foundation::FileManager::defaultManager();
    const auto path = f.folder / "direct.png";
    for (auto _ : state) {
        auto data = gfx::encodePng(*f.image->bitmap());
        benchmark::DoNotOptimize(fileManager->write(path, *data));
    }
}
BENCHMARK(directEncodeAndWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
