#pragma once

#include <any>
#include <concepts>
#include <expected>
#include <sstream>
#include <string>
#include <typeinfo>

namespace pictura {

namespace detail {
template <class T>
inline constexpr bool isExpected = false;
template <class T, class E>
inline constexpr bool isExpected<std::expected<T, E>> = true;
}  // namespace detail

// Any error of the platform or of a caller, carried inside the library's errors as a payload: the
// value itself (for checked conversion back) and its text.
class AnyError {
public:
    template <class Error>
        // A result is not an error; excluding it also keeps std::expected<T, AnyError> from asking
        // itself whether it converts to its own error (a loop clang cannot settle).
        requires(!std::same_as<std::decay_t<Error>, AnyError> && !detail::isExpected<std::decay_t<Error>>)
    AnyError(Error error) : text_(describe(error)), value_(std::move(error)) {}

    // The error as `Error` when it is one; null otherwise.
    template <class Error>
    const Error* as() const {
        return std::any_cast<Error>(&value_);
    }
    const std::string& description() const { return text_; }

    friend std::ostream& operator<<(std::ostream& stream, const AnyError& error) { return stream << error.text_; }

private:
    template <class Error>
    static std::string describe(const Error& error) {
        if constexpr (requires(std::ostream& stream) { stream << error; }) {
            std::ostringstream text;
            text << error;
            return text.str();
        } else if constexpr (requires { { error.description() } -> std::convertible_to<std::string>; }) {
            return error.description();
        } else if constexpr (requires { { error.message } -> std::convertible_to<std::string>; }) {
            return error.message;
        } else {
            return typeid(Error).name();
        }
    }

    std::string text_;
    std::any value_;
};

}  // namespace pictura
