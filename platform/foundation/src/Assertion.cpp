#include "foundation/Assertion.h"

namespace foundation {

InternalInconsistencyException::InternalInconsistencyException(std::string message, std::string file, unsigned line)
    : std::logic_error(std::move(message)), file_(std::move(file)), line_(line) {}

void raiseAssertion(std::string_view message, std::source_location location) {
    std::string_view path = location.file_name();
    auto slash = path.rfind('/');
    std::string file(slash == std::string_view::npos ? path : path.substr(slash + 1));
    throw InternalInconsistencyException(std::string(message), std::move(file), location.line());
}

}  // namespace foundation
