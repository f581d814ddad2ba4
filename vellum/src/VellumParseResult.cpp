#include "vellum/VellumParseResult.h"

#include "VellumLog.h"
#include "foundation/Format.h"

namespace vellum {

namespace {
constexpr const char* className = "VellumParseResult";
}

void VellumParseResult::addSourceError(const VellumError& error) {
    vellumLogError("[%@] SVG ERROR: %@", className, error.description());
    errorsRecoverable_.push_back(error);
}

void VellumParseResult::addParseWarning(const VellumError& error) {
    vellumLogWarning("[%@] SVG WARNING: %@", className, error.description());
    warnings_.push_back(error);
}

void VellumParseResult::addParseErrorRecoverable(const VellumError& error) {
    vellumLogWarning("[%@] SVG WARNING (recoverable): %@", className, error.description());
    errorsRecoverable_.push_back(error);
}

void VellumParseResult::addParseErrorRecoverableOnce(const VellumError& error) {
    for (const auto& filed : errorsRecoverable_) {
        if (filed.localizedDescription() == error.localizedDescription()) return;
    }
    addParseErrorRecoverable(error);
}

void VellumParseResult::addParseErrorFatal(const VellumError& error) {
    vellumLogError("[%@] SVG ERROR: %@", className, error.description());
    errorsFatal_.push_back(error);
}

void VellumParseResult::addSAXError(const VellumError& error) {
    vellumLogWarning("[%@] SVG ERROR: %@", className, error.localizedDescription());
    errorsFatal_.push_back(error);
}

std::string VellumParseResult::description() const {
    std::string detail;
    if (!errorsFatal_.empty()) {
        detail = "First fatal error: " + errorsFatal_.front().description();
    } else {
        detail = "Last recoverable error: " +
                 (errorsRecoverable_.empty() ? std::string("(n/a)") : errorsRecoverable_.back().description());
    }
    return foundation::format("[Parse result: %lu warnings, %lu errors(recoverable), %lu errors (fatal). %@",
                              warnings_.size(), errorsRecoverable_.size(), errorsFatal_.size(), detail);
}

}  // namespace vellum
