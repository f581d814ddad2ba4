#pragma once

#include "ContextImpl.h"

namespace gfx {

// The one door from other drawing code in this library to a context's Cairo state.
struct ContextAccess {
    static Context::Impl& impl(Context& context) { return *context.impl_; }
};

}  // namespace gfx
