#include "vellum/VellumWorkBounds.h"

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

}  // namespace vellum
