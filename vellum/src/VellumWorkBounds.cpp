#include "vellum/VellumWorkBounds.h"

#include "VellumLog.h"
#include "vellum/VellumParseResult.h"

namespace vellum {

namespace {

thread_local WorkBoundWatch* runningWatch = nullptr;

}  // namespace

WorkBoundWatch::WorkBoundWatch() : previous_(runningWatch) { runningWatch = this; }

WorkBoundWatch::~WorkBoundWatch() { runningWatch = previous_; }

void WorkBoundWatch::noteReached() {
    if (runningWatch) runningWatch->reached_ = true;
}

bool WorkBoundWatch::stopsWork() { return runningWatch && runningWatch->reached_; }

void fileRenderPastItsMeter(VellumParseResult* problems, bool byClock) {
    WorkBoundWatch::noteReached();
    if (byClock) {
        vellumLogError("Drawing the document ran past the CPU time a render is allowed before its work did; this "
                       "render gives no picture");
        return;
    }
    const std::string message =
        "Drawing the document took more work than a render is allowed; it was stopped there and gives no picture";
    if (!problems) {
        vellumLogError("%@", message);
        return;
    }
    problems->addParseErrorRecoverableOnce(VellumError::make("Vellum", 2, message));
}

}  // namespace vellum
