#pragma once

#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>

namespace foundation {

// What a failed assertion raises: a programming error, as the platform's internal-consistency
// exception. Nothing is meant to catch it but a test, or a parser that turns it into a fatal error;
// left alone it ends the process with its message.
class InternalInconsistencyException : public std::logic_error {
public:
    InternalInconsistencyException(std::string message, std::string file, unsigned line);

    const std::string& file() const { return file_; }  // the source file's name, without folders
    unsigned line() const { return line_; }

private:
    std::string file_;
    unsigned line_;
};

// The assertion handler: raises InternalInconsistencyException with `message`.
[[noreturn]] void raiseAssertion(std::string_view message,
                                 std::source_location location = std::source_location::current());

// Raises when `condition` is false. Checked in every build, as the platform's own assertions are.
inline void assertion(bool condition, std::string_view message,
                      std::source_location location = std::source_location::current()) {
    if (!condition) [[unlikely]] raiseAssertion(message, location);
}

}  // namespace foundation
