#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/ServiceHosts.h"
#include "foundation/Date.h"
#include "net/ProtocolRegistry.h"

// Where the app's data comes from, read once from the environment at start-up.
struct OfflineSettings {
    bool live = false;                    // SORVANE_DATA: "offline" (the default) or "live"
    std::filesystem::path dataDirectory;  // SORVANE_DATA_DIR: the folder holding offline-season/
    std::optional<foundation::Date> now;  // SORVANE_NOW; the snapshot's now.txt when not given
    double replaySpeed = 1;               // SORVANE_REPLAY_SPEED: seconds of season per second
    // Not from the environment: told what a replayed stream is found to lack when it is first read, or
    // that a file is too large to answer when first asked for, after the start (on the network thread).
    std::function<void(const std::string&)> reportLateWarning;

    static std::filesystem::path defaultDataDirectory();
    // A value that cannot be read is an error naming the variable, never a silent default.
    static std::expected<OfflineSettings, std::string> fromEnvironment();
};

// "2023-04-30T11:20:00Z"; nothing for any other form.
std::optional<foundation::Date> instantFromISO8601(std::string_view text);

// The 2023 season answered in-process from data/offline-season: a snapshot handler for each
// configured host, and a clock that starts at the snapshot's "now".
class OfflineSeason {
public:
    // Offline: registers the handlers and installs an offset clock. Live: registers nothing and
    // installs the system clock. Only an unreadable "now" fails the start: a folder that is missing or
    // broken turns off the services it serves (their host answers 503, never the network), and a
    // replay.tsv line that cannot be used is left out; each is listed in warnings(). Replayed streams
    // are read when first asked for: what is wrong with one, or with a file too large to answer, goes
    // to the settings' reportLateWarning.
    static std::expected<OfflineSeason, std::string> start(
        const OfflineSettings& settings, const ServiceHosts& hosts = ServiceHosts::current(),
        std::shared_ptr<net::ProtocolRegistry> registry = net::ProtocolRegistry::global());
    // What the app calls at start-up.
    static std::expected<OfflineSeason, std::string> startFromEnvironment(
        std::function<void(const std::string&)> reportLateWarning = nullptr);

    const std::vector<std::string>& hosts() const { return hosts_; }
    foundation::Date startedAt() const { return startedAt_; }
    // What the start left out or found damaged, one sentence each, for the console.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Unregisters the handlers and restores the system clock (for tests).
    void stop();

private:
    std::shared_ptr<net::ProtocolRegistry> registry_;
    std::vector<std::string> hosts_;
    foundation::Date startedAt_;
    std::vector<std::string> warnings_;
    // What the image guard was before an offline start, put back by stop().
    bool guardsImages_ = false;
    std::shared_ptr<net::ProtocolRegistry> imagesGuardedBefore_;
};
