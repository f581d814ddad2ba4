#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "foundation/Process.h"

namespace {

TEST(Process, givesTheExitStatusAndOutputAndPassesArgumentsWithoutAShell) {
    auto echoed = foundation::runProcess({"sh", "-c", "printf '%s|' \"$@\"; exit 3", "sh", "a b", "$HOME;", "*"});
    ASSERT_TRUE(echoed) << echoed.error();
    EXPECT_EQ(echoed->exitStatus, 3);
    EXPECT_EQ(echoed->output, "a b|$HOME;|*|") << "each argument arrives as it was given";

    auto missing = foundation::runProcess({"sorvane-no-such-program"});
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().find("sorvane-no-such-program"), std::string::npos) << missing.error();
    EXPECT_FALSE(foundation::runProcess({}));

    auto killed = foundation::runProcess({"sh", "-c", "kill -9 $$"});
    ASSERT_FALSE(killed) << "a signal is no exit status";
    EXPECT_NE(killed.error().find("signal 9"), std::string::npos) << killed.error();
}

// A child that asks to end with its parent, started from a thread that then ends, lives on: the kernel ties
// that to the thread that started it, and starts run on one that lasts. It sees only its three standard
// descriptors, and is killed and reaped with its object.
TEST(ChildProcess, talksOverItsPipesOutlivesTheThreadThatAskedAndEndsWithItsObject) {
    int leaked[2];
    ASSERT_EQ(::pipe(leaked), 0);  // without close-on-exec
    std::unique_ptr<foundation::ChildProcess> child;
    std::thread([&] {
        auto started = foundation::ChildProcess::spawn(
            {"setpriv", "--pdeathsig", "KILL", "sh", "-c", "trap '' TERM; ls /proc/self/fd | wc -l; read line; echo \"got $line\"; cat >/dev/null"});
        ASSERT_TRUE(started) << started.error();
        child = std::move(*started);
    }).join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // for a signal the thread's end would send
    ::close(leaked[0]);
    ::close(leaked[1]);
    ASSERT_TRUE(child);
    ASSERT_EQ(::write(child->input(), "hello\n", 6), 6);
    std::string said;
    while (said.find("got hello\n") == std::string::npos) {
        pollfd end{child->output(), POLLIN, 0};
        ASSERT_EQ(::poll(&end, 1, 10'000), 1) << said;
        char buffer[256];
        const ssize_t got = ::read(child->output(), buffer, sizeof buffer);
        ASSERT_GT(got, 0) << said;
        said.append(buffer, static_cast<std::size_t>(got));
    }
    // ls's own descriptor on the folder is the fourth.
    EXPECT_EQ(said.substr(0, said.find('\n')), "4") << said;
    EXPECT_TRUE(child->cpuSeconds());
    EXPECT_GT(child->residentBytes().value_or(0), 0u);
    EXPECT_FALSE(child->hasEnded());
    const pid_t pid = child->pid();
    ::kill(pid, SIGKILL);
    for (int waited = 0; waited < 1000 && !child->hasEnded(); ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(child->hasEnded());
    child.reset();
    EXPECT_NE(::kill(pid, 0), 0) << "killed and reaped";
    EXPECT_FALSE(foundation::ChildProcess::spawn({"sorvane-no-such-program"}));
}

}  // namespace
