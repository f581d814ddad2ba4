#pragma once

#include <optional>
#include <string>

#include "foundation/DateFormatter.h"
#include "foundation/TimeZone.h"

// A formatter of a fixed pattern ("yyyy-MM-dd", "HH:mm") in locale "en_US_POSIX", so that the device's
// language and calendar never change how a date reads or is written; in `zone`, else the device's zone.
foundation::DateFormatter posixFormatter(std::string pattern, std::optional<foundation::TimeZone> zone = std::nullopt);
