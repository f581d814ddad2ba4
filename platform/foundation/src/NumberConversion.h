#pragma once

#include <string>

namespace foundation {

// strtod in the "C" locale, whatever locale the process runs in: the decimal mark is always ".".
double convertInCLocale(const std::string& text);

}  // namespace foundation
