#pragma once

#include <optional>
#include <string>

namespace foundation {

// A language and region, named by an ICU/POSIX-style identifier such as "en_US" or "en_US_POSIX".
// "en_US_POSIX" is the fixed locale the data sources are read with: English names, Gregorian calendar.
class Locale {
public:
    // Any identifier is accepted, as the platform does; an unknown one falls back to root data.
    explicit Locale(std::string identifier);

    // The user's locale (from the environment), unless a test or the app pinned one.
    static Locale current();
    static void setCurrent(std::optional<Locale> locale);  // nullopt follows the system again

    const std::string& identifier() const { return identifier_; }
    std::string languageCode() const;  // "en" for "en_GB"

    friend bool operator==(const Locale&, const Locale&) = default;

private:
    std::string identifier_;
};

}  // namespace foundation
