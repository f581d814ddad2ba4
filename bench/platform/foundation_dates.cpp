#include <benchmark/benchmark.h>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "foundation/NumberFormatter.h"

using namespace foundation;

namespace {

const TimeZone amsterdam = *TimeZone::named("Europe/Amsterdam");

DateFormatter posixFormatter(const char* pattern) {
    DateFormatter formatter;
    formatter.setLocale(Locale("en_US_POSIX"));
    formatter.setTimeZone(amsterdam);
    formatter.setDateFormat(pattern);
    return formatter;
}

const Date raceStart = Date::fromUnix(1678028400);

}  // namespace

// Screens make a new formatter per row and use it a few times.
static void BM_NewFormatterFormatsOnce(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(posixFormatter("yyyy-MM-dd HH:mm").string(raceStart));
}
BENCHMARK(BM_NewFormatterFormatsOnce);

static void BM_FormatDate(benchmark::State& state) {
    auto formatter = posixFormatter("EEEE dd LLL HH:mm");
    for (auto _ : state) benchmark::DoNotOptimize(formatter.string(raceStart));
}
BENCHMARK(BM_FormatDate);

static void BM_ParseRssDate(benchmark::State& state) {
    auto formatter = posixFormatter("E, dd MMM yyyy HH:mm:ss Z");
    for (auto _ : state) benchmark::DoNotOptimize(formatter.date("Tue, 05 Dec 2023 10:15:00 +0000"));
}
BENCHMARK(BM_ParseRssDate);

static void BM_CountdownComponents(benchmark::State& state) {
    Calendar calendar(Locale("en_US"), amsterdam);
    CalendarComponents units{CalendarComponent::day, CalendarComponent::hour, CalendarComponent::minute,
                             CalendarComponent::second};
    auto now = raceStart.addingTimeInterval(-200000.5);
    for (auto _ : state) benchmark::DoNotOptimize(calendar.dateComponents(units, now, raceStart));
}
BENCHMARK(BM_CountdownComponents);

static void BM_NewOrdinalFormatter(benchmark::State& state) {
    for (auto _ : state) {
        NumberFormatter formatter;
        formatter.setLocale(Locale("en_US"));
        formatter.setNumberStyle(NumberFormatter::Style::ordinal);
        benchmark::DoNotOptimize(formatter.string(22));
    }
}
BENCHMARK(BM_NewOrdinalFormatter);
