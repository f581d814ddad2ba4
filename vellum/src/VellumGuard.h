#pragma once

#include <exception>
#include <string_view>

#include "VellumLog.h"

namespace vellum {

// Runs `work`, turning anything it throws into a logged error and `fallback`: no exception leaves the
// library's public operations (an assertion deep in the tree, or memory running out on a huge
// document, must not end the caller's process).
template <class Result, class Work>
Result guarded(std::string_view operation, Work&& work, Result fallback = Result{}) {
    try {
        return work();
    } catch (const std::exception& exception) {
        vellumLogError("[%@] ERROR: %@ failed: %@", "Vellum", operation, exception.what());
    } catch (...) {
        vellumLogError("[%@] ERROR: %@ failed", "Vellum", operation);
    }
    return fallback;
}

}  // namespace vellum
