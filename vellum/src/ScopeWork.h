#pragma once

// The work one cascade scope (a layer build) may do, counted as it is done: selector tests, characters
// compared, candidate rules tried, ancestors walked, declarations read and merged, what is kept. Cost
// follows the document's size by construction: a rule's declarations are read once a scope, each distinct
// set of matched rules is merged once, and an element pays only its own tests. The budget only stops what
// would not (a hostile document), and it is sized as a time: half a second of matching for the scope, and
// two microseconds more for each element it places (each use copy too), several times what an element
// costs under a dozen ordinary rules. A document librsvg draws in a few seconds never reaches it; one
// written to exhaust matching is refused within a second.
#include <cstdint>

namespace vellum {

// In units of about a nanosecond of work on this kind of machine (CSSSelector.cpp says what each costs).
// 99,000 squares, each with an identifier and classes of its own so that each is matched apart, under 12
// rules of 12 declarations take 124 million of the 699 million the scope and the squares allow.
inline constexpr std::uint64_t scopeWorkBase = 500'000'000;
inline constexpr std::uint64_t scopeWorkPerElement = 2'000;
// What matching costs the render's meter besides this budget (gfx::WorkMeter::aUnitOfMatching, aStyleMatched)
// is charged a batch of this many units at once.
inline constexpr double meterUnitsChargedAtOnce = 100'000;
// A clip mask built (its pixels are bounded apart, by the picture's area).
inline constexpr std::uint64_t scopeWorkAMask = 1'000;

// Takes `units` of work from the running scope's budget: false, and nothing taken, when that would
// overrun it, and from then on the scope counts as spent. Outside a scope nothing is counted.
bool takeScopeWork(std::uint64_t units);
// Whether the running scope's budget is spent.
bool scopeWorkSpent();
// Whether the running scope was asked for a style by the rules after its budget was spent: that answer may
// lack what the rules give, so what the scope builds is not drawn.
bool scopeMatchingCut();

}  // namespace vellum
