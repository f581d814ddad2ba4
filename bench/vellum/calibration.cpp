// The work meter's calibration (gfx::WorkMeter): each class of work it charges, drawn at n, 4n and 16n, and
// the thread's CPU time it took over the units it was charged. "ns_per_unit" should lie within 0.5-2 for
// every class on this kind of machine (docs/cost-model.md, Calibration); "units" is what one render was
// charged. A row times one stage: the parse of the document's bytes ("parse"), the layer build ("build") or
// the drawing of a tree built beforehand ("draw"). Its meter has no practical budget, so nothing is refused.
// Run: bench_vellum_calibration --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/vellum/HostileDocuments.h"
#include "BenchSmoke.h"
#include "gfx/Context.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceString.h"

namespace {

using sorvane::bench::smokeRun;

constexpr std::uint64_t unbounded = 1'000'000'000'000'000;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

std::string svgOf(int side, const std::string& body) {
    const std::string size = std::to_string(side);
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width=")" + size +
           R"(" height=")" + size + R"(">)" + body + "</svg>";
}

// A polyline of `segments` across a `side` square, to and fro, each segment crossing it: across its width
// stepping down, or (`upright`) down its height stepping right.
std::string zigzag(std::size_t segments, int side, bool upright = false) {
    std::string points = "M0 0";
    for (std::size_t at = 1; at <= segments; ++at) {
        const std::string across = std::to_string(at % 2 ? side : 0);
        const std::string along = std::to_string(double(at * std::size_t(side)) / double(segments));
        points += upright ? " L" + along + " " + across : " L" + across + " " + along;
    }
    return points;
}

// `style` names the stroke's colour and more.
std::string strokedZigzag(std::size_t segments, int side, const std::string& style) {
    return R"(<path fill="none" )" + style + R"( d=")" + zigzag(segments, side) + R"("/>)";
}

// `count` elements of `element(index)`.
std::string repeated(std::size_t count, const std::function<std::string(std::size_t)>& element) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index) text += element(index);
    return text;
}

std::string squareAt(std::size_t index, int side, int cells, const std::string& attributes) {
    const int cell = side / cells;
    return "<rect x=\"" + std::to_string(int(index % std::size_t(cells)) * cell) + "\" y=\"" +
           std::to_string(int(index / std::size_t(cells) % std::size_t(cells)) * cell) + "\" width=\"" +
           std::to_string(cell) + "\" height=\"" + std::to_string(cell) + "\" " + attributes + "/>";
}

// A gradient of `stops` across the picture, or repeating within a pixel (its period not a pixel's divisor, so
// each pixel lands elsewhere among the stops); linear or radial.
std::string gradientOf(std::size_t stops, bool repeating, bool radial = false) {
    std::string text = radial ? R"(<radialGradient id="g" gradientUnits="userSpaceOnUse" cx="128" cy="128" )"
                              : R"(<linearGradient id="g" gradientUnits="userSpaceOnUse" x1="0" )";
    if (radial) {
        text += repeating ? R"(r="0.37" spreadMethod="repeat">)" : R"(r="181">)";
    } else {
        text += repeating ? R"(x2="0.37" spreadMethod="repeat">)" : R"(x2="256">)";
    }
    for (std::size_t index = 0; index < stops; ++index) {
        text += "<stop offset=\"" + std::to_string(double(index) / double(stops - 1)) + "\" stop-color=\"" +
                (index % 2 ? "#00a040" : "#4000c0") + "\"/>";
    }
    return text + (radial ? "</radialGradient>" : "</linearGradient>");
}

// One class of work: its document at a size, the side it is drawn at and the stage timed.
struct Class {
    const char* name;
    int side;
    bool build;
    std::int64_t n;
    std::function<std::string(std::size_t n)> document;
    bool parse = false;  // the parse is timed (`build` then says nothing)
};

// The parse alone: its bytes to a document, the document freed after the clock is read.
void measureParse(benchmark::State& state, const Class& measured) {
    const std::string text = measured.document(smokeRun() ? 1 : std::size_t(state.range(0)));
    double seconds = 0, units = 0;
    for (auto _ : state) {
        std::shared_ptr<vellum::VellumParseResult> result;
        {
            gfx::WorkMeter meter(unbounded);
            const double start = threadSeconds();
            result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
                vellum::VellumSourceString::sourceFromContentsOfString(text));
            seconds += threadSeconds() - start;
            units += double(meter.used());
        }
        if (!result->parsedDocument()) return state.SkipWithError("no document");
    }
    state.counters["units"] = units / double(state.iterations());
    state.counters["ns_per_unit"] = units > 0 ? seconds * 1e9 / units : 0;
}

void measure(benchmark::State& state, const Class& measured) {
    if (measured.parse) return measureParse(state, measured);
    const std::size_t n = smokeRun() ? 1 : std::size_t(state.range(0));
    auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
        vellum::VellumSourceString::sourceFromContentsOfString(measured.document(n)));
    auto document = result ? result->parsedDocument() : nullptr;
    if (!document || !document->rootElement()) return state.SkipWithError("no document");
    auto root = document->rootElement();
    const auto side = float(measured.side);
    root->setViewport(vellum::SVGRectMake(0, 0, side, side));
    std::shared_ptr<quartz::Layer> tree;
    {
        gfx::WorkMeter meter(unbounded);
        tree = vellum::VellumLayerTree::newLayerWithElement(root, result.get());
    }
    if (!tree) return state.SkipWithError("no layer tree");
    auto context = gfx::Context::create(gfx::Size{side, side}, {.scale = 1});
    double seconds = 0, units = 0;
    for (auto _ : state) {
        auto previous = std::move(tree);  // freed after the stage is timed
        if (!measured.build) tree = previous;
        gfx::WorkMeter meter(unbounded);
        const double start = threadSeconds();
        if (measured.build) {
            tree = vellum::VellumLayerTree::newLayerWithElement(root, result.get());
        } else {
            quartz::render(*tree, *context);
        }
        seconds += threadSeconds() - start;
        units += double(meter.used());
        benchmark::DoNotOptimize(tree);
    }
    state.counters["units"] = units / double(state.iterations());
    state.counters["ns_per_unit"] = units > 0 ? seconds * 1e9 / units : 0;
}

std::string dashedIn(std::size_t segments, const std::string& style) {
    return strokedZigzag(segments, 256, R"(stroke="#204080" )" + style);
}

// Squares of 64 px on a picture large enough that each square's own edges and pixels are charged.
std::string gradientSquares(std::size_t n, std::size_t stops, bool repeating, bool radial = false) {
    return svgOf(1024, "<defs>" + gradientOf(stops, repeating, radial) + "</defs>" +
                           repeated(n, [](std::size_t index) { return squareAt(index, 1024, 16, R"~(fill="url(#g)")~"); }));
}

// The smoke run (SORVANE_BENCH_SMOKE) draws one of everything, small: it only shows that each class still draws.
std::string picture(int pixels) { return hostile::pictureLink(smokeRun() ? 64 : pixels); }

// `n` copies of a picture of `side` pixels, each shown in 64 x 64.
std::string picturesDrawn(std::size_t n, int side) {
    return svgOf(256, "<defs><image id=\"p\" width=\"64\" height=\"64\" xlink:href=\"" + picture(side) + "\"/></defs>" +
                          repeated(n, [](std::size_t index) {
                              return "<use xlink:href=\"#p\" x=\"" + std::to_string(index % 4 * 64) + "\" y=\"" +
                                     std::to_string(index / 4 % 4 * 64) + "\"/>";
                          }));
}

// `n` groups drawn apart at half opacity, each of two squares overlapping over the picture.
std::string opacityGroups(std::size_t n, int side) {
    const std::string size = std::to_string(side * 200 / 256), at = std::to_string(side * 56 / 256);
    return svgOf(side, repeated(n, [&](std::size_t) {
                     return R"(<g opacity="0.5"><rect width=")" + size + R"(" height=")" + size + R"(" fill="#3060c0"/>)" +
                            R"(<rect x=")" + at + R"(" y=")" + at + R"(" width=")" + size + R"(" height=")" + size +
                            R"(" fill="#c06030"/></g>)";
                 }));
}

// A clip path clipped by another: its coverage is drawn apart and what it clips is drawn through it.
const std::string maskedApart =
    R"~(<defs><clipPath id="n"><rect width="256" height="200"/></clipPath><clipPath id="m" clip-path="url(#n)">)~"
    R"(<rect width="200" height="256"/><circle cx="128" cy="128" r="100"/></clipPath></defs>)";

std::string lettersThroughCopies(std::size_t letters, std::size_t copies) {
    std::string text;
    for (std::size_t letter = 0; letter < letters; ++letter) text += char('a' + letter % 26);
    return svgOf(256, R"(<defs><text id="t" y="-50" font-size="4">)" + text + "</text></defs>" +
                          repeated(copies, [](std::size_t) { return std::string(R"(<use xlink:href="#t"/>)"); }));
}

const std::vector<Class>& classes() {
    static const std::vector<Class> all = {
        // Small squares on a large picture: each pays its edges and pixels, walked.
        {"FillSmallShapes", 1024, false, 1'000,
         [](std::size_t n) {
             return svgOf(1024, repeated(n, [](std::size_t index) { return squareAt(index, 1024, 512, R"(fill="#3060c0")"); }));
         }},
        // The same on a picture small enough that each pays the bound of its rows and pixels, unwalked.
        {"FillSmallShapesAtTheirBound", 256, false, 1'000,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) { return squareAt(index, 256, 128, R"(fill="#3060c0")"); }));
         }},
        {"FillLargeShapes", 256, false, 16,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return squareAt(0, 256, 1, index % 2 ? R"(fill="#3060c0")" : R"(fill="#c06030")");
                          }));
         }},
        {"FillLongPath", 256, false, 2'500,
         [](std::size_t n) { return svgOf(256, R"(<path fill="#3060c0" d=")" + zigzag(n, 256) + R"("/>)"); }},
        // The same edges across a wide picture within two rows: each costs its width in cells, and crosses one row.
        {"FillFlatPathAcross", 2000, false, 2'500,
         [](std::size_t n) {
             std::string points = "M0 0";
             for (std::size_t at = 1; at <= n; ++at)
                 points += " L" + std::to_string(at % 2 ? 2000 : 0) + " " + std::to_string(double(at) * 2 / double(n));
             return svgOf(2000, R"(<path fill="#3060c0" d=")" + points + R"("/>)");
         }},
        {"FillLongPathUpright", 256, false, 2'500,
         [](std::size_t n) { return svgOf(256, R"(<path fill="#3060c0" d=")" + zigzag(n, 256, true) + R"("/>)"); }},
        {"StrokeWide", 256, false, 1'000,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="6" stroke-linejoin="round")")); }},
        // A wide stroke with round joins, its outline's edges crowding every row (a flag's 64 px).
        {"StrokeWideCrowded", 64, false, 2'500, [](std::size_t n) { return hostile::wideRoundStrokeCopies(n, 1); }},
        {"StrokeHairline", 256, false, 2'500,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="0.5")")); }},
        {"DashesLaid", 256, false, 100,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="4 3")")); }},
        // Under a clip path that is clipped in turn (a mask drawn apart), Cairo walks the dashes.
        {"DashesWalked", 256, false, 100,
         [](std::size_t n) { return svgOf(256, maskedApart + dashedIn(n, R"~(stroke-width="2" stroke-dasharray="4 3" clip-path="url(#m)")~")); }},
        {"DotsRound", 256, false, 50,
         [](std::size_t n) {
             return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="0 3" stroke-linecap="round")"));
         }},
        {"DotsSquare", 256, false, 50,
         [](std::size_t n) {
             return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="0 3" stroke-linecap="square")"));
         }},
        {"Gradient2StopsPadded", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 2, false); }},
        {"Gradient64StopsPadded", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 64, false); }},
        {"Gradient1024StopsPadded", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 1'024, false); }},
        {"Gradient2StopsRepeating", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 2, true); }},
        {"Gradient64StopsRepeating", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 64, true); }},
        {"Gradient1024StopsRepeating", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 1'024, true); }},
        {"RadialGradient2StopsPadded", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 2, false, true); }},
        {"RadialGradient1024StopsPadded", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 1'024, false, true); }},
        {"RadialGradient2StopsRepeating", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 2, true, true); }},
        {"RadialGradient64StopsRepeating", 1024, false, 16, [](std::size_t n) { return gradientSquares(n, 64, true, true); }},
        {"RadialGradient1024StopsRepeating", 1024, false, 16,
         [](std::size_t n) { return gradientSquares(n, 1'024, true, true); }},
        // A clip path of two shapes (one coverage of their union) over translucent squares as large as the picture.
        {"ClipPathsOfTwoShapes", 512, false, 16, [](std::size_t n) { return hostile::clippedRectsAtScale(n, 512); }},
        {"ClipPathsOfTwoShapesAt2000", 2000, false, 4, [](std::size_t n) { return hostile::clippedRectsAtScale(n); }},
        {"MasksDrawnApart", 256, false, 16,
         [](std::size_t n) {
             return svgOf(256, maskedApart + repeated(n, [](std::size_t index) {
                                   return "<rect x=\"" + std::to_string(double(index) * 1e-3) +
                                          R"~(" width="256" height="256" fill="#3060c0" fill-opacity="0.5" clip-path="url(#m)"/>)~";
                               }));
         }},
        {"OffscreenGroups", 256, false, 16, [](std::size_t n) { return opacityGroups(n, 256); }},
        {"OffscreenGroupsAt2000", 2000, false, 4, [](std::size_t n) { return opacityGroups(n, 2000); }},
        {"PicturesDrawn512Into64", 256, false, 16, [](std::size_t n) { return picturesDrawn(n, 512); }},
        {"PicturesDrawn128Into64", 256, false, 16, [](std::size_t n) { return picturesDrawn(n, 128); }},
        {"PicturesDrawn256Into64", 256, false, 16, [](std::size_t n) { return picturesDrawn(n, 256); }},
        {"PicturesDrawn2048Into64", 256, false, 1, [](std::size_t n) { return picturesDrawn(n, 2048); }},
        {"PicturesDrawn4096Into64", 256, false, 1, [](std::size_t n) { return picturesDrawn(n, 4096); }},
        {"PicturesDrawn64Into64", 256, false, 16, [](std::size_t n) { return picturesDrawn(n, 64); }},
        {"PicturesDecoded", 256, true, 4,
         [](std::size_t n) {
             const std::string link = picture(256);
             return svgOf(256, repeated(n, [&](std::size_t) {
                              return "<image width=\"64\" height=\"64\" xlink:href=\"" + link + "\"/>";
                          }));
         }},
        {"GlyphsSmall", 256, false, 50,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2\" y=\"" + std::to_string(index % 20 * 12 + 12) +
                                     R"(" font-size="12">Calibrating the meter</text>)";
                          }));
         }},
        {"GlyphsLarge", 256, false, 10,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2\" y=\"" + std::to_string(index % 4 * 60 + 60) +
                                     R"(" font-size="60">Meter</text>)";
                          }));
         }},
        {"TextRunsALetter", 256, false, 50,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2 14 26 38 50 62 74 86\" y=\"" + std::to_string(index % 20 * 12 + 12) +
                                     R"(" font-size="12">Calibrat</text>)";
                          }));
         }},
        {"LayerBuild", 256, true, 2'000,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) { return squareAt(index, 256, 64, R"(fill="#3060c0")"); }));
         }},
        {"LayerBuildThroughUses", 256, true, 2'000,
         [](std::size_t n) {
             return svgOf(256, R"(<defs><rect id="r" width="4" height="4" fill="#3060c0"/></defs>)" +
                                   repeated(n, [](std::size_t index) {
                                       return "<use xlink:href=\"#r\" x=\"" + std::to_string(index % 64 * 4) + "\" y=\"" +
                                              std::to_string(index / 64 % 64 * 4) + "\"/>";
                                   }));
         }},
        // A text of 2,000 or 8,000 letters in one run, drawn off the picture by copies: each copy places every letter.
        {"TextLettersThroughCopies", 256, true, 100, [](std::size_t n) { return lettersThroughCopies(2'000, n); }},
        {"Text8000LettersThroughCopies", 256, true, 25, [](std::size_t n) { return lettersThroughCopies(8'000, n); }},
        // The parse: empty elements; elements of 16 short attributes; long attribute values (bytes); one start
        // tag of n distinct attributes (the XML library checks each against those before it).
        {"ParseEmptyElements", 256, false, 25'000,
         [](std::size_t n) { return svgOf(256, repeated(n, [](std::size_t) { return std::string("<g/>"); })); }, true},
        {"ParseAttributes", 256, false, 2'500,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t) {
                              std::string element = "<g";
                              for (int index = 0; index < 16; ++index) element += " a" + std::to_string(index) + "=\"1\"";
                              return element + "/>";
                          }));
         }, true},
        {"ParseLongValues", 256, false, 250,
         [](std::size_t n) {
             const std::string value(4'000, 'v');
             return svgOf(256, repeated(n, [&](std::size_t) { return "<g class=\"" + value + "\"/>"; }));
         }, true},
        {"ParseAttributesOfOneTag", 256, false, 500,
         [](std::size_t n) {
             return svgOf(256, "<g" + repeated(n, [](std::size_t index) { return " a" + std::to_string(index) + "=\"1\""; }) +
                                   "/>");
         }, true},
        // Squares styled by rules: the layers' units and the matching's, charged to the meter besides its own budget.
        {"CascadeStyledChart", 256, true, 2'000, [](std::size_t n) { return hostile::styledChart(n, false); }},
    };
    return all;
}

[[maybe_unused]] const bool registered = [] {
    for (const Class& measured : classes()) {
        auto* row = benchmark::RegisterBenchmark(measured.name, [&measured](benchmark::State& state) { measure(state, measured); })
                        ->Arg(measured.n)
                        ->Arg(measured.n * 4)
                        ->Arg(measured.n * 16)
                        ->Unit(benchmark::kMillisecond);
        if (!smokeRun()) row->MinTime(0.2);
    }
    return true;
}();

}  // namespace
