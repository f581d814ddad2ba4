// logging-stress [lines] [threads] [buffered] [synchronous] [kill after ms]
//
// Writes numbered lines from several threads through LBLog (asynchronously, or synchronously when
// the fourth argument is 1) into a file logger with 1 MiB files (through its buffering proxy when the
// third argument is 1), in a temporary folder that keeps every file; shuts the dispatcher down, then
// reads every file back and checks that each number arrived exactly once and that every line is
// whole. Prints what it found and the process's peak memory; exits with 1 on any lost, duplicated or
// torn line.
//
// With a fifth argument the lines are written by a child process that notes now and then (every 20 ms,
// or every millisecond when synchronous) how many lines each thread had handed over: asynchronously,
// before a flush of the log, noted once the flush returned; synchronously, whose call had returned.
// The child is killed (SIGKILL) that many milliseconds after it starts. Then every line noted must be
// present exactly once, later ones at most once, and none torn; a file's last line may end without its
// newline, cut by the kill in the middle of a write (reported, not a failure: it was never
// acknowledged).
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/LBBufferedProxy.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileManagerDefault.h"

namespace {

constexpr std::string_view marker = "stress line ";
constexpr std::string_view padding = " -- padding so that lines are of a realistic length";

long argument(int argc, char** argv, int index, long fallback) {
    return argc > index ? std::strtol(argv[index], nullptr, 10) : fallback;
}

struct Settings {
    long lines = 1'000'000;
    int threads = 4;
    bool buffered = false;
    bool synchronous = false;
};

// What the files hold: numbers seen (each count), lines that are not one whole written line, and
// files' last lines that end without a newline.
struct Found {
    std::vector<unsigned char> seen;
    long duplicated = 0, torn = 0, cut = 0, files = 0;
};

Found readBack(const std::filesystem::path& folder, long lines) {
    Found found;
    found.seen.assign(static_cast<std::size_t>(lines), 0);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".log") continue;
        ++found.files;
        std::ifstream file(entry.path());
        for (std::string text; std::getline(file, text);) {
            if (file.eof()) {  // no newline after it: a write the kill cut short
                ++found.cut;
                continue;
            }
            auto at = text.find(marker);
            long number = -1;
            bool whole = at != std::string::npos && text.ends_with(padding);
            if (whole) {
                const char* first = text.data() + at + marker.size();
                auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
                whole = error == std::errc() && std::string_view(end, text.data() + text.size() - end) == padding &&
                        number >= 0 && number < lines;
            }
            if (!whole) {
                ++found.torn;
                continue;
            }
            if (found.seen[static_cast<std::size_t>(number)]++) ++found.duplicated;
        }
    }
    return found;
}

// Writes the lines into `folder`. With a `checkpoints` file, appends there now and then one line with
// the count of lines each thread had handed over and had acknowledged (see above).
void writeLines(const Settings& settings, const std::filesystem::path& folder, int checkpoints) {
    auto manager = std::make_shared<logging::LBLogFileManagerDefault>(folder.string());
    manager->setMaximumNumberOfLogFiles(0);
    manager->setLogFilesDiskQuota(0);
    auto fileLogger = std::make_shared<logging::LBFileLogger>(manager);
    std::shared_ptr<logging::LBLogger> logger = fileLogger;
    if (settings.buffered) logger = fileLogger->wrapWithBuffer();
    logging::LBLog log;
    log.addLogger(logger);

    std::vector<std::atomic<long>> handedOver(static_cast<std::size_t>(settings.threads));
    std::atomic<bool> writing = true;
    std::thread flusher;
    if (checkpoints >= 0) {
        flusher = std::thread([&] {
            while (writing) {
                std::ostringstream counts;
                for (const auto& count : handedOver) counts << count.load() << ' ';
                // A synchronous call that returned is on record already; an asynchronous one once flushed.
                if (!settings.synchronous) log.flushLog();
                counts << '\n';
                const std::string line = counts.str();
                if (::write(checkpoints, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
                // A flush synchronises the files to the disk: not too often.
                std::this_thread::sleep_for(std::chrono::milliseconds(settings.synchronous ? 1 : 20));
            }
        });
    }
    std::vector<std::thread> producers;
    for (int thread = 0; thread < settings.threads; ++thread) {
        producers.emplace_back([&, thread] {
            auto& count = handedOver[static_cast<std::size_t>(thread)];
            for (long number = thread; number < settings.lines; number += settings.threads) {
                log.log(!settings.synchronous, logging::LBLogLevel::info, logging::LBLogFlag::info, 0, __FILE__, __func__,
                        __LINE__, std::nullopt, "stress line %ld%@", number, padding);
                count.fetch_add(1);
            }
        });
    }
    for (auto& producer : producers) producer.join();
    writing = false;
    if (flusher.joinable()) flusher.join();
    log.shutdown();
}

// The counts of the last whole line of the checkpoints file: lines every thread had flushed.
std::vector<long> lastCheckpoint(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::vector<long> last;
    for (std::string text; std::getline(file, text);) {
        if (file.eof()) break;  // cut by the kill
        std::istringstream counts(text);
        std::vector<long> values;
        for (long value; counts >> value;) values.push_back(value);
        last = std::move(values);
    }
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    // Under a file-size limit the writes fail (and say so) instead of ending the program.
    ::signal(SIGXFSZ, SIG_IGN);
    Settings settings;
    settings.lines = argument(argc, argv, 1, settings.lines);
    settings.threads = static_cast<int>(argument(argc, argv, 2, settings.threads));
    settings.buffered = argument(argc, argv, 3, 0) == 1;
    settings.synchronous = argument(argc, argv, 4, 0) == 1;
    const long killAfter = argument(argc, argv, 5, 0);

    char pattern[] = "/tmp/logging-stress-XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    const std::filesystem::path folder = pattern;
    const auto start = std::chrono::steady_clock::now();

    if (killAfter <= 0) {
        writeLines(settings, folder, -1);
    } else {
        const auto checkpointPath = folder / "checkpoints.txt";
        const int checkpoints = ::open(checkpointPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (checkpoints < 0) return 2;
        const pid_t child = ::fork();
        if (child < 0) return 2;
        if (child == 0) {
            writeLines(settings, folder, checkpoints);
            ::_exit(0);
        }
        ::close(checkpoints);
        std::this_thread::sleep_for(std::chrono::milliseconds(killAfter));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const bool killed = WIFSIGNALED(status);
        auto flushed = lastCheckpoint(checkpointPath);
        std::filesystem::remove(checkpointPath);
        if (flushed.size() != static_cast<std::size_t>(settings.threads)) flushed.assign(settings.threads, 0);
        const Found found = readBack(folder, settings.lines);
        std::filesystem::remove_all(folder);
        long lost = 0, present = 0, mustBePresent = 0;
        for (long number = 0; number < settings.lines; ++number) {
            const long thread = number % settings.threads;
            const bool wasFlushed = number / settings.threads < flushed[static_cast<std::size_t>(thread)];
            const bool there = found.seen[static_cast<std::size_t>(number)] > 0;
            present += there ? 1 : 0;
            mustBePresent += wasFlushed ? 1 : 0;
            lost += wasFlushed && !there ? 1 : 0;
        }
        std::printf("%ld lines from %d threads%s%s, %s after %ld ms: %ld acknowledged by the last checkpoint, %ld "
                    "present across %ld files; %ld of the acknowledged lost, %ld duplicated, %ld torn, %ld last lines cut\n",
                    settings.lines, settings.threads, settings.synchronous ? " synchronously" : "",
                    settings.buffered ? " through the buffer" : "", killed ? "killed" : "finished before the kill",
                    killAfter, mustBePresent, present, found.files, lost, found.duplicated, found.torn, found.cut);
        return lost == 0 && found.duplicated == 0 && found.torn == 0 ? 0 : 1;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Found found = readBack(folder, settings.lines);
    long lost = 0;
    for (auto count : found.seen) lost += count == 0 ? 1 : 0;
    std::filesystem::remove_all(folder);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld lines from %d threads%s%s in %.2f s (%.0f lines/s) across %ld files: %ld lost, %ld duplicated, "
                "%ld torn; peak memory %ld MiB\n",
                settings.lines, settings.threads, settings.synchronous ? " synchronously" : "",
                settings.buffered ? " through the buffer" : "", seconds, settings.lines / seconds, found.files, lost,
                found.duplicated, found.torn + found.cut, usage.ru_maxrss / 1024);
    return lost == 0 && found.duplicated == 0 && found.torn + found.cut == 0 ? 0 : 1;
}
