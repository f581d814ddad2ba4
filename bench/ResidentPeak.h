// The process's resident memory as Linux reports it, for benchmarks that count what a workload makes
// the process hold at its peak.
#pragma once

#include <malloc.h>

#include <fstream>
#include <string>

namespace sorvane::bench {

// A line of /proc/self/status ("VmHWM", "VmRSS") in kB; 0 when it is not there.
inline double statusKilobytes(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(name + ":")) return std::stod(line.substr(name.size() + 1));
    return 0;
}

// Gives back what earlier work freed and resets the resident high-water mark, so the rise measured from
// here is the next work's own. Returns the resident size now, in kB.
inline double startResidentPeak() {
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKilobytes("VmRSS");
}

// How far the high-water mark rose over `start` (what startResidentPeak returned), in kB.
inline double residentPeakGrowth(double start) { return statusKilobytes("VmHWM") - start; }

}  // namespace sorvane::bench
