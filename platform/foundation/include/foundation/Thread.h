#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace foundation {

// The calling thread's name as the program gave it; empty for a thread nobody named. (Linux threads
// inherit their creator's system name, so the system name cannot tell a named thread from another.)
// Read on the calling thread, without a copy; it changes when the thread is named again.
std::string_view currentThreadName();
// Names the calling thread with up to its first 64 bytes; debuggers and `top` see the first 15 as its
// system name.
void setCurrentThreadName(std::string_view name);

// The calling thread's system-wide id (what `ps -L` shows), not a per-process index.
std::uint64_t currentThreadID();

}  // namespace foundation
