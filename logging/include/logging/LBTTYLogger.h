#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logging/LBAbstractLogger.h"
#include "logging/LBTTYLoggerColorProfile.h"

namespace logging {

// Writes each record as one line to standard error: local time, process name, process id and thread
// id, then the text; optionally coloured per flag, per flag and context, or per tag.
class LBTTYLogger : public LBAbstractLogger {
public:
    // The one console logger. Its colour mode is decided here, once: colours only when standard error
    // is a terminal and the environment asks for them.
    static std::shared_ptr<LBTTYLogger> sharedInstance();
    // XcodeColors=YES picks that console's escapes; a TERM holding "color" ANSI colours, 256 of them
    // when it also holds "256". Without a terminal, none.
    static LBTTYColorMode colorModeForEnvironment(const char* xcodeColors, const char* term, bool isTerminal);

    // A console logger writing to `descriptor` in `mode` (tests, or a program's own console).
    LBTTYLogger(int descriptor, LBTTYColorMode mode);

    void loadDefaultColorProfiles();  // Error and Warning, any context
    bool colorsEnabled() const;
    void setColorsEnabled(bool enabled);  // enabling without any profile loads the defaults

    // A profile for the same flag and context replaces the old one.
    void setForegroundColor(std::optional<LBColor> foreground, std::optional<LBColor> background, LBLogFlag flag,
                            LBLogContext context = LBTTYLoggerColorProfile::anyContext);
    void setForegroundColor(std::optional<LBColor> foreground, std::optional<LBColor> background, std::string tag);
    // Clears the flag's profile for context 0 only, not the any-context one that setting without a
    // context makes.
    void clearColorsForFlag(LBLogFlag flag);
    void clearColorsForFlag(LBLogFlag flag, LBLogContext context);
    void clearColorsForTag(const std::string& tag);
    void clearColorsForAllFlags();
    void clearColorsForAllTags();
    void clearAllColors();

    void logMessage(const LBLogMessage& message) override;

    bool automaticallyAppendNewlineForCustomFormatters() const { return automaticallyAppendNewline_; }
    void setAutomaticallyAppendNewlineForCustomFormatters(bool append) { automaticallyAppendNewline_ = append; }

private:
    const LBTTYLoggerColorProfile* profileFor(const LBLogMessage& message) const;
    void removeFlagProfile(std::uint64_t mask, LBLogContext context);

    const int descriptor_;
    const LBTTYColorMode mode_;
    std::string appName_;
    std::string processID_;
    // On the logger's queue only.
    bool colorsEnabled_ = false;
    std::vector<LBTTYLoggerColorProfile> colorProfilesArray_;
    std::map<std::string, LBTTYLoggerColorProfile> colorProfilesDict_;
    std::atomic<bool> automaticallyAppendNewline_ = true;
};

}  // namespace logging
