#include "dispatch/Task.h"

#include <cstdio>

namespace dispatch::detail {

void reportDetachedException(std::exception_ptr exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dispatch: a detached task ended with an exception: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "dispatch: a detached task ended with an exception\n");
    }
}

}  // namespace dispatch::detail
