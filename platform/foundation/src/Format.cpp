#include "foundation/Format.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <type_traits>

#include "foundation/NumberText.h"

namespace foundation {
namespace {

struct Conversion {
    std::string flags;
    std::optional<int> width;
    std::optional<int> precision;
    char kind = 0;
};

template <typename... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang before 17, which fuzzes).
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::int64_t asSigned(const FormatArgument::Value& value) {
    return std::visit(Overloaded{[](std::int64_t number) { return number; },
                                 [](std::uint64_t number) { return static_cast<std::int64_t>(number); },
                                 [](double number) { return saturatedInteger<std::int64_t>(number); },
                                 [](std::string_view) { return std::int64_t{0}; }},
                      value);
}

double asDouble(const FormatArgument::Value& value) {
    return std::visit(Overloaded{[](std::int64_t number) { return static_cast<double>(number); },
                                 [](std::uint64_t number) { return static_cast<double>(number); },
                                 [](double number) { return number; },
                                 [](std::string_view) { return 0.0; }},
                      value);
}

std::string asText(const FormatArgument::Value& value) {
    return std::visit(Overloaded{[](std::int64_t number) { return std::to_string(number); },
                                 [](std::uint64_t number) { return std::to_string(number); },
                                 [](double number) { return describe(number); },
                                 [](std::string_view text) { return std::string(text); }},
                      value);
}

template <typename Number>
std::string printNumber(const Conversion& conversion, const char* length, Number number) {
    // Plain decimals are most of what is formatted (log lines); they need no printf.
    if constexpr (std::is_integral_v<Number>) {
        if ((conversion.kind == 'd' || conversion.kind == 'i' || conversion.kind == 'u') && conversion.flags.empty() &&
            !conversion.width && !conversion.precision) {
            return std::to_string(number);
        }
    }
    std::string spec = "%" + conversion.flags;
    if (conversion.width) spec += std::to_string(*conversion.width);
    if (conversion.precision) spec.append(".").append(std::to_string(*conversion.precision));
    spec += length;
    spec += conversion.kind;
    int size = std::snprintf(nullptr, 0, spec.c_str(), number);
    if (size < 0) return {};
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), spec.c_str(), number);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

std::string padded(std::string text, const Conversion& conversion) {
    if (conversion.precision && text.size() > static_cast<std::size_t>(*conversion.precision)) {
        text.resize(static_cast<std::size_t>(*conversion.precision));
    }
    if (conversion.width && text.size() < static_cast<std::size_t>(*conversion.width)) {
        std::string padding(static_cast<std::size_t>(*conversion.width) - text.size(), ' ');
        bool left = conversion.flags.find('-') != std::string::npos;
        text = left ? text + padding : padding + text;
    }
    return text;
}

std::string convert(const Conversion& conversion, const FormatArgument::Value& value) {
    switch (conversion.kind) {
    case 'd':
    case 'i':
        return printNumber(conversion, "ll", static_cast<long long>(asSigned(value)));
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        return printNumber(conversion, "ll", static_cast<unsigned long long>(asSigned(value)));
    case 'c': {
        Conversion character = conversion;
        character.precision.reset();
        return printNumber(character, "", static_cast<int>(asSigned(value)));
    }
    case 's':
    case '@':
        return padded(asText(value), conversion);
    default:
        return printNumber(conversion, "", asDouble(value));
    }
}

template <typename Integer>
void appendInteger(std::string& result, Integer number) {
    constexpr std::size_t longest = 20;
    const std::size_t size = result.size();
    result.resize_and_overwrite(size + longest, [&](char* text, std::size_t) {
        return static_cast<std::size_t>(std::to_chars(text + size, text + size + longest, number).ptr - text);
    });
}

// A conversion with no flags, width, precision or length, as most log lines hold: written straight
// into the result, as convert() would write it.
bool isBare(char kind) { return kind == 'd' || kind == 'i' || kind == 'u' || kind == 's' || kind == '@'; }

void appendBare(std::string& result, char kind, const FormatArgument::Value& value) {
    if (kind == 'd' || kind == 'i') return appendInteger(result, asSigned(value));
    if (kind == 'u') return appendInteger(result, static_cast<std::uint64_t>(asSigned(value)));
    std::visit(Overloaded{[&](std::int64_t number) { appendInteger(result, number); },
                          [&](std::uint64_t number) { appendInteger(result, number); },
                          [&](double number) { result += describe(number); },
                          [&](std::string_view text) { result += text; }},
               value);
}

}  // namespace

std::string formatArguments(std::string_view pattern, std::span<const FormatArgument> arguments) {
    std::string result;
    appendFormattedArguments(result, pattern, arguments);
    return result;
}

void appendFormattedArguments(std::string& result, std::string_view pattern, std::span<const FormatArgument> arguments) {
    std::size_t nextArgument = 0;
    auto takeArgument = [&]() -> const FormatArgument::Value* {
        return nextArgument < arguments.size() ? &arguments[nextArgument++].value() : nullptr;
    };
    auto readNumber = [&](std::size_t& index) -> std::optional<int> {
        if (index < pattern.size() && pattern[index] == '*') {
            ++index;
            const auto* argument = takeArgument();
            // Bounded as written widths are; negative means left-justified.
            if (!argument) return std::nullopt;
            return static_cast<int>(std::clamp<std::int64_t>(asSigned(*argument), -(1 << 16), 1 << 16));
        }
        std::optional<int> number;
        for (; index < pattern.size() && pattern[index] >= '0' && pattern[index] <= '9'; ++index) {
            number = std::min(number.value_or(0) * 10 + (pattern[index] - '0'), 1 << 16);
        }
        return number;
    };

    result.reserve(result.size() + pattern.size() + 16 * arguments.size());
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] != '%') {
            std::size_t end = std::min(pattern.find('%', index), pattern.size());
            result.append(pattern.substr(index, end - index));
            index = end - 1;
            continue;
        }
        std::size_t start = index++;
        if (index < pattern.size() && isBare(pattern[index])) {
            if (const auto* argument = takeArgument()) appendBare(result, pattern[index], *argument);
            continue;
        }
        Conversion conversion;
        while (index < pattern.size() && std::string_view("-+ #0'").find(pattern[index]) != std::string_view::npos) {
            if (pattern[index] != '\'') conversion.flags += pattern[index];
            ++index;
        }
        conversion.width = readNumber(index);
        if (conversion.width && *conversion.width < 0) {  // a negative '*' width means left-justified
            conversion.flags += '-';
            conversion.width = -*conversion.width;
        }
        if (index < pattern.size() && pattern[index] == '.') {
            ++index;
            conversion.precision = readNumber(index).value_or(0);
            if (conversion.precision < 0) conversion.precision.reset();
        }
        while (index < pattern.size() && std::string_view("hlqLzjt").find(pattern[index]) != std::string_view::npos) {
            ++index;
        }
        if (index >= pattern.size()) {
            result.append(pattern.substr(start));
            break;
        }
        conversion.kind = pattern[index];
        if (conversion.kind == '%') {
            result += '%';
        } else if (std::string_view("diuoxXcfFeEgGaAs@").find(conversion.kind) == std::string_view::npos) {
            result.append(pattern.substr(start, index - start + 1));
        } else if (const auto* argument = takeArgument()) {
            result += convert(conversion, *argument);
        }
    }
}

}  // namespace foundation
