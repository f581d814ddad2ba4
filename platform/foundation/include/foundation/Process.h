#pragma once

#include <expected>
#include <string>
#include <vector>

namespace foundation {

struct ProcessResult {
    int exitStatus = 0;
    std::string output;  // what it wrote to standard output
};

// Runs a program found on PATH with these arguments (the first is the program; no shell sees them),
// waits for it and gives its exit status and standard output; standard error stays the caller's. An
// error when it cannot be started or does not exit by itself (a signal). Blocks: keep it off the
// main thread.
std::expected<ProcessResult, std::string> runProcess(const std::vector<std::string>& arguments);

}  // namespace foundation
