#include "foundation/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

extern char** environ;

namespace foundation {

std::expected<ProcessResult, std::string> runProcess(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return std::unexpected(std::string("No program to run."));
    std::vector<std::string> owned = arguments;
    std::vector<char*> argv;
    for (auto& argument : owned) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) return std::unexpected("Cannot run " + arguments[0] + ": " + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe[1]);
    if (spawned != 0) {
        close(pipe[0]);
        return std::unexpected("Cannot run " + arguments[0] + ": " + std::strerror(spawned));
    }

    ProcessResult result;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipe[0], buffer, sizeof buffer);
        if (got > 0) result.output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR) break;
    }
    close(pipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return std::unexpected(arguments[0] + " could not be waited for: " + std::strerror(errno));
    }
    if (!WIFEXITED(status)) return std::unexpected(arguments[0] + " ended without exiting (signal " + std::to_string(WTERMSIG(status)) + ")");
    result.exitStatus = WEXITSTATUS(status);
    return result;
}


namespace {

// Runs each start on one thread that lives as long as the process (see ChildProcess::spawn).
class Spawner {
public:
    static Spawner& shared() {
        // Never destroyed: a start may be asked for while the process ends.
        static auto* spawner = new Spawner;
        return *spawner;
    }

    void run(std::function<void()> job) {
        std::unique_lock lock(mutex_);
        taken_.wait(lock, [&] { return !job_; });
        job_ = std::move(job);
        const auto ticket = ++asked_;
        changed_.notify_all();
        done_.wait(lock, [&] { return finished_ >= ticket; });
    }

private:
    Spawner() {
        std::thread([this] {
            std::unique_lock lock(mutex_);
            for (;;) {
                changed_.wait(lock, [&] { return static_cast<bool>(job_); });
                auto job = std::move(job_);
                job_ = nullptr;
                lock.unlock();
                job();
                lock.lock();
                ++finished_;
                done_.notify_all();
                taken_.notify_all();
            }
        }).detach();
    }

    std::mutex mutex_;
    std::condition_variable changed_, done_, taken_;
    std::function<void()> job_;
    std::uint64_t asked_ = 0, finished_ = 0;
};

}  // namespace

std::expected<std::unique_ptr<ChildProcess>, std::string> ChildProcess::spawn(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return std::unexpected(std::string("No program to run."));
    std::vector<std::string> owned = arguments;
    std::vector<char*> argv;
    for (auto& argument : owned) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return std::unexpected("Cannot run " + arguments[0] + ": " + std::strerror(errno));
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        const int error = errno;
        close(toChild[0]);
        close(toChild[1]);
        return std::unexpected("Cannot run " + arguments[0] + ": " + std::strerror(error));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // Descriptors opened without close-on-exec (a library's, a window system's) stay with this process.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // The child starts with no signal blocked and SIGPIPE's default, whatever the asking thread holds.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, pipeSignal;
    sigemptyset(&none);
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int spawned = 0;
    Spawner::shared().run([&] { spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ); });
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(toChild[0]);
    close(fromChild[1]);
    if (spawned != 0) {
        close(toChild[1]);
        close(fromChild[0]);
        return std::unexpected("Cannot run " + arguments[0] + ": " + std::strerror(spawned));
    }
    for (int end : {toChild[1], fromChild[0]}) fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, toChild[1], fromChild[0]));
}

ChildProcess::~ChildProcess() {
    close(input_);
    close(output_);
    ::kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

std::optional<double> ChildProcess::cpuSeconds() const {
    clockid_t clock;
    timespec used{};
    if (clock_getcpuclockid(pid_, &clock) != 0 || clock_gettime(clock, &used) != 0) return std::nullopt;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

bool ChildProcess::hasEnded() const {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
}

std::optional<std::size_t> ChildProcess::residentBytes() const {
    std::FILE* file = std::fopen(("/proc/" + std::to_string(pid_) + "/statm").c_str(), "r");
    if (!file) return std::nullopt;
    unsigned long long size = 0, resident = 0;
    const bool read = std::fscanf(file, "%llu %llu", &size, &resident) == 2;
    std::fclose(file);
    static const long pageBytes = sysconf(_SC_PAGESIZE);
    if (!read || pageBytes <= 0) return std::nullopt;
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(pageBytes);
}

}  // namespace foundation
