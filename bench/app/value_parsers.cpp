// The readers' text-to-value parsers given one value of n, 4n and 16n characters: an RSS item's date, the
// dates the results and live-timing screens read, JSON numbers in the live-timing models, an SVG's numbers,
// lengths, colours, transforms and path data, and URLs. The time must grow as the value does (about 4x a
// step), never as its square. The anchor is each parser's ordinary value.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSmoke.h"
#include "foundation/Data.h"
#include "foundation/DateFormatter.h"
#include "foundation/JSONDecoder.h"
#include "foundation/URL.h"
#include "gfx/Context.h"
#include "livetiming/RaceControlMessageModel.h"
#include "standings-news/RSSParser.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace {

// The smoke run only shows that every row still runs.
std::size_t length(const benchmark::State& state) {
    const auto full = static_cast<std::size_t>(state.range(0));
    return sorvane::bench::smokeRun() ? full / 64 : full;
}

std::string digits(std::size_t count) {
    std::string text(count, '1');
    for (std::size_t at = 0; at < count; at += 7) text[at] = static_cast<char>('0' + at % 10);
    return text;
}

void rssFeed(benchmark::State& state, const std::string& pubDate) {
    const auto body = foundation::Data::fromString(
        R"(<?xml version="1.0"?><rss version="2.0"><channel><title>F</title><item><title>A</title><pubDate>)" +
        pubDate + "</pubDate></item></channel></rss>");
    for (auto _ : state) {
        auto articles = RSSParser::feed(body);
        if (!articles || articles->size() != 1) return state.SkipWithError("the item is lost");
    }
    state.counters["bytes"] = static_cast<double>(body.size());
}
void RssDateOfDigits(benchmark::State& state) { rssFeed(state, digits(length(state))); }
void RssDateZoneOfDigits(benchmark::State& state) { rssFeed(state, "Tue, 05 Dec 2023 10:15:00 +" + digits(length(state))); }
void RssDateOfSpaces(benchmark::State& state) { rssFeed(state, "Tue, 05 Dec" + std::string(length(state), ' ') + "2023 10:15:00 +0000"); }

// As the race and session screens read the results' and live timing's dates.
void formatterDate(benchmark::State& state, const char* pattern, const std::string& text) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(*foundation::TimeZone::named("UTC"));
    formatter.setDateFormat(pattern);
    for (auto _ : state) benchmark::DoNotOptimize(formatter.date(text));
    state.counters["bytes"] = static_cast<double>(text.size());
}
void RaceDayOfDigits(benchmark::State& state) { formatterDate(state, "yyyy-MM-dd", digits(length(state)) + "-03-05"); }
void SessionUtcFraction(benchmark::State& state) {
    formatterDate(state, "yyyy-MM-dd'T'HH:mm:ss.SSS", "2023-03-05T15:00:00." + digits(length(state)));
}

// A live-timing message whose lap is a JSON number of n digits, whole, fraction or exponent.
void messageWithLap(benchmark::State& state, const std::string& lap) {
    const auto body = foundation::Data::fromString(R"({"Messages":[{"Utc":"2023-03-05T15:00:00","Lap":)" + lap +
                                                   R"(,"Category":"Flag","Message":"GREEN"}]})");
    for (auto _ : state) benchmark::DoNotOptimize(foundation::JSONDecoder{}.decode<livetiming::RaceControlMessageModel>(body));
    state.counters["bytes"] = static_cast<double>(body.size());
}
void JsonIntegerOfDigits(benchmark::State& state) { messageWithLap(state, digits(length(state))); }
void JsonFractionOfDigits(benchmark::State& state) { messageWithLap(state, "1." + digits(length(state))); }
void JsonExponentOfDigits(benchmark::State& state) { messageWithLap(state, "1e" + digits(length(state))); }

// From the document's bytes to 64 x 64 pixels, as a flag is drawn.
void drawSvg(benchmark::State& state, const std::string& body) {
    const auto bytes = foundation::Data::fromString(
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">)" + body + "</svg>");
    for (auto _ : state) {
        auto image = vellum::VellumImage::initWithData(bytes);
        if (!image) return state.SkipWithError("no image");
        auto context = gfx::Context::create(gfx::Size{64, 64}, {.scale = 1});
        vellum::VellumImageDrawing::renderToContext(*image, *context, true, 1.0, gfx::InterpolationQuality::standard, false);
        benchmark::DoNotOptimize(context->makeImage());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
void SvgLengthOfDigits(benchmark::State& state) {
    drawSvg(state, R"(<rect width="0.)" + digits(length(state)) + R"(e2px" height="10"/>)");
}
void SvgColourOfDigits(benchmark::State& state) {
    drawSvg(state, R"x(<rect width="10" height="10" fill="rgb(1)x" + digits(length(state)) + R"x(%,0,0)"/>)x");
}
void SvgTransformOfDigits(benchmark::State& state) {
    drawSvg(state, R"x(<rect width="10" height="10" transform="rotate(1)x" + digits(length(state)) + R"x() translate(2 3)"/>)x");
}
void SvgPathNumberOfDigits(benchmark::State& state) {
    drawSvg(state, R"(<path d="M0 0L1.)" + digits(length(state)) + R"( 20h5z"/>)");
}
void SvgPathOfCommands(benchmark::State& state) {
    std::string data = "M0 0";
    while (data.size() < length(state)) data += "l1 1-1 1";
    drawSvg(state, R"(<path stroke="black" d=")" + data + R"("/>)");
}
void SvgTransformList(benchmark::State& state) {
    std::string list;
    while (list.size() < length(state)) list += "rotate(1)translate(.5,1e-1)";
    drawSvg(state, R"(<rect width="10" height="10" transform=")" + list + R"("/>)");
}
void SvgPolygonPoints(benchmark::State& state) {
    std::string points;
    while (points.size() < length(state)) points += "1,1 2,3 ";
    drawSvg(state, R"(<polygon fill="none" points=")" + points + R"("/>)");
}
void SvgColourName(benchmark::State& state) {
    drawSvg(state, R"(<rect width="10" height="10" fill=")" + std::string(length(state), 'e') + R"(" stroke="url(#)" +
                       std::string(length(state), 'g') + R"() red"/>)");
}
void SvgStyleOfDeclarations(benchmark::State& state) {
    std::string style;
    while (style.size() < length(state)) style += "fill:#3366cc;";
    drawSvg(state, R"(<rect width="10" height="10" style=")" + style + R"("/>)");
}

void url(benchmark::State& state, const std::string& text, const char* base = nullptr) {
    const auto baseURL = base ? foundation::URL::fromString(base) : std::nullopt;
    for (auto _ : state) benchmark::DoNotOptimize(baseURL ? foundation::URL::fromString(text, *baseURL) : foundation::URL::fromString(text));
    state.counters["bytes"] = static_cast<double>(text.size());
}
void UrlPortOfDigits(benchmark::State& state) { url(state, "https://example.com:" + digits(length(state)) + "/a"); }
void UrlPathOfEscapes(benchmark::State& state) {
    std::string path;
    while (path.size() < length(state)) path += "/%41b";
    url(state, "https://example.com" + path);
}
void UrlClimbingReference(benchmark::State& state) {
    std::string reference;
    while (reference.size() < length(state)) reference += "a/../";
    url(state, reference + "x", "https://example.com/a/b/c");
}
void UrlHostOfLabels(benchmark::State& state) {
    std::string host;
    while (host.size() < length(state)) host += "ab.";
    url(state, "https://" + host + "com/");
}

constexpr std::int64_t n = 16 << 10;

}  // namespace

#define CLASS_ROWS(name) BENCHMARK(name)->Arg(n)->Arg(4 * n)->Arg(16 * n)->Unit(benchmark::kMillisecond)
CLASS_ROWS(RssDateOfDigits);
// One date as large as a feed may be (16 MiB).
BENCHMARK(RssDateOfDigits)->Arg(15 << 20)->Unit(benchmark::kMillisecond)->Iterations(1);
CLASS_ROWS(RssDateZoneOfDigits);
CLASS_ROWS(RssDateOfSpaces);
CLASS_ROWS(RaceDayOfDigits);
CLASS_ROWS(SessionUtcFraction);
CLASS_ROWS(JsonIntegerOfDigits);
CLASS_ROWS(JsonFractionOfDigits);
CLASS_ROWS(JsonExponentOfDigits);
CLASS_ROWS(SvgLengthOfDigits);
CLASS_ROWS(SvgColourOfDigits);
CLASS_ROWS(SvgTransformOfDigits);
CLASS_ROWS(SvgPathNumberOfDigits);
CLASS_ROWS(SvgPathOfCommands);
CLASS_ROWS(SvgTransformList);
CLASS_ROWS(SvgPolygonPoints);
CLASS_ROWS(SvgColourName);
CLASS_ROWS(SvgStyleOfDeclarations);
CLASS_ROWS(UrlPortOfDigits);
CLASS_ROWS(UrlPathOfEscapes);
CLASS_ROWS(UrlClimbingReference);
CLASS_ROWS(UrlHostOfLabels);

BENCHMARK_MAIN();
