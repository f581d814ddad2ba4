#pragma once

#include "declarative/AnyView.h"
#include "gfx/Color.h"

namespace declarative {

// A colour that fills whatever space it is offered.
struct Color {
    gfx::Color color;

    static Color clear() { return {gfx::Color{0, 0, 0, 0}}; }
    operator AnyView() const;  // NOLINT: a view like any other
};

}  // namespace declarative
