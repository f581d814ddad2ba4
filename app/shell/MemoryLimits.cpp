#include "shell/MemoryLimits.h"

#include <malloc.h>

void limitAllocatorArenas() { mallopt(M_ARENA_MAX, 2); }
