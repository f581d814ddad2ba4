#include "foundation/TypeName.h"

#include <cxxabi.h>

#include <cstdlib>

namespace foundation {

std::string typeName(const std::type_info& type) {
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string result = status == 0 && name ? name : type.name();
    std::free(name);
    return result;
}

}  // namespace foundation
