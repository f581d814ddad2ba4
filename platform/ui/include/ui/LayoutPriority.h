#pragma once

namespace ui {

// How strongly a constraint holds, from 1 to 1000; 1000 must hold, anything lower gives way to
// stronger constraints.
using LayoutPriority = float;

namespace layoutPriority {
inline constexpr LayoutPriority required = 1000;
inline constexpr LayoutPriority defaultHigh = 750;
inline constexpr LayoutPriority defaultLow = 250;
// What a size fitting pass pulls the free dimension towards: weaker than anything a caller sets.
inline constexpr LayoutPriority fittingSizeLevel = 50;
}  // namespace layoutPriority

enum class LayoutAxis { horizontal, vertical };

}  // namespace ui
