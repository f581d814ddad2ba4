#pragma once

// How long a test waits for another thread: far beyond what the work takes, so only a hang runs it out.
inline constexpr double generousSeconds = 30;
