#include "logging/LBTTYLogger.h"

#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <strings.h>

#include "foundation/Print.h"

namespace logging {
namespace {

constexpr std::size_t threadIDLimit = 8;

bool containsIgnoringCase(const char* text, const char* part) {
    std::string lowered(text);
    for (auto& character : lowered) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return lowered.find(part) != std::string::npos;
}

// "yyyy-MM-dd HH:mm:ss:SSS" in local time, milliseconds truncated.
std::string timestampText(foundation::Date date) {
    double seconds = date.timeIntervalSince1970();
    double whole = std::floor(seconds);
    auto time = static_cast<std::time_t>(whole);
    std::tm parts{};
    localtime_r(&time, &parts);
    long milliseconds = static_cast<long>((seconds - whole) * 1000.0);
    std::array<char, 32> buffer{};
    int length = std::snprintf(buffer.data(), buffer.size(), "%04d-%02d-%02d %02d:%02d:%02d:%03ld",
                               parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                               parts.tm_sec, milliseconds);
    return std::string(buffer.data(), static_cast<std::size_t>(std::min(length, 23)));
}

iovec piece(std::string_view text) { return {const_cast<char*>(text.data()), text.size()}; }

}  // namespace

LBTTYColorMode LBTTYLogger::colorModeForEnvironment(const char* xcodeColors, const char* term, bool isTerminal) {
    if (!isTerminal) return LBTTYColorMode::none;
    if (xcodeColors && std::string_view(xcodeColors) == "YES") return LBTTYColorMode::xcodeColors;
    if (term && containsIgnoringCase(term, "color")) {
        return containsIgnoringCase(term, "256") ? LBTTYColorMode::ansi256 : LBTTYColorMode::ansi16;
    }
    return LBTTYColorMode::none;
}

std::shared_ptr<LBTTYLogger> LBTTYLogger::sharedInstance() {
    static auto& instance = *new std::shared_ptr<LBTTYLogger>(std::make_shared<LBTTYLogger>(
        STDERR_FILENO,
        colorModeForEnvironment(std::getenv("XcodeColors"), std::getenv("TERM"), ::isatty(STDERR_FILENO) == 1)));
    return instance;
}

LBTTYLogger::LBTTYLogger(int descriptor, LBTTYColorMode mode)
    : LBAbstractLogger("tolvane.logbook.ttyLogger"), descriptor_(descriptor), mode_(mode) {
    appName_ = program_invocation_short_name ? program_invocation_short_name : "";
    if (appName_.empty()) appName_ = "<UnnamedApp>";
    processID_ = std::to_string(::getpid());
    colorProfilesArray_.reserve(8);
    foundation::printLine(
        "Logbook: Warning: Usage of LBTTYLogger detected when LBOSLogger is available and can be used! Please "
        "consider migrating to LBOSLogger.");
}

void LBTTYLogger::loadDefaultColorProfiles() {
    setForegroundColor(LBColor{214 / 255.0, 57 / 255.0, 30 / 255.0}, std::nullopt, LBLogFlag::error);
    setForegroundColor(LBColor{204 / 255.0, 121 / 255.0, 32 / 255.0}, std::nullopt, LBLogFlag::warning);
}

bool LBTTYLogger::colorsEnabled() const {
    bool enabled = false;
    readOnLoggerQueue([&] { enabled = colorsEnabled_; });
    return enabled;
}

void LBTTYLogger::setColorsEnabled(bool enabled) {
    writeOnLoggerQueue([this, enabled] {
        colorsEnabled_ = enabled;
        if (colorProfilesArray_.empty()) loadDefaultColorProfiles();
    });
}

void LBTTYLogger::setForegroundColor(std::optional<LBColor> foreground, std::optional<LBColor> background,
                                     LBLogFlag flag, LBLogContext context) {
    writeOnLoggerQueue([this, foreground, background, flag, context] {
        LBTTYLoggerColorProfile profile(foreground, background, bits(flag), context, mode_);
        for (auto& existing : colorProfilesArray_) {
            if (existing.mask() == profile.mask() && existing.context() == context) {
                existing = profile;
                return;
            }
        }
        colorProfilesArray_.push_back(profile);
    });
}

void LBTTYLogger::setForegroundColor(std::optional<LBColor> foreground, std::optional<LBColor> background,
                                     std::string tag) {
    writeOnLoggerQueue([this, foreground, background, tag = std::move(tag)] {
        colorProfilesDict_.insert_or_assign(tag, LBTTYLoggerColorProfile(foreground, background, 0, 0, mode_));
    });
}

void LBTTYLogger::removeFlagProfile(std::uint64_t mask, LBLogContext context) {
    for (auto entry = colorProfilesArray_.begin(); entry != colorProfilesArray_.end(); ++entry) {
        if (entry->mask() == mask && entry->context() == context) {
            colorProfilesArray_.erase(entry);
            return;
        }
    }
}

void LBTTYLogger::clearColorsForFlag(LBLogFlag flag) {
    // Context 0 only: the profile the flag-only setter made (for any context) stays.
    writeOnLoggerQueue([this, flag] { removeFlagProfile(bits(flag), 0); });
}

void LBTTYLogger::clearColorsForFlag(LBLogFlag flag, LBLogContext context) {
    writeOnLoggerQueue([this, flag, context] { removeFlagProfile(bits(flag), context); });
}

void LBTTYLogger::clearColorsForTag(const std::string& tag) {
    writeOnLoggerQueue([this, tag] { colorProfilesDict_.erase(tag); });
}

void LBTTYLogger::clearColorsForAllFlags() {
    writeOnLoggerQueue([this] { colorProfilesArray_.clear(); });
}

void LBTTYLogger::clearColorsForAllTags() {
    writeOnLoggerQueue([this] { colorProfilesDict_.clear(); });
}

void LBTTYLogger::clearAllColors() {
    writeOnLoggerQueue([this] {
        colorProfilesArray_.clear();
        colorProfilesDict_.clear();
    });
}

const LBTTYLoggerColorProfile* LBTTYLogger::profileFor(const LBLogMessage& message) const {
    if (const auto& tag = message.tag()) {
        if (auto found = colorProfilesDict_.find(*tag); found != colorProfilesDict_.end()) return &found->second;
    }
    const LBTTYLoggerColorProfile* anyContextProfile = nullptr;
    for (const auto& profile : colorProfilesArray_) {
        if ((profile.mask() & bits(message.flag())) == 0) continue;
        if (profile.context() == message.context()) return &profile;
        if (profile.context() == LBTTYLoggerColorProfile::anyContext) anyContextProfile = &profile;
    }
    return anyContextProfile;
}

void LBTTYLogger::logMessage(const LBLogMessage& message) {
    std::optional<std::string> formatted;
    if (logFormatter_) {
        formatted = logFormatter_->formatLogMessage(message);
        if (!formatted) return;
    }
    const std::string& text = formatted ? *formatted : message.message();
    const bool custom = formatted && *formatted != message.message();
    const LBTTYLoggerColorProfile* profile = colorsEnabled_ ? profileFor(message) : nullptr;
    std::string_view fg = profile ? std::string_view(profile->fgCode()) : std::string_view();
    std::string_view bg = profile ? std::string_view(profile->bgCode()) : std::string_view();
    std::string_view reset = profile ? std::string_view(profile->resetCode()) : std::string_view();
    const bool endsInLineBreak = !text.empty() && text.back() == '\n';

    if (custom) {
        std::string_view lineBreak = automaticallyAppendNewline_ && !endsInLineBreak ? "\n" : "";
        std::array<iovec, 5> pieces{piece(fg), piece(bg), piece(text), piece(lineBreak), piece(reset)};
        (void)::writev(descriptor_, pieces.data(), static_cast<int>(pieces.size()));
        return;
    }
    std::string timestamp = message.timestamp() ? timestampText(*message.timestamp()) : std::string();
    std::string_view threadID = std::string_view(message.threadID()).substr(0, threadIDLimit);
    std::array<iovec, 13> pieces{piece(fg),         piece(bg),       piece(timestamp), piece(" "),
                                 piece(appName_),   piece("["),      piece(processID_), piece(":"),
                                 piece(threadID),   piece("] "),     piece(text),      piece(endsInLineBreak ? "" : "\n"),
                                 piece(reset)};
    (void)::writev(descriptor_, pieces.data(), static_cast<int>(pieces.size()));
}

}  // namespace logging
