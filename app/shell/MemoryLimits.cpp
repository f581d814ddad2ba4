#include "shell/MemoryLimits.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

void limitAllocatorArenas() { mallopt(M_ARENA_MAX, 2); }

std::size_t residentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) return 0;
    unsigned long long size = 0, resident = 0;
    const bool read = std::fscanf(file, "%llu %llu", &size, &resident) == 2;
    std::fclose(file);
    static const long pageBytes = ::sysconf(_SC_PAGESIZE);
    return read && pageBytes > 0 ? static_cast<std::size_t>(resident) * static_cast<std::size_t>(pageBytes) : 0;
}
