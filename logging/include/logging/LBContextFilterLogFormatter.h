#pragma once

#include "logging/LBLogFormatter.h"
#include "logging/LBLoggingContextSet.h"

namespace logging {

// Passes the records whose context is on its list, unchanged, and drops the rest. An empty list drops
// everything.
class LBContextAllowlistFilterLogFormatter : public LBLogFormatter {
public:
    void addToAllowlist(LBLogContext context) { contextSet_.addToSet(context); }
    void removeFromAllowlist(LBLogContext context) { contextSet_.removeFromSet(context); }
    std::vector<LBLogContext> allowlist() const { return contextSet_.currentSet(); }  // unordered
    bool isOnAllowlist(LBLogContext context) const { return contextSet_.isInSet(context); }

    // Older names.
    void addToWhitelist(LBLogContext context) { addToAllowlist(context); }
    void removeFromWhitelist(LBLogContext context) { removeFromAllowlist(context); }
    std::vector<LBLogContext> whitelist() const { return allowlist(); }
    bool isOnWhitelist(LBLogContext context) const { return isOnAllowlist(context); }

    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override;

private:
    LBLoggingContextSet contextSet_;
};

// Drops the records whose context is on its list and passes the rest unchanged.
class LBContextDenylistFilterLogFormatter : public LBLogFormatter {
public:
    void addToDenylist(LBLogContext context) { contextSet_.addToSet(context); }
    void removeFromDenylist(LBLogContext context) { contextSet_.removeFromSet(context); }
    std::vector<LBLogContext> denylist() const { return contextSet_.currentSet(); }  // unordered
    bool isOnDenylist(LBLogContext context) const { return contextSet_.isInSet(context); }

    // Older names.
    void addToBlacklist(LBLogContext context) { addToDenylist(context); }
    void removeFromBlacklist(LBLogContext context) { removeFromDenylist(context); }
    std::vector<LBLogContext> blacklist() const { return denylist(); }
    bool isOnBlacklist(LBLogContext context) const { return isOnDenylist(context); }

    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override;

private:
    LBLoggingContextSet contextSet_;
};

}  // namespace logging
