// Parsing the season's flags as the app's image processor does (bytes in, document out), and reading
// path data.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "BenchSmoke.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumParserExtension.h"
#include "vellum/VellumPointsAndPathsParser.h"
#include "vellum/VellumSourceNSData.h"

namespace {

std::vector<foundation::Data> flags() {
    std::vector<foundation::Data> documents;
    const auto folder = std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
    if (!std::filesystem::exists(folder)) return documents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".svg") continue;
        std::stringstream bytes;
        bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        documents.push_back(foundation::Data::fromString(bytes.str()));
    }
    return documents;
}

void ParseEveryFlag(benchmark::State& state) {
    const auto documents = flags();
    if (documents.empty()) {
        state.SkipWithError("no offline-season flags");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& data : documents) {
            auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
                vellum::VellumSourceNSData::sourceFromData(data, std::nullopt));
            benchmark::DoNotOptimize(result->parsedDocument());
            bytes += data.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["flags/s"] = benchmark::Counter(static_cast<double>(documents.size() * state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(ParseEveryFlag)->Unit(benchmark::kMillisecond);

// The path data of every flag, read by one path element: the largest share of a flag's parse.
void ReadEveryFlagsPathData(benchmark::State& state) {
    std::vector<std::string> paths;
    for (const auto& data : flags()) {
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
        for (std::size_t at = text.find(" d=\""); at != std::string_view::npos; at = text.find(" d=\"", at)) {
            at += 4;
            const std::size_t end = text.find('"', at);
            paths.emplace_back(text.substr(at, end - at));
        }
    }
    if (paths.empty()) return state.SkipWithError("no offline-season flags");
    // The smoke run reads a hundred: it only shows that they still read.
    if (sorvane::bench::smokeRun()) paths.resize(std::min<std::size_t>(paths.size(), 100));
    auto element = vellum::SVGElement::create<vellum::SVGPathElement>("path", std::string(vellum::svgNamespaceURI),
                                                                      vellum::Element::AttributeNodes{});
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const auto& data : paths) {
            element->parseData(data);
            benchmark::DoNotOptimize(element->pathForShapeInRelativeCoords());
            bytes += data.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(ReadEveryFlagsPathData)->Unit(benchmark::kMillisecond);

void ReadCurveData(benchmark::State& state) {
    std::string data = "c";
    for (int index = 0; index < 1000; ++index) data += " 1.5,-2 3e1,4 .5-6";
    for (auto _ : state) {
        gfx::Path path;
        path.moveTo({0, 0});
        foundation::Scanner scanner(data);
        benchmark::DoNotOptimize(vellum::VellumPointsAndPathsParser::readCurvetoCommand(scanner, path, {0, 0}, true));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(data.size() * state.iterations()));
}
BENCHMARK(ReadCurveData)->Unit(benchmark::kMicrosecond);

}  // namespace
