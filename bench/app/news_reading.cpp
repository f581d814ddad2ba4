#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "shell/Utilities.h"
#include "standings-news/RSSParser.h"

namespace {

foundation::Data feed(const char* relative) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/rss/" + relative, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return foundation::Data::fromString(bytes);
}

// Each news read parses a whole feed on the pool; a new date formatter is made for every item's date.
void readFeed(benchmark::State& state, const char* relative) {
    auto body = feed(relative);
    for (auto _ : state) {
        auto articles = RSSParser::articles(body);
        if (articles.empty()) state.SkipWithError("the feed gives no items");
        benchmark::DoNotOptimize(articles);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

// Each FIA or ShiftF1 row reads its description as text when the row is shown.
void descriptionAsText(benchmark::State& state) {
    auto articles = RSSParser::articles(feed("rss_2.0_nightvale.xml"));
    std::string html = articles.empty() ? std::string() : articles.front().description;
    for (auto _ : state) benchmark::DoNotOptimize(stripHTMLTags(html));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

}  // namespace

BENCHMARK_CAPTURE(readFeed, cloudflare27KB, "rss_2.0_cloudflare.xml");
BENCHMARK_CAPTURE(readFeed, twoItems, "rss_2.0_spec_1.xml");
BENCHMARK(descriptionAsText);
