#include "foundation/Thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace foundation {
namespace {
thread_local std::string threadName;
constexpr std::size_t systemNameLimit = 15;  // the kernel keeps 16 bytes with the terminator
}  // namespace

const std::string& currentThreadName() { return threadName; }

void setCurrentThreadName(std::string_view name) {
    threadName = std::string(name);
    std::string systemName(name.substr(0, systemNameLimit));
    pthread_setname_np(pthread_self(), systemName.c_str());
}

std::uint64_t currentThreadID() {
    thread_local const auto id = static_cast<std::uint64_t>(::syscall(SYS_gettid));
    return id;
}

}  // namespace foundation
