#include "foundation/Format.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// The most an integer takes in decimal ("-9223372036854775808").
constexpr std::size_t longestInteger = 20;

// Copies the text from `next` up to the next '%' (or `end`) to `out`, moving both past it. It may
// write up to 15 bytes past what it copies: `out` has at least the pattern's length of room ahead.
void copyLiteral(char*& out, const char*& next, const char* end) {
#if defined(__SSE2__)
    // Sixteen bytes at a time: log patterns are short runs of text, where a call to memchr and one to
    // memcpy per run cost more than the run.
    const __m128i percent = _mm_set1_epi8('%');
    while (end - next >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        if (const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, percent))) {
            const int length = __builtin_ctz(static_cast<unsigned>(found));
            out += length;
            next += length;
            return;
        }
        out += 16;
        next += 16;
    }
#endif
    while (next != end && *next != '%') *out++ = *next++;
}

struct Progress {
    std::size_t index = 0;         // in the pattern
    std::size_t nextArgument = 0;  // in the arguments
};

// The leading text and bare conversions of `pattern` (most log lines hold nothing else), written
// through one pointer into room made once, as the general loop would write them. Stops at the first
// conversion it leaves to that loop: one with flags, width, precision or length, "%%", a trailing
// "%", or a number that "%@" or "%s" describes. The room covers the pattern and, per argument, the
// longer of its text and the longest integer.
Progress appendLeadingBare(std::string& result, std::string_view pattern, std::span<const FormatArgument> arguments) {
    std::size_t room = pattern.size();
    for (const auto& argument : arguments) {
        const auto* text = std::get_if<std::string_view>(&argument.value());
        room += std::max(longestInteger, text ? text->size() : 0);
    }
    Progress progress;
    const std::size_t size = result.size();
    result.resize_and_overwrite(size + room, [&](char* start, std::size_t) {
        char* out = start + size;
        const char* next = pattern.data();
        const char* const end = next + pattern.size();
        while (next != end) {
            copyLiteral(out, next, end);
            if (next == end || next + 1 == end || !isBare(next[1])) break;
            const char kind = next[1];
            if (progress.nextArgument < arguments.size()) {
                const auto& value = arguments[progress.nextArgument].value();
                const auto* text = std::get_if<std::string_view>(&value);
                const bool integer = kind == 'd' || kind == 'i' || kind == 'u';
                if (!integer && std::holds_alternative<double>(value)) break;
                ++progress.nextArgument;
                if (!integer && text) {
                    out = std::copy(text->begin(), text->end(), out);
                } else if (kind == 'd' || kind == 'i') {
                    out = std::to_chars(out, out + longestInteger, asSigned(value)).ptr;
                } else if (kind == 'u' || std::holds_alternative<std::uint64_t>(value)) {
                    out = std::to_chars(out, out + longestInteger, static_cast<std::uint64_t>(asSigned(value))).ptr;
                } else {
                    out = std::to_chars(out, out + longestInteger, asSigned(value)).ptr;
                }
            }
            next += 2;
        }
        progress.index = static_cast<std::size_t>(next - pattern.data());
        return static_cast<std::size_t>(out - start);
    });
    return progress;
}

}  // namespace

std::string formatArguments(std::string_view pattern, std::span<const FormatArgument> arguments) {
    std::string result;
    appendFormattedArguments(result, pattern, arguments);
    return result;
}

void appendFormattedArguments(std::string& result, std::string_view pattern, std::span<const FormatArgument> arguments) {
    const Progress progress = appendLeadingBare(result, pattern, arguments);
    if (progress.index == pattern.size()) return;
    std::size_t nextArgument = progress.nextArgument;
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
    for (std::size_t index = progress.index; index < pattern.size(); ++index) {
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
