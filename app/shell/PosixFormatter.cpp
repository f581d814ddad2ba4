#include "shell/PosixFormatter.h"

#include "foundation/Locale.h"

foundation::DateFormatter posixFormatter(std::string pattern, std::optional<foundation::TimeZone> zone) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    if (zone) formatter.setTimeZone(*zone);
    formatter.setDateFormat(std::move(pattern));
    return formatter;
}
