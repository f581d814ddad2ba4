// Set-image on an image view against the retrieval it wraps: a memory hit through the manager alone,
// and the same hit through set-image (placeholder, identifier, stale check and the per-view values), for
// one view and for a screenful of rows, each its own view.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pictura/ImageCache.h"
#include "pictura/PlatformWrappers.h"

namespace {

// The shared manager's default cache lives in the caches folder: a scratch one, set before anything asks
// and removed at exit.
struct Scratch {
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pictura-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        ::setenv("SORVANE_CACHES_DIR", folder.c_str(), 1);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::filesystem::path folder;
};
const Scratch scratch;

struct Fixture {
    Fixture() {
        cache = *pictura::ImageCache::create("bench", scratch.folder);
        options = pictura::PicturaParsedOptionsInfo({pictura::PicturaOptionsInfoItem::targetCache(cache),
                                                     pictura::PicturaOptionsInfoItem::callbackQueue(
                                                         pictura::CallbackQueue::untouch())});
        auto bitmap = gfx::Bitmap::make(64, 64);
        cache->store(gfx::Image::fromBitmap(std::move(bitmap)), std::nullopt, source.cacheKey(), options, false);
    }
    ~Fixture() {
        cache->ioQueue()->sync([] {});
        cache->clearDiskCache();
        cache->ioQueue()->sync([] {});
    }

    std::shared_ptr<pictura::ImageCache> cache;
    pictura::PicturaParsedOptionsInfo options;
    pictura::Source source = pictura::convertToSource(*foundation::URL::fromString("https://example.com/headshot.png"));
};

void managerMemoryHit(benchmark::State& state) {
    Fixture f;
    const auto& manager = pictura::PicturaManager::shared();
    for (auto _ : state) {
        std::shared_ptr<gfx::Image> image;
        manager->retrieveImage(f.source, f.options, nullptr, nullptr, nullptr,
                               [&](pictura::PicturaManager::RetrieveResult result) { image = result->image; });
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(managerMemoryHit);

void setImageMemoryHit(benchmark::State& state) {
    Fixture f;
    auto view = std::make_shared<ui::ImageView>();
    for (auto _ : state) {
        pictura::pc(view).setImage(f.source, nullptr, f.options, nullptr, nullptr);
        benchmark::DoNotOptimize(view->image());
    }
}
BENCHMARK(setImageMemoryHit);

// A table's worth of rows appearing: each row a view of its own, its image from memory.
void setImageOnRows(benchmark::State& state) {
    Fixture f;
    std::vector<std::shared_ptr<ui::ImageView>> rows(static_cast<std::size_t>(state.range(0)));
    for (auto& row : rows) row = std::make_shared<ui::ImageView>();
    for (auto _ : state)
        for (const auto& row : rows) pictura::pc(row).setImage(f.source, nullptr, f.options, nullptr, nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(setImageOnRows)->Arg(20)->Arg(200);

}  // namespace
