#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gfx/Context.h"
#include "gfx/SymbolImages.h"
#include "gfx/TextLayout.h"

namespace {

using namespace gfx;

constexpr int rows = 20;
const char* const drivers[] = {"Max Verstappen", "Lando Norris", "Charles Leclerc", "Oscar Piastri", "Carlos Sainz"};

// One timing row's labels: position, driver, team, interval and last lap; `salt` makes them new text.
std::vector<AttributedString> tableLabels(int salt) {
    std::vector<AttributedString> labels;
    const Font bold = Font::boldSystemFont(20);
    const Font small = Font::systemFont(13);
    for (int row = 0; row < rows; ++row) {
        std::string suffix = salt ? " " + std::to_string(salt) : "";
        labels.emplace_back(std::to_string(row + 1), TextAttributes{.font = bold});
        labels.emplace_back(std::string(drivers[row % 5]) + suffix, TextAttributes{.font = bold});
        labels.emplace_back("Scuderia Example Racing Team" + suffix,
                            TextAttributes{.font = small, .foregroundColor = Color::secondaryLabel()});
        labels.emplace_back("+" + std::to_string(row) + ".4" + std::to_string(row % 10) + "1", TextAttributes{.font = small});
        labels.emplace_back("1:3" + std::to_string(row % 10) + ".512" + suffix, TextAttributes{.font = small});
    }
    return labels;
}

// The live screen's relayout: the same texts again, answered from the layout cache.
void BM_MeasureTableCached(benchmark::State& state) {
    auto labels = tableLabels(0);
    for (auto _ : state)
        for (const auto& label : labels)
            benchmark::DoNotOptimize(TextLayout::make(label, {.width = 200, .numberOfLines = 1}).size());
    state.SetItemsProcessed(state.iterations() * std::int64_t(labels.size()));
}
BENCHMARK(BM_MeasureTableCached);

// The yardstick of a cached layout: the labels copied, which a cache hit should cost little more than
// (a hit that copied its text would cost this on top).
void BM_CopyTableLabels(benchmark::State& state) {
    auto labels = tableLabels(0);
    for (auto _ : state)
        for (const auto& label : labels) {
            AttributedString copy = label;
            benchmark::DoNotOptimize(copy);
        }
    state.SetItemsProcessed(state.iterations() * std::int64_t(labels.size()));
}
BENCHMARK(BM_CopyTableLabels);

// Texts never seen before: a full Pango layout each.
void BM_MeasureTableFresh(benchmark::State& state) {
    int salt = 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto labels = tableLabels(salt++);
        state.ResumeTiming();
        for (const auto& label : labels)
            benchmark::DoNotOptimize(TextLayout::make(label, {.width = 200, .numberOfLines = 1}).size());
    }
    state.SetItemsProcessed(state.iterations() * rows * 5);
}
BENCHMARK(BM_MeasureTableFresh);

void BM_DrawTable(benchmark::State& state) {
    auto labels = tableLabels(0);
    auto context = Context::create(Size{390, rows * 56.0}, {.scale = 2});
    for (auto _ : state) {
        context->clearRect({0, 0, 390, rows * 56.0});
        for (int row = 0; row < rows; ++row) {
            double y = row * 56.0;
            drawText(*context, labels[row * 5], {10, y + 8, 30, 24});
            drawText(*context, labels[row * 5 + 1], {50, y + 6, 200, 24}, {.numberOfLines = 1});
            drawText(*context, labels[row * 5 + 2], {50, y + 32, 200, 18}, {.numberOfLines = 1});
            drawText(*context, labels[row * 5 + 3], {260, y + 8, 120, 18}, {.alignment = TextAlignment::right});
            drawText(*context, labels[row * 5 + 4], {260, y + 32, 120, 18}, {.alignment = TextAlignment::right});
        }
    }
    state.SetItemsProcessed(state.iterations() * rows * 5);
}
BENCHMARK(BM_DrawTable);

void BM_SymbolImage(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(symbolImage("thermometer.sun", {.pointSize = 13}, Color::secondaryLabel(), 2));
}
BENCHMARK(BM_SymbolImage);

}  // namespace
