#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "foundation/NumberText.h"

namespace foundation {

// Writes one line to standard output: the items' descriptions joined by single spaces, then a newline,
// flushed. Lines from different threads never interleave.
void printLine(std::string_view line);

inline std::string description(std::string_view text) { return std::string(text); }
inline std::string description(const char* text) { return text; }
inline std::string description(bool value) { return value ? "true" : "false"; }
inline std::string description(std::integral auto value) { return std::to_string(value); }
inline std::string description(std::floating_point auto value) { return describe(static_cast<double>(value)); }

template <typename... Items>
void print(const Items&... items) {
    std::string line;
    bool first = true;
    ((line += first ? "" : " ", line += description(items), first = false), ...);
    printLine(line);
}

// While alive, takes every printed line (from any thread) instead of standard output. Captures nest:
// the newest one takes the lines until it ends.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string text() const;  // every captured line, each ending in "\n"

private:
    friend void printLine(std::string_view line);

    std::string text_;  // guarded by the console's lock
    ConsoleCapture* outer_ = nullptr;
};

}  // namespace foundation
