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
#include <optional>
#include <string>
#include <vector>

#include "../../tests/vellum/HostileDocuments.h"
#include "BenchSmoke.h"
#include "FlatGif.h"
#include "NoiseBitmap.h"
#include "RepeatedScansJpeg.h"
#include "gfx/Context.h"
#include "gfx/ImageEncoder.h"
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
// each pixel lands elsewhere among the stops); linear or radial. A linear one `aslant` runs down as well as across,
// so that no two rows are alike.
std::string gradientOf(std::size_t stops, bool repeating, bool radial = false, bool aslant = false) {
    std::string text = radial ? R"(<radialGradient id="g" gradientUnits="userSpaceOnUse" cx="128" cy="128" )"
                              : R"(<linearGradient id="g" gradientUnits="userSpaceOnUse" x1="0" )";
    if (radial) {
        text += repeating ? R"(r="0.37" spreadMethod="repeat">)" : R"(r="181">)";
    } else if (aslant) {
        text += repeating ? R"(x2="0.5" y2="0.3" spreadMethod="repeat">)" : R"(x2="256" y2="150">)";
    } else {
        text += repeating ? R"(x2="0.37" spreadMethod="repeat">)" : R"(x2="256">)";
    }
    for (std::size_t index = 0; index < stops; ++index) {
        text += "<stop offset=\"" + std::to_string(double(index) / double(stops - 1)) + "\" stop-color=\"" +
                (index % 2 ? "#00a040" : "#4000c0") + "\"/>";
    }
    return text + (radial ? "</radialGradient>" : "</linearGradient>");
}

enum class Stage { parse, build, draw };

// One class of work: its document at a size, the side it is drawn at and the stage timed.
struct Class {
    const char* name;
    int side;
    Stage stage;
    std::int64_t n;
    std::function<std::string(std::size_t n)> document;
};

void measure(benchmark::State& state, const Class& measured) {
    const std::size_t n = smokeRun() ? 1 : std::size_t(state.range(0));
    const std::string text = measured.document(n);
    const auto parse = [&] {
        return vellum::VellumParser::parseSourceUsingDefaultVellumParser(vellum::VellumSourceString::sourceFromContentsOfString(text));
    };
    auto result = parse();
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
        auto parsed = std::move(result);
        if (measured.stage == Stage::draw) tree = previous;
        gfx::WorkMeter meter(unbounded);
        const double start = threadSeconds();
        if (measured.stage == Stage::parse) {
            result = parse();
        } else if (measured.stage == Stage::build) {
            tree = vellum::VellumLayerTree::newLayerWithElement(root, parsed.get());
        } else {
            quartz::render(*tree, *context);
        }
        if (!result) result = std::move(parsed);
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
std::string gradientSquares(std::size_t n, std::size_t stops, bool repeating, bool radial = false, bool aslant = false) {
    return svgOf(1024, "<defs>" + gradientOf(stops, repeating, radial, aslant) + "</defs>" +
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

// Noise of `side` px written as a progressive JPEG by libjpeg's own script (ten scans for colour).
std::optional<foundation::Data> progressiveNoiseJpeg(int side, unsigned seed) {
    const gfx::Bitmap noise = sorvane::bench::noiseBitmap(side, side, seed);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = info.image_height = JDIMENSION(side);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(noise.pixels.data() + std::size_t(info.next_scanline) * std::size_t(noise.stride));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    foundation::Data data = foundation::Data::fromString(std::string_view(reinterpret_cast<const char*>(buffer), length));
    std::free(buffer);
    return data;
}

enum class pictureKind { gif, gifOfNoise, jpeg, progressiveJpeg, scans };

// `n` distinct pictures of 512 px (each decoded: links are shared), each shown in 64 x 64.
std::string distinctPictures(std::size_t n, pictureKind kind) {
    const int side = smokeRun() ? 64 : 512;
    return svgOf(256, repeated(n, [&](std::size_t index) {
                     std::string link;
                     if (kind == pictureKind::gif) {
                         link = hostile::pictureDataLink(sorvane::testing::flatGif(side, 1, 0x3060c0u + std::uint32_t(index)), "gif");
                     } else if (kind == pictureKind::gifOfNoise) {
                         const auto gif = gfx::encodeGif({{sorvane::bench::noiseBitmap(side, side, unsigned(index))}}, side, side);
                         link = hostile::pictureDataLink(gif->bytes(), "gif");
                     } else if (kind == pictureKind::scans) {
                         link = hostile::pictureDataLink(sorvane::testing::repeatedScansJpeg(side + 8 * int(index), 30).bytes(), "jpeg");
                     } else {
                         const auto bytes = kind == pictureKind::jpeg
                                                ? gfx::encodeJpeg(sorvane::bench::noiseBitmap(side, side, unsigned(index)), 0.9)
                                                : progressiveNoiseJpeg(side, unsigned(index));
                         link = hostile::pictureDataLink(bytes->bytes(), "jpeg");
                     }
                     return "<image x=\"" + std::to_string(index % 4 * 64) + "\" y=\"" + std::to_string(index / 4 % 4 * 64) +
                            "\" width=\"64\" height=\"64\" xlink:href=\"" + link + "\"/>";
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
        {"FillSmallShapes", 1024, Stage::draw, 1'000,
         [](std::size_t n) {
             return svgOf(1024, repeated(n, [](std::size_t index) { return squareAt(index, 1024, 512, R"(fill="#3060c0")"); }));
         }},
        // The same on a picture small enough that each pays the bound of its rows and pixels, unwalked.
        {"FillSmallShapesAtTheirBound", 256, Stage::draw, 1'000,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) { return squareAt(index, 256, 128, R"(fill="#3060c0")"); }));
         }},
        {"FillLargeShapes", 256, Stage::draw, 16,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return squareAt(0, 256, 1, index % 2 ? R"(fill="#3060c0")" : R"(fill="#c06030")");
                          }));
         }},
        {"FillLongPath", 256, Stage::draw, 2'500,
         [](std::size_t n) { return svgOf(256, R"(<path fill="#3060c0" d=")" + zigzag(n, 256) + R"("/>)"); }},
        // The same edges across a wide picture within two rows: each costs its width in cells, and crosses one row.
        {"FillFlatPathAcross", 2000, Stage::draw, 2'500,
         [](std::size_t n) {
             std::string points = "M0 0";
             for (std::size_t at = 1; at <= n; ++at)
                 points += " L" + std::to_string(at % 2 ? 2000 : 0) + " " + std::to_string(double(at) * 2 / double(n));
             return svgOf(2000, R"(<path fill="#3060c0" d=")" + points + R"("/>)");
         }},
        {"FillLongPathUpright", 256, Stage::draw, 2'500,
         [](std::size_t n) { return svgOf(256, R"(<path fill="#3060c0" d=")" + zigzag(n, 256, true) + R"("/>)"); }},
        {"StrokeWide", 256, Stage::draw, 1'000,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="6" stroke-linejoin="round")")); }},
        // A wide stroke with round joins, its outline's edges crowding every row (a flag's 64 px).
        {"StrokeWideCrowded", 64, Stage::draw, 2'500, [](std::size_t n) { return hostile::wideRoundStrokeCopies(n, 1); }},
        // Too wide for the converter: Cairo's round pen of about 5,400 points lays half of them at each join.
        {"StrokeRoundJoinsOfCairosPen", 256, Stage::draw, 25,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="300000" stroke-linejoin="round")")); }},
        {"StrokeHairline", 256, Stage::draw, 2'500,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="0.5")")); }},
        {"DashesLaid", 256, Stage::draw, 100,
         [](std::size_t n) { return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="4 3")")); }},
        // Under a clip path that is clipped in turn (a mask drawn apart), Cairo walks the dashes.
        {"DashesWalked", 256, Stage::draw, 100,
         [](std::size_t n) { return svgOf(256, maskedApart + dashedIn(n, R"~(stroke-width="2" stroke-dasharray="4 3" clip-path="url(#m)")~")); }},
        {"DotsRound", 256, Stage::draw, 50,
         [](std::size_t n) {
             return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="0 3" stroke-linecap="round")"));
         }},
        {"DotsSquare", 256, Stage::draw, 50,
         [](std::size_t n) {
             return svgOf(256, dashedIn(n, R"(stroke-width="2" stroke-dasharray="0 3" stroke-linecap="square")"));
         }},
        {"Gradient2StopsPadded", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 2, false); }},
        {"Gradient64StopsPadded", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 64, false); }},
        {"Gradient1024StopsPadded", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 1'024, false); }},
        {"Gradient2StopsRepeating", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 2, true); }},
        {"Gradient64StopsRepeating", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 64, true); }},
        {"Gradient1024StopsRepeating", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 1'024, true); }},
        // Aslant, each pixel's stop is sought afresh among them (Cairo paints the squares, in bands past a few ms).
        {"Gradient64StopsAslantRepeating", 1024, Stage::draw, 16,
         [](std::size_t n) { return gradientSquares(n, 64, true, false, true); }},
        {"Gradient1024StopsAslantRepeating", 1024, Stage::draw, 4,
         [](std::size_t n) { return gradientSquares(n, 1'024, true, false, true); }},
        {"Gradient1024StopsAslantPadded", 1024, Stage::draw, 4,
         [](std::size_t n) { return gradientSquares(n, 1'024, false, false, true); }},
        // Rings, whose spans the converter paints from a strip of the gradient Cairo paints along its axis.
        {"Gradient1024StopsAslantRepeatingInRings", 1024, Stage::draw, 16,
         [](std::size_t n) {
             return svgOf(1024, "<defs>" + gradientOf(1'024, true, false, true) + "</defs>" +
                                    repeated(n, [](std::size_t index) {
                                        return "<circle cx=\"" + std::to_string(index % 16 * 64 + 32) + "\" cy=\"" +
                                               std::to_string(index / 16 % 16 * 64 + 32) + R"~(" r="30" fill="none" stroke="url(#g)" stroke-width="4"/>)~";
                                    }));
         }},
        // Squares as large as a 2000 px picture: Cairo paints each in bands.
        {"Gradient1024StopsAslantRepeatingAt2000", 2000, Stage::draw, 1,
         [](std::size_t n) {
             return svgOf(2000, "<defs>" + gradientOf(1'024, true, false, true) + "</defs>" +
                                    repeated(n, [](std::size_t) { return std::string(R"~(<rect width="2000" height="2000" fill="url(#g)"/>)~"); }));
         }},
        {"RadialGradient2StopsPadded", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 2, false, true); }},
        {"RadialGradient1024StopsPadded", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 1'024, false, true); }},
        {"RadialGradient2StopsRepeating", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 2, true, true); }},
        {"RadialGradient64StopsRepeating", 1024, Stage::draw, 16, [](std::size_t n) { return gradientSquares(n, 64, true, true); }},
        {"RadialGradient1024StopsRepeating", 1024, Stage::draw, 16,
         [](std::size_t n) { return gradientSquares(n, 1'024, true, true); }},
        // A clip path of two shapes (one coverage of their union) over translucent squares as large as the picture.
        {"ClipPathsOfTwoShapes", 512, Stage::draw, 16, [](std::size_t n) { return hostile::clippedRectsAtScale(n, 512); }},
        {"ClipPathsOfTwoShapesAt2000", 2000, Stage::draw, 4, [](std::size_t n) { return hostile::clippedRectsAtScale(n); }},
        {"MasksDrawnApart", 256, Stage::draw, 16,
         [](std::size_t n) {
             return svgOf(256, maskedApart + repeated(n, [](std::size_t index) {
                                   return "<rect x=\"" + std::to_string(double(index) * 1e-3) +
                                          R"~(" width="256" height="256" fill="#3060c0" fill-opacity="0.5" clip-path="url(#m)"/>)~";
                               }));
         }},
        {"OffscreenGroups", 256, Stage::draw, 16, [](std::size_t n) { return opacityGroups(n, 256); }},
        {"OffscreenGroupsAt2000", 2000, Stage::draw, 4, [](std::size_t n) { return opacityGroups(n, 2000); }},
        {"PicturesDrawn512Into64", 256, Stage::draw, 16, [](std::size_t n) { return picturesDrawn(n, 512); }},
        {"PicturesDrawn128Into64", 256, Stage::draw, 16, [](std::size_t n) { return picturesDrawn(n, 128); }},
        {"PicturesDrawn256Into64", 256, Stage::draw, 16, [](std::size_t n) { return picturesDrawn(n, 256); }},
        {"PicturesDrawn2048Into64", 256, Stage::draw, 1, [](std::size_t n) { return picturesDrawn(n, 2048); }},
        {"PicturesDrawn4096Into64", 256, Stage::draw, 1, [](std::size_t n) { return picturesDrawn(n, 4096); }},
        {"PicturesDrawn64Into64", 256, Stage::draw, 16, [](std::size_t n) { return picturesDrawn(n, 64); }},
        {"PicturesDecoded", 256, Stage::build, 4,
         [](std::size_t n) {
             const std::string link = picture(256);
             return svgOf(256, repeated(n, [&](std::size_t) {
                              return "<image width=\"64\" height=\"64\" xlink:href=\"" + link + "\"/>";
                          }));
         }},
        // Distinct pictures of 512 px decoded: a GIF of one colour (its codes long) and one of noise (short), a JPEG of
        // noise in one scan and progressive (ten), and one of 30 scans, most of end-of-band runs walking every block.
        {"PicturesDecodedGif", 256, Stage::build, 1, [](std::size_t n) { return distinctPictures(n, pictureKind::gif); }},
        {"PicturesDecodedGifOfNoise", 256, Stage::build, 1, [](std::size_t n) { return distinctPictures(n, pictureKind::gifOfNoise); }},
        {"PicturesDecodedJpeg", 256, Stage::build, 1, [](std::size_t n) { return distinctPictures(n, pictureKind::jpeg); }},
        {"PicturesDecodedProgressiveJpeg", 256, Stage::build, 1,
         [](std::size_t n) { return distinctPictures(n, pictureKind::progressiveJpeg); }},
        {"PicturesDecodedJpegOf30Scans", 256, Stage::build, 1, [](std::size_t n) { return distinctPictures(n, pictureKind::scans); }},
        {"GlyphsSmall", 256, Stage::draw, 50,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2\" y=\"" + std::to_string(index % 20 * 12 + 12) +
                                     R"(" font-size="12">Calibrating the meter</text>)";
                          }));
         }},
        {"GlyphsLarge", 256, Stage::draw, 10,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2\" y=\"" + std::to_string(index % 4 * 60 + 60) +
                                     R"(" font-size="60">Meter</text>)";
                          }));
         }},
        {"TextRunsALetter", 256, Stage::draw, 50,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) {
                              return "<text x=\"2 14 26 38 50 62 74 86\" y=\"" + std::to_string(index % 20 * 12 + 12) +
                                     R"(" font-size="12">Calibrat</text>)";
                          }));
         }},
        // A text of many characters placed by use copies, each copy measuring and placing its runs again.
        {"TextThroughUseCopies", 256, Stage::build, 20,
         [](std::size_t n) {
             std::string words;
             for (int word = 0; word < 200; ++word) words += "Calibrating ";
             return svgOf(256, R"(<defs><text id="t" font-size="12">)" + words + "</text></defs>" +
                                   repeated(n, [](std::size_t index) {
                                       return "<use xlink:href=\"#t\" y=\"" + std::to_string(index % 20 * 12 + 12) + "\"/>";
                                   }));
         }},
        {"LayerBuild", 256, Stage::build, 2'000,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t index) { return squareAt(index, 256, 64, R"(fill="#3060c0")"); }));
         }},
        {"LayerBuildThroughUses", 256, Stage::build, 2'000,
         [](std::size_t n) {
             return svgOf(256, R"(<defs><rect id="r" width="4" height="4" fill="#3060c0"/></defs>)" +
                                   repeated(n, [](std::size_t index) {
                                       return "<use xlink:href=\"#r\" x=\"" + std::to_string(index % 64 * 4) + "\" y=\"" +
                                              std::to_string(index / 64 % 64 * 4) + "\"/>";
                                   }));
         }},
        // A text of 2,000 or 8,000 letters in one run, drawn off the picture by copies: each copy places every letter.
        {"TextLettersThroughCopies", 256, Stage::build, 100, [](std::size_t n) { return lettersThroughCopies(2'000, n); }},
        {"Text8000LettersThroughCopies", 256, Stage::build, 25, [](std::size_t n) { return lettersThroughCopies(8'000, n); }},
        // The parse: empty elements; elements of 16 short attributes; long attribute values (bytes); one start
        // tag of n distinct attributes (the XML library checks each against those before it).
        {"ParseEmptyElements", 256, Stage::parse, 25'000,
         [](std::size_t n) { return svgOf(256, repeated(n, [](std::size_t) { return std::string("<g/>"); })); }},
        {"ParseAttributes", 256, Stage::parse, 2'500,
         [](std::size_t n) {
             return svgOf(256, repeated(n, [](std::size_t) {
                              std::string element = "<g";
                              for (int index = 0; index < 16; ++index) element += " a" + std::to_string(index) + "=\"1\"";
                              return element + "/>";
                          }));
         }},
        {"ParseLongValues", 256, Stage::parse, 250,
         [](std::size_t n) {
             const std::string value(4'000, 'v');
             return svgOf(256, repeated(n, [&](std::size_t) { return "<g class=\"" + value + "\"/>"; }));
         }},
        {"ParseAttributesOfOneTag", 256, Stage::parse, 500,
         [](std::size_t n) {
             return svgOf(256, "<g" + repeated(n, [](std::size_t index) { return " a" + std::to_string(index) + "=\"1\""; }) +
                                   "/>");
         }},
        // Squares styled by rules: the layers' units and the matching's, charged to the meter besides its own budget.
        {"CascadeStyledChart", 256, Stage::build, 2'000, [](std::size_t n) { return hostile::styledChart(n, false); }},
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
