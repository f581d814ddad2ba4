#include "offline/OfflineSeason.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <utility>

#include "data/GlobalStruct.h"
#include "foundation/Clock.h"
#include "foundation/PercentEncoding.h"
#include "net/SnapshotProtocol.h"
#include "offline/AsOfClock.h"
#include "shell/ImageSeam.h"

namespace fs = std::filesystem;

namespace {

std::optional<int> digits(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Read as the snapshot's own files are, so a damaged one of gigabytes is refused rather than read.
std::optional<std::string> readText(const fs::path& path) {
    auto text = net::readSnapshotFile(path);
    if (!text) return std::nullopt;
    return std::move(*text);
}

std::string trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

// replay.tsv: "<session path>\t<stream origin>" lines under comment lines. A line that cannot be read
// is left out and reported; so is the whole file, which only means that nothing replays.
std::vector<net::StreamReplaySetting> replaysIn(const fs::path& file, std::vector<std::string>& warnings) {
    auto text = readText(file);
    if (!text) {
        warnings.push_back("cannot read " + file.string() + ": no session is replayed");
        return {};
    }
    std::vector<net::StreamReplaySetting> replays;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line);
        if (line.empty() || line.starts_with('#')) continue;
        auto tab = line.find('\t');
        auto origin = tab == std::string::npos ? std::nullopt : instantFromISO8601(line.substr(tab + 1));
        if (!origin) {
            // A damaged line may be of any length: the warning quotes its start.
            std::string quoted = line.size() > 80 ? line.substr(0, 80) + "..." : line;
            warnings.push_back(file.string() + ": unreadable line \"" + quoted + "\" left out");
            continue;
        }
        replays.push_back({line.substr(0, tab), *origin});
    }
    return replays;
}

struct HostFolder {
    std::string host;
    net::SnapshotFolder folder;
    std::string service;  // what the user loses without it, for the warning
};

// What a host of a broken folder answers: a server that is down, so that nothing reaches the network.
net::ProtocolHandler unavailable() {
    return [](const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
        return net::statusPage(request, 503);
    };
}

// The files SOURCES.tsv lists, relative to the season's folder ("results-api/2023/1/results.json"):
// what the season recorded. None when the listing cannot be read.
std::shared_ptr<const std::set<std::string>> listedFiles(const fs::path& season, std::vector<std::string>& warnings) {
    auto text = readText(season / "SOURCES.tsv");
    if (!text) {
        warnings.push_back("cannot read " + (season / "SOURCES.tsv").string() +
                           ": a file lost from the season is told as one it never recorded");
        return nullptr;
    }
    auto listed = std::make_shared<std::set<std::string>>();
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with('#') || line.starts_with("path\t")) continue;
        listed->insert(line.substr(0, line.find('\t')));
    }
    return listed;
}

// A document the season never recorded is answered 404, as the service answers a page it lacks; one
// the listing names but this copy of the folder lacks was lost from it: a damaged season, answered 500
// as a server whose own files are broken, so that no screen tells it as merely not recorded.
net::ProtocolHandler lostFilesAreDamage(net::ProtocolHandler recorded, std::string prefix, std::vector<std::string> indexNames,
                                        std::string folderName, std::shared_ptr<const std::set<std::string>> listed) {
    if (!listed) return recorded;
    return [recorded = std::move(recorded), prefix = std::move(prefix), indexNames = std::move(indexNames),
            folderName = std::move(folderName), listed = std::move(listed)](
               const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
        auto answer = recorded(request);
        if (!answer || answer->response.statusCode != 404 || !request.url) return answer;
        const std::string& path = request.url->percentEncodedPath();
        if (!path.starts_with(prefix)) return answer;
        auto relative = foundation::removingPercentEncoding(std::string_view(path).substr(prefix.size()));
        if (!relative) return answer;
        std::vector<std::string> candidates;
        if (relative->empty() || relative->ends_with('/'))
            for (const auto& index : indexNames) candidates.push_back(folderName + "/" + *relative + index);
        else
            candidates.push_back(folderName + "/" + *relative);
        if (std::ranges::none_of(candidates, [&](const std::string& file) { return listed->contains(file); })) return answer;
        return net::statusPage(request, 500);
    };
}

// The years whose calendar ("<yyyy>.json") the results folder holds, in order.
std::vector<std::string> calendarYears(const fs::path& results) {
    std::vector<std::string> years;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(results, error)) {
        std::string stem = entry.path().stem().string();
        bool year = stem.size() == 4 && std::ranges::all_of(stem, [](char c) { return c >= '0' && c <= '9'; });
        if (year && entry.path().extension() == ".json" && entry.is_regular_file(error)) years.push_back(stem);
    }
    std::ranges::sort(years);
    return years;
}

std::vector<HostFolder> hostFolders(const fs::path& season, const ServiceHosts& hosts,
                                    std::vector<net::StreamReplaySetting> replays,
                                    std::function<void(const std::string&)> reportLateWarning) {
    auto at = [&](std::string host, std::string folder, std::string prefix, std::string service) {
        HostFolder entry{std::move(host), {}, std::move(service)};
        entry.folder.root = season / folder;
        entry.folder.pathPrefix = std::move(prefix);
        return entry;
    };
    auto feed = [&](std::string host, std::string folder) {
        auto entry = at(std::move(host), "rss/" + folder, "/", "the " + folder + " news feed");
        entry.folder.fallbackContentType = "application/rss+xml";
        return entry;
    };
    std::vector<HostFolder> folders{
        at(hosts.resultsAPI, "results-api", "/api/f1/", "results, calendars and standings"),
        at(hosts.liveTiming, "livetiming", "/static/", "live timing"),
        at(hosts.polls, "polls", "/", "the driver-of-the-day polls"),
        // Headshots: the host the recorded driver lists name. Circuit maps: the media host.
        at("www.formula1.com", "images", "/", "driver pictures"),
        at(hosts.mediaImages, "images", "/", "circuit maps"),
        feed(hosts.fiaNews, "fia"),
        feed(hosts.autosportNews, "autosport"),
        feed(hosts.gpblogNews, "gpblog"),
        feed(hosts.bbcNews, "bbc"),
        feed(hosts.shiftF1News, "shiftf1"),
    };
    folders[1].folder.replays = std::move(replays);
    folders.push_back(at(hosts.flagImages, "flags", "/", "flag pictures"));
    for (auto& entry : folders) entry.folder.reportWarning = reportLateWarning;
    return folders;
}

}  // namespace

std::optional<foundation::Date> instantFromISO8601(std::string_view text) {
    // yyyy-MM-ddTHH:mm:ssZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    auto year = digits(text.substr(0, 4)), month = digits(text.substr(5, 2)), day = digits(text.substr(8, 2));
    auto hour = digits(text.substr(11, 2)), minute = digits(text.substr(14, 2)), second = digits(text.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(*month), std::chrono::day(*day)};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    auto seconds = std::chrono::sys_days(date).time_since_epoch() + std::chrono::hours(*hour) +
                   std::chrono::minutes(*minute) + std::chrono::seconds(*second);
    return foundation::Date::fromUnix(static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(seconds).count()));
}

fs::path OfflineSettings::defaultDataDirectory() { return SORVANE_DATA_DIR; }

std::expected<OfflineSettings, std::string> OfflineSettings::fromEnvironment() {
    auto variable = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value || !*value) return std::nullopt;
        return std::string(value);
    };
    OfflineSettings settings;
    if (auto data = variable("SORVANE_DATA")) {
        if (*data != "offline" && *data != "live")
            return std::unexpected("SORVANE_DATA is \"" + *data + "\"; it must be \"offline\" or \"live\"");
        settings.live = *data == "live";
    }
    if (auto folder = variable("SORVANE_DATA_DIR")) {
        std::error_code error;
        if (!fs::is_directory(*folder, error))
            return std::unexpected("SORVANE_DATA_DIR is \"" + *folder + "\"; it must be a folder holding offline-season/");
        settings.dataDirectory = *folder;
    } else {
        settings.dataDirectory = defaultDataDirectory();
    }
    if (auto now = variable("SORVANE_NOW")) {
        settings.now = instantFromISO8601(*now);
        if (!settings.now) return std::unexpected("SORVANE_NOW is \"" + *now + "\"; it must read like 2023-04-30T11:20:00Z");
    }
    if (auto speed = variable("SORVANE_REPLAY_SPEED")) {
        char* end = nullptr;
        settings.replaySpeed = std::strtod(speed->c_str(), &end);
        if (end != speed->c_str() + speed->size() || !std::isfinite(settings.replaySpeed) || settings.replaySpeed <= 0)
            return std::unexpected("SORVANE_REPLAY_SPEED is \"" + *speed + "\"; it must be a number above 0");
    }
    return settings;
}

std::expected<OfflineSeason, std::string> OfflineSeason::start(const OfflineSettings& settings, const ServiceHosts& hosts,
                                                               std::shared_ptr<net::ProtocolRegistry> registry) {
    OfflineSeason season;
    season.registry_ = std::move(registry);
    if (settings.live) {
        foundation::Clock::setCurrent(nullptr);
        season.startedAt_ = foundation::Date::now();
        return season;
    }
    const fs::path root = settings.dataDirectory / "offline-season";
    auto now = settings.now;
    if (!now) {
        auto text = readText(root / "now.txt");
        if (!text) return std::unexpected("cannot read " + (root / "now.txt").string());
        now = instantFromISO8601(trimmed(*text));
        if (!now) return std::unexpected((root / "now.txt").string() + " holds no ISO 8601 UTC instant");
    }
    auto replays = replaysIn(root / "replay.tsv", season.warnings_);
    std::vector<std::string> replayedSessions;
    for (const auto& replay : replays) replayedSessions.push_back(replay.sessionFolder);

    auto listed = listedFiles(root, season.warnings_);
    // The results folder's listed files, relative to it: a round's standings the folder lost are damage.
    auto inResults = std::make_shared<std::set<std::string>>();
    if (listed)
        for (const auto& file : *listed)
            if (file.starts_with("results-api/")) inResults->insert(file.substr(std::string_view("results-api/").size()));

    // Every protocol is made before any is registered. A folder that cannot serve turns off only its
    // own service.
    std::vector<std::pair<std::string, net::ProtocolHandler>> handlers;
    for (auto& [host, folder, service] : hostFolders(root, hosts, std::move(replays), settings.reportLateWarning)) {
        bool feed = folder.fallbackContentType == "application/rss+xml";
        // What a lost file is told from: the folder as the listing names it, and how paths map into it.
        auto lostFiles = [&, name = folder.root.lexically_relative(root).generic_string(), prefix = folder.pathPrefix,
                          indexNames = folder.indexFileNames](net::ProtocolHandler recorded) {
            return lostFilesAreDamage(std::move(recorded), prefix, indexNames, name, listed);
        };
        auto protocol = net::SnapshotProtocol::make(std::move(folder));
        if (!protocol) {
            season.warnings_.push_back(protocol.error() + ": " + service + " will not load");
            handlers.emplace_back(host, unavailable());
            continue;
        }
        for (const auto& warning : (*protocol)->warnings()) season.warnings_.push_back(warning);
        auto handler = lostFiles((*protocol)->handler());
        // What the services answer "as of now" follows the season's clock.
        if (host == hosts.resultsAPI) handler = resultsAsOfClock(std::move(handler), root / "results-api", inResults);
        else if (feed) handler = feedAsOfClock(std::move(handler));
        // The polls are the snapshot's own season's, whose calendar is the "current" one.
        else if (host == hosts.polls) handler = pollsAsOfClock(std::move(handler), root / "results-api" / "current.json");
        handlers.emplace_back(host, std::move(handler));
    }
    for (auto& [host, handler] : handlers) {
        season.registry_->registerHandler(host, std::move(handler));
        season.hosts_.push_back(host);
    }
    // Pictures too come only from the snapshot: one it lacks is never fetched from the network.
    auto images = remoteImageSettings();
    season.imagesGuardedBefore_ = images.inProcessOnly;
    season.guardsImages_ = true;
    images.inProcessOnly = season.registry_;
    setRemoteImageSettings(std::move(images));
    foundation::Clock::setCurrent(std::make_shared<foundation::OffsetClock>(*now, settings.replaySpeed));
    season.startedAt_ = *now;
    GlobalStruct::offlineSeasons() = calendarYears(root / "results-api");
    GlobalStruct::offlineReplayedSessions() = std::move(replayedSessions);
    return season;
}

std::expected<OfflineSeason, std::string> OfflineSeason::startFromEnvironment(
    std::function<void(const std::string&)> reportLateWarning) {
    auto settings = OfflineSettings::fromEnvironment();
    if (!settings) return std::unexpected(settings.error());
    settings->reportLateWarning = std::move(reportLateWarning);
    return start(*settings);
}

void OfflineSeason::stop() {
    for (const auto& host : hosts_) registry_->unregisterHandler(host);
    hosts_.clear();
    if (guardsImages_) {
        auto images = remoteImageSettings();
        images.inProcessOnly = std::exchange(imagesGuardedBefore_, nullptr);
        setRemoteImageSettings(std::move(images));
        guardsImages_ = false;
    }
    foundation::Clock::setCurrent(nullptr);
    GlobalStruct::offlineSeasons().reset();
}
