#pragma once

namespace vellum {

class VellumParseResult;

// Every render (a layer build, a drawing) counts its work against the thread's gfx::WorkMeter, opened by the
// library's render entry points with its default budget. A render past it ends there and gives no picture:
// this files that in `problems` (or logs it) and tells the watch on this thread. One the CPU clock ended
// (`byClock`, gfx::WorkMeter::spentByClock) is logged, not filed: it says nothing of the document.
void fileRenderPastItsMeter(VellumParseResult* problems, bool byClock);

// The bounds that keep a document's work in proportion to the document: the parser's limits (element
// depth, use copies, filed XML errors, path segments, gradient stops), the style matching budget, and a
// layer build's instantiated elements, nesting and masks, and the render's work meter. Reaching one is filed
// as a recoverable error; the library goes on with what it has, except past the style matching budget and
// the meter, where it gives no picture (a picture styled or drawn in part would look right and be wrong).
//
// A caller that would rather end the work at the first bound (a renderer of untrusted documents that shares
// its time with others) keeps a watch on its thread: the watch learns of the first bound reached, and from
// then on a layer build on that thread makes no further layers. Bounds on counts that a valid drawing may
// reach (masks, copies) are left to the meter and the matching budget, which count what the work costs.
class WorkBoundWatch {
public:
    WorkBoundWatch();
    ~WorkBoundWatch();
    WorkBoundWatch(const WorkBoundWatch&) = delete;
    WorkBoundWatch& operator=(const WorkBoundWatch&) = delete;

    bool reached() const { return reached_; }

    // Where the library meets a bound: tells the watch on this thread, if there is one.
    static void noteReached();
    // Whether the watch on this thread has learnt of a bound, so that the work in progress stops.
    static bool stopsWork();

private:
    WorkBoundWatch* previous_;
    bool reached_ = false;
};

}  // namespace vellum
