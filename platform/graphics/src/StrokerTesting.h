#pragma once

#include "Stroker.h"

#ifdef SORVANE_STROKER_FAULTS
namespace gfx::raster {

// Puts `fault` into the stroker on this thread while it lives.
class ScopedStrokerFault {
public:
    explicit ScopedStrokerFault(StrokerFault fault) : previous_(strokerFault()) { setStrokerFault(fault); }
    ~ScopedStrokerFault() { setStrokerFault(previous_); }
    ScopedStrokerFault(const ScopedStrokerFault&) = delete;
    ScopedStrokerFault& operator=(const ScopedStrokerFault&) = delete;

private:
    StrokerFault previous_;
};

}  // namespace gfx::raster
#endif
