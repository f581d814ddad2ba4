#pragma once

// The work one cascade scope (a layer build) may do, counted as it is done: selector tests, characters
// compared, candidate rules tried, ancestors walked. Cost follows the document by construction; the budget
// only stops what would not (a hostile document), and is large enough that a document at the library's
// limits of ordinary content (100,000 elements under ordinary rules) never reaches it.
#include <cstdint>

namespace vellum {

inline constexpr std::uint64_t scopeWorkBudget = 60'000'000;

// Takes `units` of work from the running scope's budget: false, and nothing taken, when that would
// overrun it, and from then on the scope counts as spent. Outside a scope nothing is counted.
bool takeScopeWork(std::uint64_t units);
// Whether the running scope's budget is spent.
bool scopeWorkSpent();

}  // namespace vellum
