#include "foundation/Machine.h"

#include <sys/utsname.h>

namespace foundation {

std::string machineHardwareName() {
    utsname names{};
    if (::uname(&names) != 0) return {};
    return names.machine;
}

}  // namespace foundation
