#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pictura::detail {

// Ends the program with the message, as a misconfiguration that nothing can recover from: no
// exception that a caller could swallow and go on with a half-made object.
[[noreturn]] inline void fatalStop(const std::string& sourceFile, const std::string& message) {
    std::fprintf(stderr, "%s: Fatal error: %s\n", sourceFile.c_str(), message.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace pictura::detail
