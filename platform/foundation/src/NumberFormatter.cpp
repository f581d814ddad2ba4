#include "foundation/NumberFormatter.h"

#include <algorithm>

#include <unicode/decimfmt.h>
#include <unicode/numfmt.h>
#include <unicode/rbnf.h>

#include "IcuTime.h"

namespace foundation {

struct NumberFormatter::Engine {
    std::unique_ptr<icu::NumberFormat> format;
};

namespace {

std::unique_ptr<icu::NumberFormat> makeFormat(NumberFormatter::Style style, const Locale& locale) {
    // Never destroyed: formatters are made on worker threads that may outlive exit().
    static auto& prototypes = *new icu_time::PrototypeCache<icu::NumberFormat>;
    bool ordinal = style == NumberFormatter::Style::ordinal;
    auto key = (ordinal ? "ordinal/" : "decimal/") + locale.identifier();
    return prototypes.clone(key, [&]() -> std::unique_ptr<icu::NumberFormat> {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::NumberFormat> made;
        if (ordinal) {
            made = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_ORDINAL, icu_time::toIcu(locale), status);
        } else {
            made.reset(icu::NumberFormat::createInstance(icu_time::toIcu(locale), UNUM_DECIMAL, status));
        }
        if (U_FAILURE(status)) made.reset();
        return made;
    });
}

std::optional<std::string> formatted(const icu::NumberFormat* format, const icu::Formattable& number) {
    if (!format) return std::nullopt;
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    format->format(number, text, status);
    if (U_FAILURE(status)) return std::nullopt;
    return icu_time::toUtf8(text);
}

}  // namespace

NumberFormatter::NumberFormatter() : locale_(Locale::current()) {}

void NumberFormatter::setNumberStyle(Style style) {
    style_ = style;
    bool decimal = style == Style::decimal;
    usesGroupingSeparator_ = decimal;
    minimumFractionDigits_ = 0;
    maximumFractionDigits_ = decimal ? 3 : 0;
}

void NumberFormatter::setLocale(Locale locale) { locale_ = std::move(locale); }

void NumberFormatter::setMinimumFractionDigits(int digits) {
    minimumFractionDigits_ = std::max(0, digits);
    maximumFractionDigits_ = std::max(maximumFractionDigits_, minimumFractionDigits_);
}

void NumberFormatter::setMaximumFractionDigits(int digits) {
    maximumFractionDigits_ = std::max(0, digits);
    minimumFractionDigits_ = std::min(minimumFractionDigits_, maximumFractionDigits_);
}

void NumberFormatter::setUsesGroupingSeparator(bool uses) { usesGroupingSeparator_ = uses; }

NumberFormatter::Engine* NumberFormatter::engine() const {
    auto key = std::to_string(static_cast<int>(style_)) + '/' + std::to_string(minimumFractionDigits_) + '/' +
               std::to_string(maximumFractionDigits_) + '/' + (usesGroupingSeparator_ ? "grouped/" : "plain/") +
               locale_.identifier();
    return icu_time::PerThreadCache<Engine>::get(key, [&]() -> std::unique_ptr<Engine> {
        auto engine = std::make_unique<Engine>();
        engine->format = makeFormat(style_, locale_);
        if (!engine->format) engine->format = makeFormat(style_, Locale("en_US_POSIX"));
        if (!engine->format) return nullptr;
        if (auto* decimal = dynamic_cast<icu::DecimalFormat*>(engine->format.get())) {
            decimal->setGroupingUsed(usesGroupingSeparator_);
            decimal->setMinimumFractionDigits(minimumFractionDigits_);
            decimal->setMaximumFractionDigits(maximumFractionDigits_);
            decimal->setRoundingMode(icu::DecimalFormat::kRoundHalfEven);
            decimal->setLenient(false);
        }
        return engine;
    });
}

std::optional<std::string> NumberFormatter::string(double number) const {
    auto* engine = this->engine();
    return formatted(engine ? engine->format.get() : nullptr, icu::Formattable(number));
}

std::optional<std::string> NumberFormatter::string(long long number) const {
    auto* engine = this->engine();
    return formatted(engine ? engine->format.get() : nullptr, icu::Formattable(static_cast<int64_t>(number)));
}

std::optional<double> NumberFormatter::number(std::string_view text) const {
    auto* engine = this->engine();
    if (!engine || text.empty()) return std::nullopt;
    auto& format = engine->format;
    auto unicode = icu_time::toUnicode(text);
    icu::Formattable result;
    icu::ParsePosition position(0);
    format->parse(unicode, result, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    double value = result.getDouble(status);
    if (U_FAILURE(status)) return std::nullopt;
    return value;
}

}  // namespace foundation
