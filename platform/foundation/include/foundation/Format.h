#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace foundation {

// One argument of format(), captured by type so that a conversion can never read the wrong one.
class FormatArgument {
public:
    template <std::signed_integral Integer>
    FormatArgument(Integer value) : value_(static_cast<std::int64_t>(value)) {}
    template <std::unsigned_integral Integer>
    FormatArgument(Integer value) : value_(static_cast<std::uint64_t>(value)) {}
    FormatArgument(bool value) : value_(static_cast<std::int64_t>(value)) {}
    FormatArgument(double value) : value_(value) {}
    FormatArgument(float value) : value_(static_cast<double>(value)) {}
    // Text is referred to, not copied: the argument lives only for the call.
    FormatArgument(std::string_view value) : value_(value) {}
    FormatArgument(const std::string& value) : value_(std::string_view(value)) {}
    FormatArgument(const char* value) : value_(std::string_view(value ? value : "(null)")) {}

    using Value = std::variant<std::int64_t, std::uint64_t, double, std::string_view>;
    const Value& value() const { return value_; }

private:
    Value value_;
};

// printf-style formatting: flags, width, precision (both may be '*'), length modifiers (ignored: the
// argument's own type decides), and the conversions d i u o x X c f F e E g G a A s @ %. "%@" and "%s"
// take text and print numbers as their description. A conversion whose argument is of another kind
// converts it (a double under %d is truncated); a missing argument prints nothing.
std::string formatArguments(std::string_view pattern, std::span<const FormatArgument> arguments);
// The same, appended to `result`: a caller that formats often can keep one buffer.
void appendFormattedArguments(std::string& result, std::string_view pattern, std::span<const FormatArgument> arguments);

template <typename... Arguments>
std::string format(std::string_view pattern, const Arguments&... arguments) {
    const std::array<FormatArgument, sizeof...(Arguments)> list{FormatArgument(arguments)...};
    return formatArguments(pattern, list);
}

}  // namespace foundation
