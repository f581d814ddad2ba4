#pragma once

#include <string>

namespace foundation {

// The hardware name of this machine as uname(2) gives it ("x86_64", "aarch64"); the stand-in for the
// platform's "hw.machine" model identifier, which Linux does not have. Empty if uname fails.
std::string machineHardwareName();

}  // namespace foundation
