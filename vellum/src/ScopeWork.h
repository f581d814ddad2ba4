#pragma once

// The work one cascade scope (a layer build) may do, counted as it is done: selector tests, characters
// compared, candidate rules tried, ancestors walked, what is kept. Cost follows the document's size by
// construction; the budget only stops what would not (a hostile document). It grows with the document:
// a share for the scope, and one more for each element the scope places (each use copy too), so that a
// document at the library's limits of ordinary content (100,000 elements under ordinary rules) never
// reaches it, while a small document written to exhaust matching is stopped soon.
#include <cstdint>

namespace vellum {

// In units of about a nanosecond of work on this kind of machine (CSSSelector.cpp says what each costs).
// The 96,000 squares of a chart under four ordinary rules take 2.5 million of the 200 million their
// elements allow; the same chart with an identifier and a class of its own on every square, so that each
// square is matched apart, 126 million of 210 million.
inline constexpr std::uint64_t scopeWorkBase = 10'000'000;
inline constexpr std::uint64_t scopeWorkPerElement = 2'000;
// A clip mask built (its pixels are bounded apart, by the picture's area).
inline constexpr std::uint64_t scopeWorkAMask = 1'000;

// Takes `units` of work from the running scope's budget: false, and nothing taken, when that would
// overrun it, and from then on the scope counts as spent. Outside a scope nothing is counted.
bool takeScopeWork(std::uint64_t units);
// Whether the running scope's budget is spent.
bool scopeWorkSpent();

}  // namespace vellum
