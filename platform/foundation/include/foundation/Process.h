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

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>

namespace foundation {

// A program running beside this one, its standard input and output pipes held here (non-blocking on
// this side); its standard error is the caller's and no other descriptor of this process reaches it.
// Ending the object kills the program and reaps it.
class ChildProcess {
public:
    // Starts `arguments` (the first is the program: a path, or a name found on PATH). An error when it
    // cannot be started. The start runs on one long-lived thread of this process, so a program that asks to
    // end with its parent (PR_SET_PDEATHSIG, which the kernel ties to the thread that started it) ends with
    // this process and not with whichever pool thread asked for it.
    static std::expected<std::unique_ptr<ChildProcess>, std::string> spawn(const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    int input() const { return input_; }    // its standard input; write here
    int output() const { return output_; }  // its standard output; read here
    // CPU seconds (user and system) it has used; nothing once it has ended.
    std::optional<double> cpuSeconds() const;
    // True once it has ended, all its threads (it stays unreaped until the object ends).
    bool hasEnded() const;
    // Memory it holds now, in bytes; nothing once it has ended.
    std::optional<std::size_t> residentBytes() const;

private:
    ChildProcess(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}
    pid_t pid_;
    int input_;
    int output_;
};

}  // namespace foundation
