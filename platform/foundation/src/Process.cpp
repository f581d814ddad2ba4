#include "foundation/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

}  // namespace foundation
