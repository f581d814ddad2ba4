#pragma once

#include <string>
#include <typeinfo>

namespace foundation {

// A type's name as written in the source ("ui::ViewController"), for descriptions that name an
// object's own class; the compiler's mangled name where it cannot be read back.
std::string typeName(const std::type_info& type);

}  // namespace foundation
