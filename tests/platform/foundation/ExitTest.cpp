#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "foundation/Calendar.h"
#include "foundation/DateFormatter.h"
#include "foundation/NumberFormatter.h"
#include "foundation/URL.h"

using namespace foundation;

namespace {

// What a worker thread still running during exit() does: log-file pruning formats dates, progress
// texts format numbers, feeds build calendars and parse URLs.
bool formatsEverything() {
    DateFormatter dates;
    dates.setLocale(Locale("en_US"));
    dates.setTimeZone(TimeZone::utc());
    dates.setDateFormat("yyyy-MM-dd");
    NumberFormatter numbers;
    numbers.setLocale(Locale("en_US"));
    numbers.setNumberStyle(NumberFormatter::Style::ordinal);
    Calendar calendar(Locale("en_GB"), TimeZone::gmt());
    auto url = URL::fromString("https://example.com/a%20b?q=1");
    return dates.string(Date{0}) == "2001-01-01" && numbers.string(3) == "3rd" && calendar.firstWeekday() == 2 &&
           url && url->path() == "/a b";
}

}  // namespace

// An exit handler registered before the shared formatter state is made runs after that state's own
// exit-time destructor would. It formats on a thread of its own, as a worker that outlives the
// destructors does (the exiting thread's own per-thread state is gone by then, a worker's is not).
TEST(ExitDeathTest, FormattersStayUsableAfterExitDestructorsRan) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where nothing was made yet
    EXPECT_EXIT(
        {
            std::atexit([] {
                bool formatted = false;
                std::thread([&] { formatted = formatsEverything(); }).join();
                std::_Exit(formatted ? 0 : 2);
            });
            if (!formatsEverything()) std::_Exit(3);
            std::exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}
