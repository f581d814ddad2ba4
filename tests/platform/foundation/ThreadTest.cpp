#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "foundation/Thread.h"

TEST(Thread, ANameStaysWithItsThreadAndTheSystemSeesItsFirstFifteenBytes) {
    std::string outside;
    std::string inside, systemName, unnamedChild;
    std::thread([&] {
        foundation::setCurrentThreadName("logging.worker.thread");
        inside = foundation::currentThreadName();
        char buffer[32] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof buffer);
        systemName = buffer;
        // A thread it starts inherits the system name, but nobody named it.
        std::thread([&] { unnamedChild = foundation::currentThreadName(); }).join();
    }).join();
    EXPECT_EQ(inside, "logging.worker.thread");
    EXPECT_EQ(systemName, "logging.worker.");
    EXPECT_EQ(unnamedChild, "");
}

TEST(Thread, IdsAreTheSystemsAndDifferBetweenThreads) {
    const auto here = foundation::currentThreadID();
    EXPECT_EQ(here, static_cast<std::uint64_t>(::syscall(SYS_gettid)));
    std::uint64_t there = 0;
    std::thread([&] { there = foundation::currentThreadID(); }).join();
    EXPECT_NE(there, here);
    EXPECT_NE(there, 0u);
}
