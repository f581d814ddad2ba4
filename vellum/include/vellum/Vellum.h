#pragma once

namespace vellum {

// The library's one switch for its log lines: nothing is shown until a program calls enableLogging,
// which adds the shared system-log and console loggers for every level (adding them again changes
// nothing).
struct Vellum {
    static void enableLogging();
};

}  // namespace vellum
