#include "foundation/Thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace foundation {
namespace {
constexpr std::size_t systemNameLimit = 15;  // the kernel keeps 16 bytes with the terminator
constexpr std::size_t nameLimit = 64;
// Plain storage: a thread-local with a destructor registers it when the thread first touches it, and
// that registration aborts the process when memory runs short.
struct ThreadNameStorage {
    char text[nameLimit];
    std::size_t size;
};
thread_local ThreadNameStorage threadName{};
}  // namespace

std::string_view currentThreadName() { return {threadName.text, threadName.size}; }

void setCurrentThreadName(std::string_view name) {
    name = name.substr(0, nameLimit);
    std::memcpy(threadName.text, name.data(), name.size());
    threadName.size = name.size();
    char systemName[systemNameLimit + 1] = {};
    std::memcpy(systemName, name.data(), std::min(name.size(), systemNameLimit));
    pthread_setname_np(pthread_self(), systemName);
}

std::uint64_t currentThreadID() {
    thread_local const auto id = static_cast<std::uint64_t>(::syscall(SYS_gettid));
    return id;
}

}  // namespace foundation
