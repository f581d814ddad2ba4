#pragma once

#include <cstddef>

// Each thread that allocates would get a malloc arena of its own, and what an arena frees stays in it
// for that arena's next allocations: with the tile strands, the pool and the network thread, that was
// up to 25 MB of resident memory that came and went with the scheduling of a run (99-123 MB idle).
// Two arenas hold the app's working set, as fast (the start-up's first frame measured the same).
// Call first thing in the process, before any thread starts.
void limitAllocatorArenas();

// Pages the process holds in memory now; 0 where that cannot be read.
std::size_t residentBytes();
