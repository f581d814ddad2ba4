#pragma once

namespace vellum {

// The bounds that keep a document's work in proportion to the document: the parser's limits (element
// depth, use copies, filed XML errors, path segments, gradient stops), the style matching budget, and a
// layer build's instantiated elements, nesting and mask work. Reaching one is filed as a recoverable error
// and the library goes on with what it has; but for the style matching budget, past which the document is
// not drawn at all (a picture styled in part would look right and be wrong).
//
// A caller that would rather end the work at the first bound (a renderer of untrusted documents that shares
// its time with others) keeps a watch on its thread: the watch learns of the first bound reached, and from
// then on a layer build on that thread makes no further layers.
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
