#pragma once

#include "host/InputEvents.h"

namespace host {

// Where a window host delivers input, on the main thread, during the run loop's input phase.
// Override what you handle; the rest is dropped.
class InputSink {
public:
    virtual ~InputSink() = default;
    virtual void touch(const TouchEvent&) {}
    virtual void secondaryClick(const SecondaryClickEvent&) {}
    virtual void scroll(const ScrollEvent&) {}
    virtual void key(const KeyEvent&) {}
    virtual void application(AppEvent) {}
};

}  // namespace host
