#include "foundation/Locale.h"

#include <mutex>

#include "IcuTime.h"

namespace foundation {

namespace {

std::mutex& pinnedMutex() {
    static auto& mutex = *new std::mutex;  // never destroyed: read from worker threads during exit
    return mutex;
}

std::optional<Locale>& pinned() {
    static auto& locale = *new std::optional<Locale>;
    return locale;
}

}  // namespace

Locale::Locale(std::string identifier) : identifier_(std::move(identifier)) {}

Locale Locale::current() {
    {
        std::lock_guard lock(pinnedMutex());
        if (pinned()) return *pinned();
    }
    // ICU reads LANG/LC_ALL once; "C" and "POSIX" come out as en_US_POSIX.
    return Locale(icu::Locale::getDefault().getName());
}

void Locale::setCurrent(std::optional<Locale> locale) {
    std::lock_guard lock(pinnedMutex());
    pinned() = std::move(locale);
}

std::string Locale::languageCode() const { return icu_time::toIcu(*this).getLanguage(); }

}  // namespace foundation
