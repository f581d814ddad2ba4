#include "vellum/VellumParseResult.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "VellumLog.h"
#include "foundation/Format.h"
#include "gfx/WorkMeter.h"

namespace vellum {

namespace {
constexpr const char* className = "VellumParseResult";

// Filing is work of the render's like any other: a document that files an error an element pays for it.
// Past a spent meter the problem is still filed (the meter's own refusal among them).
void chargeFiling() { gfx::WorkMeter::charge(gfx::WorkMeter::aProblemFiled); }
}  // namespace

std::uint64_t VellumParseResult::workLeft() const {
    return gfx::WorkMeter::defaultBudget - std::min(work_, gfx::WorkMeter::defaultBudget);
}

bool VellumParseResult::keepsAnother(const std::vector<VellumError>& list) {
    if (list.size() < maximumFiledProblems) return true;
    if (problemsNotFiled_++ == 0) vellumLogWarning("[%@] Further problems are counted, not filed", className);
    return false;
}

void VellumParseResult::fileRecoverable(const VellumError& error, std::string_view text) {
    chargeFiling();
    recoverableByText_.emplace(std::hash<std::string_view>{}(text), errorsRecoverable_.size());
    errorsRecoverable_.push_back(error);
}

void VellumParseResult::addSourceError(const VellumError& error) {
    if (!keepsAnother(errorsRecoverable_)) return;
    vellumLogError("[%@] SVG ERROR: %@", className, error.description());
    fileRecoverable(error, error.localizedDescription());
}

void VellumParseResult::addParseWarning(const VellumError& error) {
    if (!keepsAnother(warnings_)) return;
    chargeFiling();
    vellumLogWarning("[%@] SVG WARNING: %@", className, error.description());
    warnings_.push_back(error);
}

void VellumParseResult::addParseErrorRecoverable(const VellumError& error) {
    if (!keepsAnother(errorsRecoverable_)) return;
    vellumLogWarning("[%@] SVG WARNING (recoverable): %@", className, error.description());
    fileRecoverable(error, error.localizedDescription());
}

void VellumParseResult::addParseErrorRecoverableOnce(const VellumError& error) {
    const std::string text = error.localizedDescription();
    const auto [first, last] = recoverableByText_.equal_range(std::hash<std::string_view>{}(text));
    for (auto filed = first; filed != last; ++filed) {
        if (errorsRecoverable_[filed->second].localizedDescription() == text) return;
    }
    if (!keepsAnother(errorsRecoverable_)) return;
    vellumLogWarning("[%@] SVG WARNING (recoverable): %@", className, error.description());
    fileRecoverable(error, text);
}

void VellumParseResult::addParseErrorFatal(const VellumError& error) {
    if (!keepsAnother(errorsFatal_)) return;
    chargeFiling();
    vellumLogError("[%@] SVG ERROR: %@", className, error.description());
    errorsFatal_.push_back(error);
}

void VellumParseResult::addSAXError(const VellumError& error) {
    if (!keepsAnother(errorsFatal_)) return;
    chargeFiling();
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
