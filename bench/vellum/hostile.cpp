// Documents written to exhaust the library (tests/vellum/HostileDocuments.h), from bytes to pixels at
// 20 x 20: each must stay within a second and 200 MB. The anchor is an ordinary document of 200 shapes.
// The rows drawn at 64 x 64 (one picture copied, backtracking selectors, selectors over repeated and long
// word lists, huge gradients, error floods, style sheets, dash arrays) must each stay within 2 s and 512 MB.
// "heap_MB" is the heap the parsed document and its layer tree hold at their largest, drawing included.
// "units_M" is the work meter's count in millions of units (about a millisecond each).
// The clip-path rows (a chain of clip paths each clipped by the next, over squares) are drawn at 64 px as
// flags, and at their own 512 px beside librsvg drawing the same document.
// A PNG of 64 x 64 pixels carrying 128 compressed text chunks of 8 MB each (a 1 MB file), shown by an image
// element as a "data:" link, is drawn at 64 px by both; "peak_rise_MB" is how far the resident peak rose.
// Target: within 2 s and 512 MB.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"
#include "ResidentPeak.h"
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "../../tests/vellum/HostileDocuments.h"
#include "BlankPng.h"
#include "FlatGif.h"
#include "RepeatedScansJpeg.h"
#include "ResidentPeak.h"
#include "SideBySide.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceString.h"
#include "vellum/VellumWorkBounds.h"
#include "foundation/Data.h"
#include "gfx/Context.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"

namespace {

// The smoke run (SORVANE_BENCH_SMOKE) draws each document at a hundredth of its size: it only shows
// that every document still draws.
using sorvane::bench::smokeRun;
std::size_t sized(std::size_t full) { return smokeRun() ? std::max<std::size_t>(full / 100, 1) : full; }

std::size_t scaledRow(const benchmark::State& state) { return sized(static_cast<std::size_t>(state.range(0))); }

double heapInUseMB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// From the source to pixels at `pixels` x `pixels`, the build and drawing against one work meter as the
// library's render entry points count them: "refused" is 1 when the render ran past it and gave no picture.
// `inspect`, when given, sees the last picture and its problems.
// `byTheTree` opens no meter: the tree is drawn by the route a window or a caller of newLayerWithElement takes,
// within the budget its build left on its root ("refused" then says the error was filed).
void drawSource(benchmark::State& state, const std::function<std::shared_ptr<vellum::VellumSource>()>& source,
                std::size_t bytes, int pixels,
                const std::function<void(const gfx::Bitmap&, const vellum::VellumParseResult&)>& inspect = {},
                bool byTheTree = false) {
    double heap = 0, units = 0;
    bool refused = false;
    for (auto _ : state) {
        std::optional<gfx::WorkMeter> meter;
        if (!byTheTree) meter.emplace();
        const double before = heapInUseMB();
        auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(source());
        auto document = result->parsedDocument();
        if (!document) {
            state.SkipWithError("no document");
            return;
        }
        auto root = document->rootElement();
        const auto size = static_cast<float>(pixels);
        root->setViewport(vellum::SVGRectMake(0, 0, size, size));
        auto tree = vellum::VellumLayerTree::newLayerWithElement(root, result.get());
        heap = std::max(heap, heapInUseMB() - before);
        auto context = gfx::Context::create(gfx::Size{size, size}, {.scale = 1});
        quartz::render(*tree, *context);
        const gfx::Bitmap picture = context->makeImage();
        benchmark::DoNotOptimize(picture);
        heap = std::max(heap, heapInUseMB() - before);
        if (inspect) inspect(picture, *result);
        const auto& filed = result->errorsRecoverable();
        refused = meter ? meter->spent() : std::any_of(filed.begin(), filed.end(), [](const auto& error) {
            return error.localizedDescription().find("took more work than a render") != std::string::npos;
        });
        units = meter ? static_cast<double>(meter->used()) : 0;
    }
    state.counters["units_M"] = units / 1e6;
    state.counters["heap_MB"] = heap;
    state.counters["refused"] = refused;
    state.counters["bytes"] = static_cast<double>(bytes);
}

void draw(benchmark::State& state, const std::string& text, int pixels = 20,
          const std::function<void(const gfx::Bitmap&, const vellum::VellumParseResult&)>& inspect = {}) {
    drawSource(state, [&] { return vellum::VellumSourceString::sourceFromContentsOfString(text); }, text.size(), pixels,
               inspect);
}

// As the app draws a flag from bytes (app/shell/SVGImgProcessor.cpp): an image of the document fitted into
// `box` points at scale 1, under a watch of the document's work bounds and one work meter; "refused" is 1 when
// a bound or the meter ended it with no picture.
void drawAsFlag(benchmark::State& state, const std::string& text, gfx::Size box = {85, 64}) {
    const auto bytes = foundation::Data::fromString(text);
    bool refused = false;
    for (auto _ : state) {
        vellum::WorkBoundWatch bounds;
        gfx::WorkMeter meter;
        auto image = vellum::VellumImage::initWithData(bytes);
        if (!image || !image->hasSize()) {  // the parse refused it
            refused = true;
            continue;
        }
        image->scaleToFitInside(box);
        image->CALayerTree();
        auto context = gfx::Context::create(image->size(), {.scale = 1});
        if (!context) {
            refused = true;  // past the render's memory
            continue;
        }
        refused = bounds.reached() ||
                  !vellum::VellumImageDrawing::renderToContext(*image, *context, true, 1.0,
                                                               gfx::InterpolationQuality::standard, false);
        benchmark::DoNotOptimize(context->makeImage());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["refused"] = refused;
}

// A document in a file that names the style sheet beside it `imports` times; the sheet holds `rules` rules.
void drawImportingFile(benchmark::State& state, std::size_t rules, std::size_t imports) {
    const auto folder = std::filesystem::temp_directory_path() / ("vellum-hostile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        std::ofstream sheet(folder / "rules.css");
        for (std::size_t index = 0; index < rules; ++index) sheet << ".c" << index << "{fill:#ff0000}\n";
        std::ofstream document(folder / "document.svg");
        for (std::size_t index = 0; index < imports; ++index) document << R"(<?xml-stylesheet href="rules.css" type="text/css"?>)";
        document << hostile::header << R"(<rect width="20" height="20" fill="#00ff00"/></svg>)";
    }
    drawSource(state, [&] { return vellum::VellumSourceLocalFile::sourceFromFilename(folder / "document.svg"); },
               std::filesystem::file_size(folder / "document.svg"), 64);
    std::filesystem::remove_all(folder);
}

std::string ordinaryShapes() {
    std::string text = hostile::header;
    for (int index = 0; index < 200; ++index) {
        text += "<rect x=\"" + std::to_string(index % 20) + "\" y=\"" + std::to_string(index / 20) +
                "\" width=\"3\" height=\"2\" fill=\"#3366cc\" stroke=\"#000\"/>";
    }
    return text + "</svg>";
}

// One start tag of that many attributes: filing them must not compare each with every one before it.
std::string manyAttributes(std::size_t count) {
    std::string text = hostile::header + "<rect width=\"10\" height=\"10\"";
    for (std::size_t index = 0; index < count; ++index) text += " a" + std::to_string(index) + "=\"1\"";
    return text + "/></svg>";
}

void Anchor200Shapes(benchmark::State& state) { draw(state, ordinaryShapes()); }
void Attributes8000OnOneElement(benchmark::State& state) { draw(state, manyAttributes(sized(8'000))); }
void MutualUses(benchmark::State& state) { draw(state, hostile::mutualUses()); }
void UseRingThroughGroups(benchmark::State& state) { draw(state, hostile::useRingThroughGroups()); }
void DoublingUses22Levels(benchmark::State& state) { draw(state, hostile::doublingUses(smokeRun() ? 12 : 22)); }
void UseChain5000Levels(benchmark::State& state) { draw(state, hostile::useChain(static_cast<int>(sized(5'000)))); }
void UseChain10000Levels(benchmark::State& state) { draw(state, hostile::useChain(static_cast<int>(sized(10'000)))); }
void NestedGroups15000(benchmark::State& state) { draw(state, hostile::nestedGroups(sized(15'000))); }
void NestedGroups1000000(benchmark::State& state) { draw(state, hostile::nestedGroups(sized(1'000'000))); }
void SelfCrossingPath1500000Segments(benchmark::State& state) { draw(state, hostile::selfIntersectingPath(sized(1'500'000))); }
void SelfCrossingPathAtTheLimit(benchmark::State& state) {
    draw(state, hostile::selfIntersectingPath(sized(vellum::BaseClassForAllSVGBasicShapes::maximumPathSegments)));
}
// The self-crossing stroke at n, 4n and 16n segments: every segment crosses nearly all others, so the
// time must grow no faster than the segments, not as their crossings.
void SelfCrossingStroke(benchmark::State& state) {
    draw(state, hostile::selfIntersectingPath(sized(static_cast<std::size_t>(state.range(0)))));
}
// The same stroke dashed one on, one off: as many dashes again as the line has units, every one crossing
// the others.
void DashedSelfCrossingStroke(benchmark::State& state) {
    draw(state, hostile::selfIntersectingPath(sized(static_cast<std::size_t>(state.range(0))), "1 1"));
}
// A dashed hairline of 16 segments running 8,000,000 units either side of a 100 x 100 picture, copied
// by `uses` use elements: a dash of 0.1, 160 million of them a copy, a few hundred in the picture.
void DashedHairlineFarAcross(benchmark::State& state) {
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )"
                       R"(width="100" height="100"><defs><path id="p" fill="none" stroke="#000" stroke-width="0.5" )"
                       R"(stroke-dasharray="0.1" d="M-8000000 3)";
    for (int segment = 1; segment <= 16; ++segment)
        text += (segment % 2 ? " L8000000 " : " L-8000000 ") + std::to_string(3 + segment * 6);
    text += R"("/></defs>)";
    for (long copy = 0; copy < state.range(0); ++copy) text += R"(<use xlink:href="#p" x=")" + std::to_string(copy) + R"("/>)";
    draw(state, text + "</svg>", 100);
}
void Picture4096Through256Uses(benchmark::State& state) {
    draw(state, hostile::pictureThroughDoublingUses(hostile::pictureLink(smokeRun() ? 64 : 4096), 8), 64);
}
void Selector2StepsOver250Groups(benchmark::State& state) { draw(state, hostile::backtrackingSelector(2, 250), 64); }
void Selector3StepsOver250Groups(benchmark::State& state) { draw(state, hostile::backtrackingSelector(3, 250), 64); }
void Selector12StepsOver250Groups(benchmark::State& state) {
    draw(state, hostile::backtrackingSelector(smokeRun() ? 3 : 12, 250), 64);
}
void ClassRepeating1NameOver10000Rules(benchmark::State& state) {
    draw(state, hostile::repeatedClassName(sized(10'000), sized(10'000)), 64);
}
void WordTests10000Over10LongLists(benchmark::State& state) {
    draw(state, hostile::longWordList(sized(10'000), 10, sized(25'000)), 64);
}
void DescendantRules1000Of125StepsOver250Groups(benchmark::State& state) {
    draw(state, hostile::manyLongDescendantRules(sized(1'000), 125, 250, 10), 64);
}
void DescendantRules1000PastTheFilterOver250Groups(benchmark::State& state) {
    draw(state, hostile::descendantRulesPastTheFilter(sized(1'000), 125, 250, 10), 64);
}
void GradientOf100000Stops(benchmark::State& state) { draw(state, hostile::manyStops(sized(100'000)), 64); }
void GradientOf1000000Stops(benchmark::State& state) { draw(state, hostile::manyStops(sized(1'000'000)), 64); }
void Gradient2000StopsThrough65536Uses(benchmark::State& state) {
    draw(state, hostile::stopsThroughDoublingUses(2'000, smokeRun() ? 8 : 16), 64);
}
void UndeclaredEntities1000000(benchmark::State& state) { draw(state, hostile::undeclaredEntities(sized(1'000'000)), 64); }
void UndeclaredEntities3000000(benchmark::State& state) { draw(state, hostile::undeclaredEntities(sized(3'000'000)), 64); }
void Rules100000Imports10000(benchmark::State& state) {
    draw(state, hostile::rulesAndImports(sized(100'000), sized(10'000)), 64);
}
void Rules100000Over1000Shapes(benchmark::State& state) {
    draw(state, hostile::rulesAndImports(sized(100'000), 0, sized(1'000)), 64);
}
void SheetOf100000RulesImported10000Times(benchmark::State& state) {
    drawImportingFile(state, sized(100'000), sized(10'000));
}
void DashArrayOf1000000Values(benchmark::State& state) { draw(state, hostile::longDashArray(sized(1'000'000)), 64); }
void DashArrayOf1000000ValuesOver50Lines(benchmark::State& state) {
    draw(state, hostile::longDashArray(sized(1'000'000), 50), 64);
}
// One length and n, 4n and 16n zeros after it (200,000 the last), and 20,000 zeros through 100 copies:
// the zeros are merged in one pass a stroke.
void DashArrayOfZeros(benchmark::State& state) {
    draw(state, hostile::zerosInDashList(sized(static_cast<std::size_t>(state.range(0)))), 64);
}
void DashArrayOf20000ZerosThrough100Uses(benchmark::State& state) {
    draw(state, hostile::zerosInDashList(sized(20'000), 100), 64);
}
// The same documents through the app's road; run one to a process to read its peak memory.
void FlagPicture4096Through256Uses(benchmark::State& state) {
    drawAsFlag(state, hostile::pictureThroughDoublingUses(hostile::pictureLink(smokeRun() ? 64 : 4096), 8));
}
void FlagSelector12StepsOver250Groups(benchmark::State& state) { drawAsFlag(state, hostile::backtrackingSelector(smokeRun() ? 3 : 12, 250)); }
void FlagGradient2000StopsThrough65536Uses(benchmark::State& state) {
    drawAsFlag(state, hostile::stopsThroughDoublingUses(2'000, smokeRun() ? 8 : 16));
}
void FlagUndeclaredEntities3000000(benchmark::State& state) { drawAsFlag(state, hostile::undeclaredEntities(sized(3'000'000))); }
void FlagRules100000Over1000Shapes(benchmark::State& state) {
    drawAsFlag(state, hostile::rulesAndImports(sized(100'000), 0, sized(1'000)));
}
void FlagDashArrayOf1000000ValuesOver50Lines(benchmark::State& state) {
    drawAsFlag(state, hostile::longDashArray(sized(1'000'000), 50));
}
void FlagClassRepeating1NameOver10000Rules(benchmark::State& state) {
    drawAsFlag(state, hostile::repeatedClassName(sized(10'000), sized(10'000)));
}
void FlagWordTests10000Over10LongLists(benchmark::State& state) {
    drawAsFlag(state, hostile::longWordList(sized(10'000), 10, sized(25'000)));
}
void FlagDescendantRules1000Of125StepsOver250Groups(benchmark::State& state) {
    drawAsFlag(state, hostile::manyLongDescendantRules(sized(1'000), 125, 250, 10));
}
// Clip paths clipped by clip paths. The documents are 512 pixels square; the rows at their own size have a
// librsvg row beside them, drawn the same way. Across n, 4n and 16n levels (or squares), the time must grow
// no faster than the document.
void drawAtOwnSize(benchmark::State& state, const std::string& text, bool byLibrsvg) {
    const auto bytes = foundation::Data::fromString(text);
    for (auto _ : state) {
        const bool drawn = byLibrsvg ? sidebyside::drawWithLibrsvg(bytes, 512) : sidebyside::drawWithVellum(bytes, 512);
        if (!drawn) return state.SkipWithError("no image");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
std::string clipChainOf(int levels, int shapes, int squares) { return hostile::clipChain(levels, shapes, squares, 512); }
// As drawAsFlag, and "limits_met" counts the build's limits the drawing met (instantiations, mask work): a row
// that meets one measures a drawing cut short.
void drawClipsAsFlag(benchmark::State& state, const std::string& text) {
    drawAsFlag(state, text);
    auto image = vellum::VellumImage::initWithData(foundation::Data::fromString(text));
    if (!image) return;
    image->scaleToFitInside({85, 64});
    image->CALayerTree();
    double met = 0;
    for (const auto& error : image->parseErrorsAndWarnings()->errorsRecoverable()) {
        const auto& message = error.localizedDescription();
        met += message.find("instantiates more than") != std::string::npos ||
               message.find("Clipping took more than") != std::string::npos;
    }
    state.counters["limits_met"] = met;
}
void FlagClipChain10LevelsOf3Over10Squares(benchmark::State& state) {
    drawClipsAsFlag(state, clipChainOf(smokeRun() ? 3 : 10, 3, 10));
}
void FlagClipChain17LevelsOf2Over10Squares(benchmark::State& state) {
    drawClipsAsFlag(state, clipChainOf(smokeRun() ? 3 : 17, 2, 10));
}
void ClipChain10LevelsOf3Over10Squares(benchmark::State& state) {
    drawAtOwnSize(state, clipChainOf(smokeRun() ? 3 : 10, 3, 10), false);
}
void Librsvg_ClipChain10LevelsOf3Over10Squares(benchmark::State& state) {
    drawAtOwnSize(state, clipChainOf(smokeRun() ? 3 : 10, 3, 10), true);
}
void ClipChain17LevelsOf2Over10Squares(benchmark::State& state) {
    drawAtOwnSize(state, clipChainOf(smokeRun() ? 3 : 17, 2, 10), false);
}
void Librsvg_ClipChain17LevelsOf2Over10Squares(benchmark::State& state) {
    drawAtOwnSize(state, clipChainOf(smokeRun() ? 3 : 17, 2, 10), true);
}
void FlagClippedParts17LevelsOf2(benchmark::State& state) {
    drawClipsAsFlag(state, hostile::clippedPartsChain(smokeRun() ? 3 : 17, 2, 512));
}
void ClippedParts17LevelsOf2(benchmark::State& state) {
    drawAtOwnSize(state, hostile::clippedPartsChain(smokeRun() ? 3 : 17, 2, 512), false);
}
void Librsvg_ClippedParts17LevelsOf2(benchmark::State& state) {
    drawAtOwnSize(state, hostile::clippedPartsChain(smokeRun() ? 3 : 17, 2, 512), true);
}
std::string pictureWithTextChunks() {
    const auto chunk = sorvane::testing::compressedTextChunk(sized(8'000'000));
    const auto png = sorvane::testing::blankPng(64, 64, 8, 6, std::vector(128, chunk));
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64">)"
           R"(<image width="64" height="64" xlink:href=")" + hostile::pngLink(png.bytes()) + R"("/></svg>)";
}
void drawPictureWithTextChunks(benchmark::State& state, bool byLibrsvg) {
    static const auto bytes = foundation::Data::fromString(pictureWithTextChunks());
    const double start = sorvane::bench::startResidentPeak();
    for (auto _ : state) {
        const bool drawn = byLibrsvg ? sidebyside::drawWithLibrsvg(bytes, 64) : sidebyside::drawWithVellum(bytes, 64);
        if (!drawn) return state.SkipWithError("no image");
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.counters["peak_rise_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
void PictureWithTextChunks(benchmark::State& state) { drawPictureWithTextChunks(state, false); }
void Librsvg_PictureWithTextChunks(benchmark::State& state) { drawPictureWithTextChunks(state, true); }
// state.range(0) levels of three shapes over ten squares; squares over ten levels of three; levels of two
// clipped parts.
int rangeOf(const benchmark::State& state) { return smokeRun() ? 2 : static_cast<int>(state.range(0)); }
void FlagClipChainLevels(benchmark::State& state) { drawClipsAsFlag(state, clipChainOf(rangeOf(state), 3, 10)); }
void FlagClipChainSquares(benchmark::State& state) { drawClipsAsFlag(state, clipChainOf(10, 3, rangeOf(state))); }
void FlagClippedPartsLevels(benchmark::State& state) {
    drawClipsAsFlag(state, hostile::clippedPartsChain(rangeOf(state), 2, 512));
}
void FlagAnchor200Shapes(benchmark::State& state) { drawAsFlag(state, ordinaryShapes()); }

// Drawing multiplied by copies. A dashed hairline billions of dashes long through 16 copies at 64 px; a wide
// stroke of 49,990 segments with round joins through n, 4n and 16n copies at 64 px; n, 4n and 16n squares as
// large as the picture, each masked apart, at their own 2000 px beside librsvg, and as flags; a fan of 3^10
// symbol copies as a flag.
void DashedHairline16Copies(benchmark::State& state) { draw(state, hostile::dashedHairlineCopies(smokeRun() ? 1 : 16), 64); }
void WideRoundStrokeCopies(benchmark::State& state) {
    draw(state, hostile::wideRoundStrokeCopies(sized(49'990), sized(static_cast<std::size_t>(state.range(0)))), 64);
}
// The same through the tree's own route, no meter opened around it (88 s before the tree carried its budget).
void TreeRouteWideRoundStroke160Copies(benchmark::State& state) {
    const std::string text = hostile::wideRoundStrokeCopies(sized(49'990), sized(160));
    drawSource(state, [&] { return vellum::VellumSourceString::sourceFromContentsOfString(text); }, text.size(), 64, {},
               true);
}
// `words` distinct words, each a text of its own, drawn at 64 px under one meter and by the tree's own route
// (build and drawing under two meters): the drawing finds the layouts its build made, not laying them out again.
std::string distinctWords(std::size_t words) {
    std::string text = hostile::header;
    for (std::size_t word = 0; word < words; ++word)
        text += R"(<text x="1" y=")" + std::to_string(word % 20) + R"(" font-size="4">w)" + std::to_string(word) + "</text>";
    return text + "</svg>";
}
void DistinctWords(benchmark::State& state) { draw(state, distinctWords(sized(static_cast<std::size_t>(state.range(0)))), 64); }
void TreeRouteDistinctWords(benchmark::State& state) {
    const std::string text = distinctWords(sized(static_cast<std::size_t>(state.range(0))));
    drawSource(state, [&] { return vellum::VellumSourceString::sourceFromContentsOfString(text); }, text.size(), 64, {},
               true);
}
void drawAtSide(benchmark::State& state, const std::string& text, int side, bool byLibrsvg) {
    const auto bytes = foundation::Data::fromString(text);
    for (auto _ : state) {
        const bool drawn = byLibrsvg ? sidebyside::drawWithLibrsvg(bytes, side) : sidebyside::drawWithVellum(bytes, side);
        if (!drawn) return state.SkipWithError("no image");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    if (!byLibrsvg) {
        // Whether our render was refused by its meter (after the timed runs, once more).
        auto image = vellum::VellumImage::initWithData(bytes);
        image->setSize({static_cast<double>(side), static_cast<double>(side)});
        auto context = gfx::Context::create(image->size(), {.scale = 1});
        state.counters["refused"] = !vellum::VellumImageDrawing::renderInContext(*image, *context);
    }
}
void MaskedSquaresAtOwnSize(benchmark::State& state) {
    drawAtSide(state, hostile::clippedRectsAtScale(sized(static_cast<std::size_t>(state.range(0)))), 2000, false);
}
void Librsvg_MaskedSquaresAtOwnSize(benchmark::State& state) {
    drawAtSide(state, hostile::clippedRectsAtScale(sized(static_cast<std::size_t>(state.range(0)))), 2000, true);
}
void FlagMaskedSquares(benchmark::State& state) {
    drawAsFlag(state, hostile::clippedRectsAtScale(sized(static_cast<std::size_t>(state.range(0)))));
}
void FlagDashedHairline1000Copies(benchmark::State& state) { drawAsFlag(state, hostile::dashedHairlineCopies(sized(1'000))); }
// Polylines dotted every 1.5 units, dots of 10 px at 1,024 px, round and square: each dot is charged what
// laying it costs, so 4,000 polylines end at the meter.
void DottedPolylines(benchmark::State& state) {
    draw(state, hostile::dottedPolylines(sized(static_cast<std::size_t>(state.range(0))), state.range(1) ? "square" : "round"),
         1024);
}
void FlagWideRoundStroke160Copies(benchmark::State& state) {
    drawAsFlag(state, hostile::wideRoundStrokeCopies(sized(49'990), sized(160)));
}
// Text whose every letter is a run of its own (kind 0: turned by rotate="1", 1: placed by an x list, 2: a tspan
// each), as flags: 10,000 letters in <defs> drawn by n, 4n and 16n use copies, and n, 4n and 16n letters in one
// text drawn once. Each must end (drawn or refused) within 2.5 s of CPU and 512 MB; "peak_MB" is how far
// the resident peak rose.
void drawAsFlagToPeak(benchmark::State& state, const std::string& text) {
    const double start = sorvane::bench::startResidentPeak();
    drawAsFlag(state, text);
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
void drawLetterRunsAsFlag(benchmark::State& state, std::size_t letters, std::size_t copies) {
    drawAsFlagToPeak(state, hostile::letterRuns(sized(letters), copies, static_cast<hostile::LetterRuns>(state.range(0))));
}
void FlagLetterRunsCopies(benchmark::State& state) {
    drawLetterRunsAsFlag(state, 10'000, sized(static_cast<std::size_t>(state.range(1))));
}
void FlagLetterRunsInOneText(benchmark::State& state) {
    drawLetterRunsAsFlag(state, static_cast<std::size_t>(state.range(1)), 0);
}
// What text's charges are against their time, at n, 4n and 16n runs: stage 0 lays out distinct runs of two
// letters (Pango) and frees them, 1 builds a text of one letter repeated, each a run (measured and placed, laid out once),
// 2 draws that text's runs at 64 px (most off the picture), 3 builds the runs as tspans, 4 draws runs placed
// on the picture. "ns_per_unit" is the stage's time over the meter's units for it: the
// charges are calibrated to about 1.
void TextRunCharges(benchmark::State& state) {
    const auto stage = state.range(0);
    const std::size_t runs = sized(static_cast<std::size_t>(state.range(1)));
    // One letter repeated: turned each (stages 1, 2), a tspan each (3), or placed by an x list on the picture (4).
    std::string letters, xs;
    for (std::size_t run = 0; run < runs; ++run) {
        letters += stage == 3 ? "<tspan>a</tspan>" : "a";
        xs += std::to_string(run % 90) + " ";
    }
    const std::string runsBy = stage == 3 ? "" : stage == 4 ? R"( x=")" + xs + '"' : R"( rotate="1")";
    const std::string document = hostile::headerOf100(64) + R"(<text y="50" font-size="4")" + runsBy + ">" + letters + "</text></svg>";
    double units = 0, seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
            vellum::VellumSourceString::sourceFromContentsOfString(document));
        auto root = result->parsedDocument()->rootElement();
        root->setViewport(vellum::SVGRectMake(0, 0, 64, 64));
        auto context = gfx::Context::create(gfx::Size{64, 64}, {.scale = 1});
        std::optional<gfx::WorkMeter> meter;
        meter.emplace(std::numeric_limits<std::uint64_t>::max() / 2);
        std::shared_ptr<quartz::Layer> tree;
        if (stage == 2 || stage == 4) tree = vellum::VellumLayerTree::newLayerWithElement(root, result.get());
        const std::uint64_t before = meter->used();
        const auto start = std::chrono::steady_clock::now();
        state.ResumeTiming();
        if (stage == 0) {
            // Two letters of 600 (Greek, Cyrillic, Armenian, Hebrew), often of two scripts; the layouts
            // are freed when the meter closes, which is timed too.
            gfx::TextAttributes attributes;
            for (std::size_t run = 0; run < runs; ++run) {
                std::string pair;
                for (const std::size_t letter : {run % 600, run / 600 % 600}) {
                    const auto code = static_cast<unsigned>(0x391 + letter);
                    pair += static_cast<char>(0xc0 | (code >> 6));
                    pair += static_cast<char>(0x80 | (code & 0x3f));
                }
                benchmark::DoNotOptimize(gfx::TextLayout::make(gfx::AttributedString(pair, attributes)));
            }
            units = static_cast<double>(meter->used() - before);
            meter.reset();
        } else if (stage == 1 || stage == 3) {
            tree = vellum::VellumLayerTree::newLayerWithElement(root, result.get());
        } else {
            quartz::render(*tree, *context);
        }
        state.PauseTiming();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (meter) units = static_cast<double>(meter->used() - before);
        tree.reset();
        meter.reset();
        state.ResumeTiming();
    }
    state.counters["units_M"] = units / 1e6;
    state.counters["ns_per_unit"] = units > 0 ? seconds * 1e9 / units : 0;
}
void SymbolFan3To10(benchmark::State& state) { draw(state, hostile::symbolFan(smokeRun() ? 3 : 10), 64); }
void FlagSymbolFan3To10(benchmark::State& state) { drawAsFlag(state, hostile::symbolFan(smokeRun() ? 3 : 10)); }

// Valid drawings once refused, as flags at their size beside librsvg: a chart of {lines} lines stroked (or of
// filled areas, faint) by one gradient at {side} px; a polygon of 50,000 points and a gradient of 4,097 stops at 64 px.
// Target: no more than twice librsvg's time.
std::string chartOf(const benchmark::State& state, bool fill) {
    return hostile::gradientChart(sized(static_cast<std::size_t>(state.range(0))), 100, fill);
}
gfx::Size sideOf(const benchmark::State& state) {
    const auto side = static_cast<double>(state.range(1));
    return {side, side};
}
void librsvgAt(benchmark::State& state, const std::string& text, double side) {
    const auto bytes = foundation::Data::fromString(text);
    for (auto _ : state) {
        if (!sidebyside::drawWithLibrsvg(bytes, side)) return state.SkipWithError("no image");
    }
}
void FlagGradientChart(benchmark::State& state) { drawAsFlag(state, chartOf(state, false), sideOf(state)); }
void Librsvg_GradientChart(benchmark::State& state) { librsvgAt(state, chartOf(state, false), sideOf(state).height); }
void FlagGradientAreas(benchmark::State& state) { drawAsFlag(state, chartOf(state, true), sideOf(state)); }
void Librsvg_GradientAreas(benchmark::State& state) { librsvgAt(state, chartOf(state, true), sideOf(state).height); }
void FlagPolygonOf50000Points(benchmark::State& state) { drawAsFlag(state, hostile::longPolygon(sized(50'000))); }
void Librsvg_PolygonOf50000Points(benchmark::State& state) { librsvgAt(state, hostile::longPolygon(sized(50'000)), 64); }
void FlagGradientOf4097Stops(benchmark::State& state) { drawAsFlag(state, hostile::manyStops(4'097)); }
void Librsvg_GradientOf4097Stops(benchmark::State& state) { librsvgAt(state, hostile::manyStops(4'097), 64); }
// Use copies: the counts of use instances and of built elements bound memory only, so a document librsvg
// draws within 2 s and 512 MB is not refused by them (the meter bounds the time). Copies of one square, and
// copies of a group of 1,000 squares (kind 0) or of 1,000 empty groups (kind 1) up to the counts.
std::string useCopiesOf(const benchmark::State& state) {
    const auto copies = sized(static_cast<std::size_t>(state.range(0)));
    if (state.range(1) < 0) return hostile::useCopies(copies);
    std::string group = R"(<g id="s">)";
    for (int member = 0; member < 1000; ++member)
        group += state.range(1) == 0 ? R"(<rect width="20" height="20" fill="#00ff00"/>)" : "<g/>";
    return hostile::useCopies(copies, group + "</g>");
}
void FlagUseCopies(benchmark::State& state) { drawAsFlagToPeak(state, useCopiesOf(state)); }
void Librsvg_UseCopies(benchmark::State& state) {
    const double start = sorvane::bench::startResidentPeak();
    librsvgAt(state, useCopiesOf(state), 64);
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
void useCopyCounts(benchmark::internal::Benchmark* row) {
    row->ArgNames({"copies", "group"})->Args({150'000, -1})->Args({748, 0})->Args({748, 1});
}
void chartSizes(benchmark::internal::Benchmark* row) {
    row->ArgNames({"lines", "side"})->Args({60, 4096})->Args({1'000, 1024});
}
void areaSizes(benchmark::internal::Benchmark* row) { row->ArgNames({"lines", "side"})->Args({60, 1024})->Args({60, 2048}); }

BENCHMARK(FlagGradientChart)->Apply(chartSizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_GradientChart)->Apply(chartSizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagGradientAreas)->Apply(areaSizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_GradientAreas)->Apply(areaSizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagPolygonOf50000Points)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_PolygonOf50000Points)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagGradientOf4097Stops)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_GradientOf4097Stops)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagUseCopies)->Apply(useCopyCounts)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_UseCopies)->Apply(useCopyCounts)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(Anchor200Shapes)->Unit(benchmark::kMillisecond);
BENCHMARK(MutualUses)->Unit(benchmark::kMillisecond);
BENCHMARK(UseRingThroughGroups)->Unit(benchmark::kMillisecond);
BENCHMARK(DoublingUses22Levels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UseChain5000Levels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UseChain10000Levels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(NestedGroups15000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(NestedGroups1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SelfCrossingPath1500000Segments)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SelfCrossingPathAtTheLimit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SelfCrossingStroke)->Arg(1'250)->Arg(5'000)->Arg(20'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashedSelfCrossingStroke)->Arg(1'250)->Arg(5'000)->Arg(20'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashedHairlineFarAcross)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Attributes8000OnOneElement)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Picture4096Through256Uses)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Selector2StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Selector3StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Selector12StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClassRepeating1NameOver10000Rules)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(WordTests10000Over10LongLists)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DescendantRules1000Of125StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DescendantRules1000PastTheFilterOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(GradientOf100000Stops)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(GradientOf1000000Stops)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Gradient2000StopsThrough65536Uses)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UndeclaredEntities1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UndeclaredEntities3000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Rules100000Imports10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Rules100000Over1000Shapes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SheetOf100000RulesImported10000Times)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashArrayOf1000000Values)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashArrayOf1000000ValuesOver50Lines)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashArrayOfZeros)->Arg(12'500)->Arg(50'000)->Arg(200'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashArrayOf20000ZerosThrough100Uses)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagAnchor200Shapes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DashedHairline16Copies)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(WideRoundStrokeCopies)->Arg(10)->Arg(40)->Arg(160)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TreeRouteWideRoundStroke160Copies)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DistinctWords)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TreeRouteDistinctWords)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MaskedSquaresAtOwnSize)->Arg(62)->Arg(250)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_MaskedSquaresAtOwnSize)->Arg(62)->Arg(250)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagMaskedSquares)->Arg(62)->Arg(250)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagDashedHairline1000Copies)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DottedPolylines)
    ->Args({250, 0})->Args({1'000, 0})->Args({4'000, 0})->Args({250, 1})->Args({1'000, 1})->Args({4'000, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagWideRoundStroke160Copies)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SymbolFan3To10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagSymbolFan3To10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagLetterRunsCopies)
    ->ArgNames({"kind", "copies"})
    ->ArgsProduct({{0, 1, 2}, {25, 100, 400}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(FlagLetterRunsInOneText)
    ->ArgNames({"kind", "letters"})
    ->ArgsProduct({{0, 1, 2}, {25'000, 100'000, 400'000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(TextRunCharges)
    ->ArgNames({"stage", "runs"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {10'000, 40'000, 160'000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(FlagPicture4096Through256Uses)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagSelector12StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagGradient2000StopsThrough65536Uses)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagUndeclaredEntities3000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagRules100000Over1000Shapes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagDashArrayOf1000000ValuesOver50Lines)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClassRepeating1NameOver10000Rules)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagWordTests10000Over10LongLists)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagDescendantRules1000Of125StepsOver250Groups)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(FlagClipChain10LevelsOf3Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClipChain17LevelsOf2Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClipChain10LevelsOf3Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_ClipChain10LevelsOf3Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClipChain17LevelsOf2Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_ClipChain17LevelsOf2Over10Squares)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PictureWithTextChunks)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_PictureWithTextChunks)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClippedParts17LevelsOf2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClippedParts17LevelsOf2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_ClippedParts17LevelsOf2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClipChainLevels)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClipChainSquares)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagClippedPartsLevels)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(1);

// References by identifier, each at n, 4n and 16n, drawn at 64 px beside librsvg drawing the same document:
// squares whose fill names a gradient after them or a missing id, or whose clip path names one after them; a
// chain of gradients each naming the next, the last holding 4,096 stops; a square whose fill names nothing
// through thousands of copies after tens of thousands of groups. The time must grow no faster than the
// document. "drawn" is 1 when the middle pixel is painted, "problems" counts what the parse and build reported,
// "peak_MB" is how far the resident high-water mark rose.
std::string referenceDocument(const benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(1));
    switch (state.range(0)) {
    case 0: return hostile::urlReferences(sized(n), hostile::Referenced::gradientFill);
    case 1: return hostile::urlReferences(sized(n), hostile::Referenced::missingFill);
    case 2: return hostile::urlReferences(sized(n), hostile::Referenced::clipPath);
    case 3: return hostile::gradientChain(sized(n), 4'096);
    default: return hostile::missingReferenceThroughCopies(sized(n) * 5, std::max<std::size_t>(sized(n), 100));
    }
}
void References(benchmark::State& state) {
    const std::string text = referenceDocument(state);
    const double start = sorvane::bench::startResidentPeak();
    draw(state, text, 64, [&](const gfx::Bitmap& picture, const vellum::VellumParseResult& result) {
        state.counters["drawn"] = (picture.pixel(32, 32) >> 24) != 0;
        state.counters["problems"] = static_cast<double>(result.errorsRecoverable().size() + result.errorsFatal().size());
    });
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
void Librsvg_References(benchmark::State& state) {
    const auto bytes = foundation::Data::fromString(referenceDocument(state));
    const double start = sorvane::bench::startResidentPeak();
    for (auto _ : state) {
        if (!sidebyside::drawWithLibrsvg(bytes, 64)) return state.SkipWithError("no image");
    }
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
// {document, n}: 0 fill to a gradient, 1 fill to a missing id, 2 clip paths, 3 gradient chain, 4 copies.
void referenceSizes(benchmark::internal::Benchmark* row) {
    row->ArgNames({"doc", "n"});
    for (const std::int64_t kind : {0, 1, 2}) {
        for (const std::int64_t n : {6'250, 25'000, 100'000}) row->Args({kind, n});
    }
    for (const std::int64_t n : {2'500, 10'000, 40'000, 70'000}) row->Args({3, n});
    for (const std::int64_t n : {625, 2'500, 10'000}) row->Args({4, n});
}
BENCHMARK(References)->Apply(referenceSizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Librsvg_References)->Apply(referenceSizes)->Unit(benchmark::kMillisecond)->Iterations(1);

// The cascade's rows, each at three sizes n, 4n and 16n (the argument scales the document): the time must
// grow no faster than the input. A chart of small squares under four ordinary rules; a substring test of
// a long rule over a long value, through use copies and on one element; distinct names (classes, words)
// through use copies; one-word style sheets; attributes by the thousand; substring rules, each searching
// every square's long value (past the matching budget from 4n on: the document is refused).
std::size_t cascadeSized(std::int64_t full) { return sized(static_cast<std::size_t>(full)); }
void CascadeStyledChart(benchmark::State& state) { draw(state, hostile::styledChart(cascadeSized(state.range(0)), false), 64); }
void CascadeSubstringRuleThroughUses(benchmark::State& state) {
    const std::size_t length = cascadeSized(state.range(0));
    draw(state, hostile::longSubstringRule(length, length / 2 + 1, cascadeSized(state.range(1))), 64);
}
void CascadeSubstringRuleOnOneElement(benchmark::State& state) {
    const std::size_t length = cascadeSized(state.range(0));
    draw(state, hostile::longSubstringRule(length, length / 2 + 1, 0), 64);
}
void CascadeDistinctClassesThroughUses(benchmark::State& state) {
    draw(state, hostile::distinctNamesThroughUses(cascadeSized(state.range(0)), cascadeSized(state.range(1)), false), 64);
}
void CascadeDistinctWordsThroughUses(benchmark::State& state) {
    draw(state, hostile::distinctNamesThroughUses(cascadeSized(state.range(0)), cascadeSized(state.range(1)), true), 64);
}
void CascadeSubstringRulesOverSquares(benchmark::State& state) {
    const std::size_t count = cascadeSized(state.range(0));
    draw(state, hostile::substringRulesOverSquares(count, count, 1'000), 64);
}
void CascadeOneWordSheets(benchmark::State& state) { draw(state, hostile::oneWordSheets(cascadeSized(state.range(0))), 64); }
// 8,000 attributes on two elements (the parser's own check of a start tag's attributes grows with their
// square; a tag of more is refused), tested by more and more rules and read by more and more use copies.
void CascadeManyAttributes(benchmark::State& state) {
    draw(state, hostile::manyAttributesUnderRulesAndCopies(cascadeSized(8'000), cascadeSized(state.range(0)), 25,
                                                           cascadeSized(state.range(1))), 64);
}
BENCHMARK(CascadeStyledChart)->Arg(6'000)->Arg(24'000)->Arg(96'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeSubstringRuleThroughUses)
    ->Args({6'250, 62})->Args({25'000, 250})->Args({100'000, 1'000})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeSubstringRuleOnOneElement)
    ->Arg(62'500)->Arg(250'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeDistinctClassesThroughUses)
    ->Args({6'250, 62})->Args({25'000, 250})->Args({100'000, 1'000})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeDistinctWordsThroughUses)
    ->Args({6'250, 62})->Args({25'000, 250})->Args({100'000, 1'000})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeSubstringRulesOverSquares)->Arg(150)->Arg(600)->Arg(2'400)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeOneWordSheets)->Arg(6'250)->Arg(25'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CascadeManyAttributes)
    ->Args({125, 625})->Args({500, 2'500})->Args({2'000, 10'000})->Unit(benchmark::kMillisecond)->Iterations(1);

// Work that grew with the square of a document, each at n, 4n and 16n as the app draws a flag: pairs of uses
// naming each other, each filing an error of its own (and after as many empty clip paths, each filing a note, as
// 16 times the pairs); a chain of gradients each naming the next, filled by as many squares from the last to the
// first. Each must end, drawn or refused, within 2.5 s of CPU and 512 MB; "peak_MB" is how far the resident
// high-water mark rose.
void drawAsFlagWithPeak(benchmark::State& state, const std::string& text) {
    const double start = sorvane::bench::startResidentPeak();
    drawAsFlag(state, text);
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
void FlagMutualUsePairs(benchmark::State& state) {
    drawAsFlagWithPeak(state, hostile::mutualUsePairs(sized(static_cast<std::size_t>(state.range(0)))));
}
void FlagMutualUsePairsAfterClipPaths(benchmark::State& state) {
    const std::size_t pairs = sized(static_cast<std::size_t>(state.range(0)));
    drawAsFlagWithPeak(state, hostile::mutualUsePairs(pairs, 16 * pairs));
}
void FlagGradientChainFilledBackwards(benchmark::State& state) {
    drawAsFlagWithPeak(state, hostile::gradientChainFilledBackwards(sized(static_cast<std::size_t>(state.range(0)))));
}
// A progressive JPEG of 999 scans of end-of-band runs (each a few bytes walking every block of the luma again)
// shown by an image element as a "data:" link, drawn as a flag at 1024, 2048 and 4096 px (the largest picture a
// document may show), beside the same picture in three scans.
void FlagPictureOfRepeatedScans(benchmark::State& state) {
    const auto side = static_cast<int>(smokeRun() ? 64 : state.range(0));
    const auto jpeg = sorvane::testing::repeatedScansJpeg(side, static_cast<int>(state.range(1)));
    const std::string link = "data:image/jpeg" + hostile::pngLink(jpeg.bytes()).substr(std::string_view("data:image/png").size());
    drawAsFlagWithPeak(state, hostile::header + R"(<image width="20" height="20" xlink:href=")" + link + R"("/></svg>)");
    state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}
// GIFs shown by image elements as "data:" links, drawn as flags: `pictures` distinct GIFs of `frames` frames of
// `side` px (16 of 16 frames of 4096 px, 3.3 MB; four of one frame of 16384 px, each past the largest picture
// a document may show). Each picture is sized from its header, and only its first frame decoded, once it
// fits: each must end, drawn or refused, within 2.5 s of CPU and 512 MB.
void FlagGifPictures(benchmark::State& state) {
    const int side = static_cast<int>(smokeRun() ? 64 : state.range(0));
    std::string text = hostile::header;
    for (long picture = 0; picture < state.range(2); ++picture) {
        const auto gif = sorvane::testing::flatGif(side, static_cast<int>(state.range(1)), 0x00a000u + static_cast<std::uint32_t>(picture));
        text += R"(<image width="20" height="20" xlink:href=")" + hostile::pictureDataLink(gif, "gif") + R"("/>)";
    }
    drawAsFlagWithPeak(state, text + "</svg>");
}
BENCHMARK(FlagGifPictures)->Args({4'096, 16, 16})->Args({16'384, 1, 4})->Args({4'096, 1, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

// The parse's rows as the app draws a flag, each at three sizes: one start tag of n distinct attributes (the
// XML library checks each against every one before it; past VellumParser::maximumAttributesATag refused); 8 paths of n "h0" segments each (the path data held);
// n empty <mask/> elements, each filing a warning; a text of 8,000 letters (one run) in <defs> drawn off the
// picture by n use copies (each copy placing every letter). Each must end, drawn or refused, within
// 2.5 s of CPU and 512 MB; "peak_MB" is how far the resident peak rose.
void FlagAttributesOnOneElement(benchmark::State& state) { drawAsFlagWithPeak(state, manyAttributes(scaledRow(state))); }
void FlagEightLongPaths(benchmark::State& state) {
    const std::size_t segments = scaledRow(state);
    std::string text = hostile::header;
    std::string path = R"(<path stroke="#000" d="M0 0)";
    path.reserve(path.size() + 2 * segments + 4);
    for (std::size_t segment = 0; segment < segments; ++segment) path += "h0";
    path += R"("/>)";
    for (int copy = 0; copy < 8; ++copy) text += path;
    drawAsFlagWithPeak(state, text + "</svg>");
}
void FlagEmptyMasks(benchmark::State& state) {
    std::string text = hostile::header;
    for (std::size_t mask = 0; mask < scaledRow(state); ++mask) text += "<mask/>";
    drawAsFlagWithPeak(state, text + "</svg>");
}
void FlagLongTextThroughCopies(benchmark::State& state) {
    std::string text = hostile::header + R"(<defs><text id="t" y="-50" font-size="4">)";
    for (std::size_t letter = 0; letter < sized(8'000); ++letter) text += static_cast<char>('a' + letter % 26);
    text += "</text></defs>";
    for (std::size_t copy = 0; copy < scaledRow(state); ++copy) text += R"(<use xlink:href="#t"/>)";
    drawAsFlagWithPeak(state, text + "</svg>");
}
BENCHMARK(FlagAttributesOnOneElement)->Arg(8'190)->Arg(160'000)->Arg(640'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagEightLongPaths)->Arg(250'000)->Arg(1'000'000)->Arg(3'999'990)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagEmptyMasks)->Arg(175'000)->Arg(700'000)->Arg(2'800'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagLongTextThroughCopies)->Arg(250)->Arg(1'000)->Arg(4'000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(FlagMutualUsePairs)->Arg(625)->Arg(2'500)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagMutualUsePairsAfterClipPaths)->Arg(78)->Arg(312)->Arg(1'250)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagGradientChainFilledBackwards)->Arg(625)->Arg(2'500)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagPictureOfRepeatedScans)
    ->Args({1'024, 999})->Args({2'048, 999})->Args({4'096, 999})->Args({4'096, 3})->Unit(benchmark::kMillisecond)->Iterations(1);

// The cost model's other rows at n, 4n and 16n, each through the library's render at 64 px (a flag's size)
// as drawSource counts it: the time must grow no faster than the document, and past the meter's budget the
// render is refused ("refused" 1) within about that budget. Elements parsed and built (empty groups); use
// copies through a fan of symbols four wide (4^6, 4^7, 4^8 copies); a 1,024-stop radial gradient repeating
// within a pixel over the picture through copies; a picture of 1024 px through doubling copies; squares as large
// as the picture each clipped by a clip path clipped in turn (a mask drawn apart); opacity groups drawn apart;
// a fill of edges across a 2000 px picture through copies; the ordinary document's pixels (512, 1024
// and 2048 px squared).
std::size_t scaled(const benchmark::State& state) { return sized(static_cast<std::size_t>(state.range(0))); }
void ParseEmptyGroups(benchmark::State& state) {
    std::string text = hostile::header;
    for (std::size_t index = 0; index < scaled(state); ++index) text += "<g/>";
    draw(state, text + "</svg>", 64);
}
void UseCopiesThroughSymbolFanOf4(benchmark::State& state) {
    draw(state, hostile::symbolFan(smokeRun() ? 2 : static_cast<int>(state.range(0)), 4), 64);
}
std::string repeatingGradientCopies(std::size_t copies) {
    std::string text = hostile::headerOf100() + R"(<defs><radialGradient id="g" gradientUnits="userSpaceOnUse" )"
                                                R"(cx="50" cy="50" r="0.37" spreadMethod="repeat">)";
    for (std::size_t index = 0; index < 1'024; ++index) {
        text += "<stop offset=\"" + std::to_string(static_cast<double>(index) / 1'023) + "\" stop-color=\"" +
                (index % 2 ? "#00a040" : "#4000c0") + "\"/>";
    }
    text += R"~(</radialGradient><rect id="r" width="100" height="100" fill="url(#g)"/></defs>)~";
    for (std::size_t copy = 0; copy < copies; ++copy) text += R"(<use xlink:href="#r"/>)";
    return text + "</svg>";
}
void RadialGradient1024StopsRepeatingInAPixelCopies(benchmark::State& state) {
    draw(state, repeatingGradientCopies(scaled(state)), 64);
}
void FlagRadialGradient1024StopsRepeatingInAPixelCopies(benchmark::State& state) {
    drawAsFlag(state, repeatingGradientCopies(scaled(state)));
}
void PictureThroughDoublingCopies(benchmark::State& state) {
    draw(state, hostile::pictureThroughDoublingUses(hostile::pictureLink(smokeRun() ? 64 : 1024),
                                                    static_cast<int>(state.range(0))), 64);
}
std::string squaresAsLargeAsThePicture(std::size_t count, const std::string& before, const std::string& attributes,
                                       const std::string& after) {
    std::string text = hostile::headerOf100() + before;
    for (std::size_t index = 0; index < count; ++index) {
        text += R"(<rect x=")" + std::to_string(static_cast<double>(index) * 1e-4) + R"(" width="100" height="100" )" +
                attributes + "/>";
    }
    return text + after + "</svg>";
}
// Each square clipped by a clip path that is clipped in turn: its coverage drawn apart, the square through it.
void MasksDrawnApartOverSquares(benchmark::State& state) {
    draw(state,
         squaresAsLargeAsThePicture(scaled(state),
                                    R"~(<defs><clipPath id="n"><rect width="100" height="80"/></clipPath>)~"
                                    R"~(<clipPath id="m" clip-path="url(#n)"><rect width="80" height="100"/>)~"
                                    R"(<circle cx="50" cy="50" r="40"/></clipPath></defs>)",
                                    R"~(fill="#0a0" fill-opacity="0.5" clip-path="url(#m)")~", ""),
         64);
}
void OpacityGroupsDrawnApart(benchmark::State& state) {
    std::string text = hostile::headerOf100();
    for (std::size_t index = 0; index < scaled(state); ++index) {
        text += R"(<g opacity="0.5"><rect width="80" height="80" fill="#06c"/><rect x="20" y="20" width="80" height="80" fill="#c60"/></g>)";
    }
    draw(state, text + "</svg>", 64);
}
// A fill of 10,000 edges each across a 2000 px picture within two rows, through copies: the converter pays
// each edge's width in cells, the meter the one row it crosses.
void FlatZigzagAcrossCopies(benchmark::State& state) {
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )"
                       R"(width="2000" height="2000"><defs><path id="z" fill="#06c" d="M0 0)";
    const std::size_t segments = sized(10'000);
    for (std::size_t at = 1; at <= segments; ++at)
        text += (at % 2 ? " L2000 " : " L0 ") + std::to_string(static_cast<double>(at) * 2 / static_cast<double>(segments));
    text += R"("/></defs>)";
    for (std::size_t copy = 0; copy < scaled(state); ++copy) text += R"(<use xlink:href="#z"/>)";
    draw(state, text + "</svg>", 2000);
}
void AnchorAtSide(benchmark::State& state) {
    draw(state, ordinaryShapes(), smokeRun() ? 64 : static_cast<int>(state.range(0)));
}
// Drawing calls whose work Cairo does in one call, drawn at their own size under one meter: each must end (drawn
// or refused) within 2.5 s of CPU and 512 MB; "peak_MB" is how far the resident peak rose. n squares as large as
// a 2000 px picture filled by a linear gradient of 1,024 stops repeating within a pixel, aslant (its axis 0.5
// across and 0.3 down): each pixel's colour is looked up among the stops afresh.
std::string aslantRepeatingGradientSquares(std::size_t squares) {
    const std::string side = smokeRun() ? "64" : "2000";
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + side + R"(" height=")" + side + R"("><defs>)"
                       R"(<linearGradient id="g" gradientUnits="userSpaceOnUse" x2="0.5" y2="0.3" spreadMethod="repeat">)";
    for (std::size_t index = 0; index < 1'024; ++index) {
        text += "<stop offset=\"" + std::to_string(static_cast<double>(index) / 1'023) + "\" stop-color=\"" +
                (index % 2 ? "#00a040" : "#4000c0") + "\"/>";
    }
    text += "</linearGradient></defs>";
    for (std::size_t square = 0; square < squares; ++square)
        text += R"(<rect x=")" + std::to_string(square) + R"(" width=")" + side + R"(" height=")" + side + R"~(" fill="url(#g)"/>)~";
    return text + "</svg>";
}
void AslantRepeatingGradientSquares(benchmark::State& state) {
    const double start = sorvane::bench::startResidentPeak();
    draw(state, aslantRepeatingGradientSquares(static_cast<std::size_t>(state.range(0))), smokeRun() ? 64 : 2000);
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
// A zigzag of n segments across a 100 unit picture stroked 25,000,000 units wide with round joins: too wide for the
// converter, so Cairo's pen (tens of thousands of points) lays half a turn's worth of them at every join.
std::string wideRoundJoins(std::size_t segments) {
    std::string text = hostile::headerOf100() + R"(<path fill="none" stroke="#06c" stroke-width="25000000" )"
                                                R"(stroke-linejoin="round" d="M0 0)";
    for (std::size_t segment = 0; segment < segments; ++segment)
        text += (segment % 2 ? " L20 " : " L80 ") + std::to_string(static_cast<double>(segment) * 100 / static_cast<double>(segments));
    return text + R"("/></svg>)";
}
// Groups at half opacity nested n deep over a 2000 px picture, each drawn apart while those around it wait: 16 MB
// of layer a level, held against the render's memory.
void NestedOpacityGroupsAt2000(benchmark::State& state) {
    std::string text = R"(<svg xmlns="http://www.w3.org/2000/svg" width="2000" height="2000">)";
    for (std::int64_t level = 0; level < state.range(0); ++level) text += R"(<g opacity="0.9">)";
    text += R"(<rect width="2000" height="2000" fill="#06c"/>)";
    for (std::int64_t level = 0; level < state.range(0); ++level) text += "</g>";
    const double start = sorvane::bench::startResidentPeak();
    draw(state, text + "</svg>", smokeRun() ? 64 : 2000);
    state.counters["peak_MB"] = sorvane::bench::residentPeakGrowth(start) / 1024;
}
// As flags: the squares as a nested document (an image of it, drawn at its own size), and the zigzag.
void FlagAslantRepeatingGradientNested(benchmark::State& state) {
    const std::string inner = aslantRepeatingGradientSquares(static_cast<std::size_t>(state.range(0)));
    const std::string link = hostile::pngLink({inner.begin(), inner.end()}).substr(std::string("data:image/png").size());
    drawAsFlagToPeak(state, hostile::headerOf100() + R"(<image width="100" height="100" xlink:href="data:image/svg+xml)" +
                                link + R"("/></svg>)");
}
void FlagWideRoundJoins(benchmark::State& state) { drawAsFlagToPeak(state, wideRoundJoins(scaled(state))); }
BENCHMARK(ParseEmptyGroups)->Arg(25'000)->Arg(100'000)->Arg(400'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(UseCopiesThroughSymbolFanOf4)->Arg(6)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RadialGradient1024StopsRepeatingInAPixelCopies)
    ->Arg(625)->Arg(2'500)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagRadialGradient1024StopsRepeatingInAPixelCopies)
    ->Arg(625)->Arg(2'500)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PictureThroughDoublingCopies)->Arg(4)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MasksDrawnApartOverSquares)->Arg(250)->Arg(1'000)->Arg(4'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OpacityGroupsDrawnApart)->Arg(250)->Arg(1'000)->Arg(4'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlatZigzagAcrossCopies)->Arg(62)->Arg(250)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AnchorAtSide)->Arg(512)->Arg(1'024)->Arg(2'048)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(AslantRepeatingGradientSquares)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagAslantRepeatingGradientNested)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(NestedOpacityGroupsAt2000)->Arg(8)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(FlagWideRoundJoins)->Arg(9'000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
