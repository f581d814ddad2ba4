// Drawing the season's flags as the app shows them: parsed once, then layer tree and pixels at 3x of a
// 32 x 24 point flag each iteration.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "vellum/SVGDocument.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceString.h"

namespace {

std::vector<std::shared_ptr<vellum::SVGDocument>> flagDocuments() {
    std::vector<std::shared_ptr<vellum::SVGDocument>> documents;
    const auto folder = std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
    if (!std::filesystem::exists(folder)) return documents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".svg") continue;
        std::stringstream text;
        text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
            vellum::VellumSourceString::sourceFromContentsOfString(text.str()));
        if (result->parsedDocument()) documents.push_back(result->parsedDocument());
    }
    return documents;
}

void RenderEveryFlag(benchmark::State& state) {
    const auto documents = flagDocuments();
    if (documents.empty()) {
        state.SkipWithError("no offline-season flags");
        return;
    }
    for (auto _ : state) {
        for (const auto& document : documents) {
            benchmark::DoNotOptimize(vellum::VellumLayerTree::renderDocument(*document, {32, 24}, 3));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(documents.size()));
}
BENCHMARK(RenderEveryFlag)->Unit(benchmark::kMillisecond);

}  // namespace
