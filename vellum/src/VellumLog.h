#pragma once

#include <optional>
#include <source_location>
#include <string_view>

#include "foundation/Format.h"
#include "logging/LBLog.h"
#include "systemlog/SystemLog.h"

// The library's log calls: level 3 (warning), context 556; errors synchronously, warnings
// asynchronously. No logger is installed in the app, so these go nowhere unless one is added.
namespace vellum {

inline constexpr logging::LBLogContext vellumLogContext = 556;

// A format text that remembers where it was written, so the calls below need no macro.
struct VellumLogFormat {
    template <class Text>
    VellumLogFormat(const Text& text, std::source_location location = std::source_location::current())
        : text(text), location(location) {}
    std::string_view text;
    std::source_location location;
};

template <class... Arguments>
void vellumLogWarning(VellumLogFormat format, const Arguments&... arguments) {
    logging::LBLog::sharedInstance().log(true, logging::LBLogLevel::warning, logging::LBLogFlag::warning,
                                         vellumLogContext, format.location.file_name(),
                                         format.location.function_name(), format.location.line(),
                                         std::nullopt, format.text, arguments...);
}

template <class... Arguments>
void vellumLogError(VellumLogFormat format, const Arguments&... arguments) {
    logging::LBLog::sharedInstance().log(false, logging::LBLogLevel::warning, logging::LBLogFlag::error,
                                         vellumLogContext, format.location.file_name(),
                                         format.location.function_name(), format.location.line(),
                                         std::nullopt, format.text, arguments...);
}

// A few warnings go to the platform's own log instead: the process's default log in the system log,
// whether or not a logger is installed.
template <class... Arguments>
void vellumPlatformLog(std::string_view pattern, const Arguments&... arguments) {
    systemlog::SystemLog::current()->writeUnified({}, systemlog::LogType::defaultType,
                                                  foundation::format(pattern, arguments...));
}

}  // namespace vellum
