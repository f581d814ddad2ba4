#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "foundation/FileManager.h"

using namespace foundation;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path;
    explicit Folder(int files) {
        std::string pattern = (fs::temp_directory_path() / "sorvane-bench-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        FileManager manager;
        for (int index = 0; index < files; ++index)
            (void)manager.createFile(path / std::to_string(index), Data::fromString("cached bytes"),
                                     {.creationDate = Date::now(), .modificationDate = Date::distantFuture()});
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

}  // namespace

// The disk cache's cleaning pass lists its folder with every file's dates and size.
static void BM_EnumerateWithAttributes(benchmark::State& state) {
    Folder folder(static_cast<int>(state.range(0)));
    FileManager manager;
    for (auto _ : state) benchmark::DoNotOptimize(manager.enumerator(folder.path)->allObjects());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnumerateWithAttributes)->Arg(1000);

// Every store and every extending read sets both dates of a cache file.
static void BM_SetBothDates(benchmark::State& state) {
    Folder folder(1);
    FileManager manager;
    double offset = 0;
    for (auto _ : state) {
        offset += 1;
        Date now = Date::fromUnix(1'700'000'000 + offset);
        benchmark::DoNotOptimize(
            manager.setAttributes({.creationDate = now, .modificationDate = now.addingTimeInterval(604800)},
                                  folder.path / "0"));
    }
}
BENCHMARK(BM_SetBothDates);

static void BM_AttributesOfItem(benchmark::State& state) {
    Folder folder(1);
    FileManager manager;
    for (auto _ : state) benchmark::DoNotOptimize(manager.attributesOfItem(folder.path / "0"));
}
BENCHMARK(BM_AttributesOfItem);
