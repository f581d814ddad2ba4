#include "foundation/Print.h"

#include <cstdio>
#include <mutex>

namespace foundation {
namespace {

std::mutex& consoleLock() {
    static std::mutex lock;
    return lock;
}

ConsoleCapture* innermostCapture = nullptr;  // guarded by consoleLock()

}  // namespace

void printLine(std::string_view line) {
    std::lock_guard guard(consoleLock());
    if (innermostCapture) {
        innermostCapture->text_.append(line).append("\n");
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ConsoleCapture::ConsoleCapture() {
    std::lock_guard guard(consoleLock());
    outer_ = innermostCapture;
    innermostCapture = this;
}

ConsoleCapture::~ConsoleCapture() {
    std::lock_guard guard(consoleLock());
    // Captures end in reverse order of creation when used as scoped objects; unlink wherever this one is.
    for (ConsoleCapture** link = &innermostCapture; *link; link = &(*link)->outer_) {
        if (*link == this) {
            *link = outer_;
            break;
        }
    }
}

std::string ConsoleCapture::text() const {
    std::lock_guard guard(consoleLock());
    return text_;
}

}  // namespace foundation
