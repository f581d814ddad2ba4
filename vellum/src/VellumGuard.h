#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "VellumLog.h"
#include "foundation/Format.h"
#include "vellum/VellumParseResult.h"

namespace vellum {

// Runs `work`, turning anything it throws into a logged error and `fallback`: no exception leaves the
// library's public operations (an assertion deep in the tree, or memory running out on a huge
// document, must not end the caller's process). A drawing gives `problems`: its failure is filed there
// too, so a picture left unfinished is not taken for a finished one.
template <class Result, class Work>
Result guarded(std::string_view operation, Work&& work, Result fallback = Result{}, VellumParseResult* problems = nullptr) {
    std::string reason;
    try {
        return work();
    } catch (const std::exception& exception) {
        reason = exception.what();
        vellumLogError("[%@] ERROR: %@ failed: %@", "Vellum", operation, reason);
    } catch (...) {
        vellumLogError("[%@] ERROR: %@ failed", "Vellum", operation);
    }
    if (problems) {
        // Once, however often the drawing is tried again.
        const std::string message =
            foundation::format("The document could not be drawn: %@ failed%@", operation, reason.empty() ? "" : ": " + reason);
        problems->addParseErrorRecoverableOnce(VellumError::make("Vellum", 1, message));
    }
    return fallback;
}

}  // namespace vellum
