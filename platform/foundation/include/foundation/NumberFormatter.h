#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Locale.h"

namespace foundation {

// Writes and reads numbers in a locale's conventions. A new formatter takes the current locale.
// A value: copies are independent; one formatter is used by one thread at a time.
class NumberFormatter {
public:
    enum class Style {
        none,     // plain digits, no grouping, rounded to whole numbers: "1234"
        decimal,  // grouped, up to three fraction digits: "1,234.5" in en_US
        ordinal,  // "1st", "22nd" in English, "3e" in Dutch
    };

    NumberFormatter();

    Style numberStyle() const { return style_; }
    void setNumberStyle(Style style);  // also resets grouping and fraction digits to the style's
    const Locale& locale() const { return locale_; }
    void setLocale(Locale locale);
    int minimumFractionDigits() const { return minimumFractionDigits_; }
    void setMinimumFractionDigits(int digits);
    int maximumFractionDigits() const { return maximumFractionDigits_; }
    void setMaximumFractionDigits(int digits);
    bool usesGroupingSeparator() const { return usesGroupingSeparator_; }
    void setUsesGroupingSeparator(bool uses);

    // Rounds half to even at the last fraction digit. Nullopt only if ICU cannot format at all.
    std::optional<std::string> string(double number) const;
    std::optional<std::string> string(long long number) const;
    std::optional<std::string> string(int number) const { return string(static_cast<long long>(number)); }
    // The whole text must read as a number in this style ("1,234.5", "3rd"); anything else is nullopt.
    std::optional<double> number(std::string_view text) const;

private:
    struct Engine;

    Engine* engine() const;

    Style style_ = Style::none;
    Locale locale_;
    int minimumFractionDigits_ = 0;
    int maximumFractionDigits_ = 0;
    bool usesGroupingSeparator_ = false;
};

}  // namespace foundation
