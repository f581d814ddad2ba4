#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/Print.h"
#include "foundation/Strings.h"

using namespace foundation;

TEST(Print, JoinsItemsWithSpacesIntoOneLine) {
    ConsoleCapture capture;
    print("Error decoding result:", std::string("keyNotFound"));
    print("lap", 12, "of", 57u, 0.5, true);
    print();
    EXPECT_EQ(capture.text(), "Error decoding result: keyNotFound\nlap 12 of 57 0.5 true\n\n");
}

TEST(Print, NestedCaptureTakesLinesUntilItEnds) {
    ConsoleCapture outer;
    print("one");
    {
        ConsoleCapture inner;
        print("two");
        EXPECT_EQ(inner.text(), "two\n");
    }
    print("three");
    EXPECT_EQ(outer.text(), "one\nthree\n");
}

TEST(Print, LinesFromManyThreadsNeverInterleave) {
    ConsoleCapture capture;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([thread] {
            for (int line = 0; line < 200; ++line) print(std::string(50, static_cast<char>('a' + thread)));
        });
    }
    for (auto& thread : threads) thread.join();
    auto lines = components(capture.text(), "\n");
    ASSERT_EQ(lines.size(), 801u);
    lines.pop_back();
    for (const auto& line : lines) EXPECT_EQ(line, std::string(50, line.front()));
}
