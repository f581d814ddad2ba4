// The process's own memory, as /proc/self/status tells it, for rows that report a peak.
#pragma once

#include <fstream>
#include <string>

#include <malloc.h>

namespace sorvane::bench {

// A line of /proc/self/status ("VmHWM", "VmRSS") in kB.
inline double statusKilobytes(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(name + ":")) return std::stod(line.substr(name.size() + 1));
    return 0;
}

// Gives back what earlier work freed and starts the high-water mark again at the resident size, which
// it returns (kB): the mark's rise from here is what follows alone.
inline double restartPeak() {
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKilobytes("VmRSS");
}

}  // namespace sorvane::bench
