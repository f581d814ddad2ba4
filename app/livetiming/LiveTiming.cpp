#include "livetiming/LiveTiming.h"

#include <cctype>
#include <optional>

#include "data/Client.h"
#include "data/ServiceHosts.h"
#include "foundation/CharacterSet.h"
#include "foundation/PercentEncoding.h"

namespace {

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool isWellFormedEscape(std::string_view text, std::size_t at) {
    return at + 2 < text.size() && text[at] == '%' && isHexDigit(text[at + 1]) && isHexDigit(text[at + 2]);
}

// "scheme:" at the start, as in "https://..." or "file:...": a text that names its own place.
bool startsWithScheme(std::string_view text) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    return text.substr(0, colon).find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") == std::string_view::npos;
}

// A feed-supplied relative path made fit for an address under the static base, or nothing when it
// would reach outside it. The feed's folders may already be percent-escaped ("S%C3%A3o") or hold
// ':': well-formed escapes are kept as they are and only what an address cannot hold is escaped.
// Slashes are kept as they come: a clip path that starts with "/" still gives two slashes after
// the session folder, as the feed's own clients do.
std::optional<std::string> relativePath(std::string_view text) {
    if (text.find('\\') != std::string_view::npos || startsWithScheme(text)) return std::nullopt;
    std::string escaped;
    const auto& allowed = foundation::CharacterSet::urlPathAllowed();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view segment = text.substr(start, end - start);
        // An escaped segment is judged by what it stands for: "%2e%2e" is "..", "%2f" a separator.
        std::string plain;
        std::size_t from = 0;
        for (std::size_t at = 0; at < segment.size(); ++at) {
            if (!isWellFormedEscape(segment, at)) continue;
            escaped += foundation::addingPercentEncoding(segment.substr(from, at - from), allowed);
            escaped += segment.substr(at, 3);
            plain += segment.substr(from, at - from);
            plain += static_cast<char>(std::stoi(std::string(segment.substr(at + 1, 2)), nullptr, 16));
            from = at + 3;
            at += 2;
        }
        escaped += foundation::addingPercentEncoding(segment.substr(from), allowed);
        plain += segment.substr(from);
        if (plain == ".." || plain == "." || plain.find_first_of("/\\") != std::string::npos) return std::nullopt;
        if (end < text.size()) escaped += '/';
        start = end + 1;
    }
    return escaped;
}

std::string underStaticBase(std::string_view first, std::string_view second) {
    auto safeFirst = relativePath(first);
    auto safeSecond = relativePath(second);
    if (!safeFirst || !safeSecond) return {};
    return LiveTiming::staticBase() + *safeFirst + *safeSecond;
}

dispatch::Task<Loaded> read(std::string url) { co_return co_await Client::shared().load(std::move(url)); }

}  // namespace

std::string LiveTiming::staticBase() { return "https://" + ServiceHosts::current().liveTiming + "/static/"; }

std::string LiveTiming::seasonIndexURL(std::string_view year) { return underStaticBase(year, "/Index.json"); }

std::string LiveTiming::sessionFileURL(std::string_view sessionPath, std::string_view fileName) {
    return underStaticBase(sessionPath, fileName);
}

std::string LiveTiming::teamRadioClipURL(std::string_view sessionPath, std::string_view clipPath) {
    return underStaticBase(sessionPath, clipPath);
}

std::string LiveTiming::pollsURL() { return "https://" + ServiceHosts::current().polls + "/v1/polls/"; }

dispatch::Task<Loaded> LiveTiming::all(std::string year) { return read(seasonIndexURL(year)); }

dispatch::Task<Loaded> LiveTiming::driverOfTheDay() { return read(pollsURL()); }

dispatch::Task<Loaded> LiveTiming::driverList(std::string path) {
    return read(sessionFileURL(path, "DriverList.json"));
}
dispatch::Task<Loaded> LiveTiming::teamRadio(std::string path) {
    return read(sessionFileURL(path, "TeamRadio.json"));
}
dispatch::Task<Loaded> LiveTiming::weatherData(std::string path) {
    return read(sessionFileURL(path, "WeatherData.json"));
}
dispatch::Task<Loaded> LiveTiming::timingData(std::string path) {
    return read(sessionFileURL(path, "TimingData.json"));
}
dispatch::Task<Loaded> LiveTiming::topThree(std::string path) {
    return read(sessionFileURL(path, "TopThree.json"));
}
dispatch::Task<Loaded> LiveTiming::championshipPrediction(std::string path) {
    return read(sessionFileURL(path, "ChampionshipPrediction.json"));
}
dispatch::Task<Loaded> LiveTiming::raceControlMessages(std::string path) {
    return read(sessionFileURL(path, "RaceControlMessages.json"));
}
dispatch::Task<Loaded> LiveTiming::tyreStintSeries(std::string path) {
    return read(sessionFileURL(path, "TyreStintSeries.json"));
}
dispatch::Task<Loaded> LiveTiming::sessionData(std::string path) {
    return read(sessionFileURL(path, "SessionData.json"));
}
dispatch::Task<Loaded> LiveTiming::sessionStatus(std::string path) {
    return read(sessionFileURL(path, "SessionStatus.json"));
}
dispatch::Task<Loaded> LiveTiming::driverRaceInfo(std::string path) {
    return read(sessionFileURL(path, "DriverRaceInfo.json"));
}
dispatch::Task<Loaded> LiveTiming::lapSeries(std::string path) {
    return read(sessionFileURL(path, "LapSeries.json"));
}
dispatch::Task<Loaded> LiveTiming::lapCount(std::string path) {
    return read(sessionFileURL(path, "LapCount.json"));
}
dispatch::Task<Loaded> LiveTiming::currentTyres(std::string path) {
    return read(sessionFileURL(path, "CurrentTyres.json"));
}
dispatch::Task<Loaded> LiveTiming::weatherDataSeries(std::string path) {
    return read(sessionFileURL(path, "WeatherDataSeries.json"));
}
dispatch::Task<Loaded> LiveTiming::TlaRcm(std::string path) {
    return read(sessionFileURL(path, "TlaRcm.json"));
}
dispatch::Task<Loaded> LiveTiming::audioStreams(std::string path) {
    return read(sessionFileURL(path, "AudioStreams.json"));
}
dispatch::Task<Loaded> LiveTiming::heartbeat(std::string path) {
    return read(sessionFileURL(path, "Heartbeat.json"));
}
dispatch::Task<Loaded> LiveTiming::extrapolatedClock(std::string path) {
    return read(sessionFileURL(path, "ExtrapolatedClock.json"));
}
dispatch::Task<Loaded> LiveTiming::timingStats(std::string path) {
    return read(sessionFileURL(path, "TimingStats.json"));
}
dispatch::Task<Loaded> LiveTiming::timingAppData(std::string path) {
    return read(sessionFileURL(path, "TimingAppData.json"));
}
dispatch::Task<Loaded> LiveTiming::SPFeed(std::string path) {
    return read(sessionFileURL(path, "SPFeed.json"));
}
dispatch::Task<Loaded> LiveTiming::driverScore(std::string path) {
    return read(sessionFileURL(path, "DriverScore.json"));
}
dispatch::Task<Loaded> LiveTiming::pitLaneTimeCollection(std::string path) {
    return read(sessionFileURL(path, "PitLaneTimeCollection.json"));
}
