#include "net/SnapshotProtocol.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "foundation/Clock.h"
#include "foundation/PercentEncoding.h"
#include "livefeed/StreamFold.h"
#include "net/Session.h"

namespace net {

namespace fs = std::filesystem;

namespace {

// A replayed topic's stream, read and parsed when the topic is first asked for.
struct ReplayedTopic {
    fs::path file;
    std::string session;
    foundation::Date origin;
    bool parsed = false;
    // Empty once parsed when the stream cannot be read or holds no update.
    std::optional<livefeed::StreamReplay> replay;
    std::chrono::milliseconds firstUpdate{0};
    std::chrono::milliseconds lastUpdate{0};
    bool cutShort = false;
    bool cutShortReported = false;
};

// Files are answered from memory whole, so one larger than a transfer may gather is refused unread.
const std::uintmax_t largestFile = std::uintmax_t(SessionConfiguration{}.maximumGatheredLength);

std::string tooLargeText(const fs::path& file) {
    return file.string() + " is larger than the " + std::to_string(largestFile >> 20) + " MiB an answer may carry";
}

// The segments of a relative path, empty ones dropped (as servers merge repeated slashes); nothing when
// a segment would climb or could not name a file.
std::optional<std::vector<std::string>> safeSegments(std::string_view path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = std::min(path.find('/', start), path.size());
        std::string_view segment = path.substr(start, end - start);
        if (segment == "." || segment == ".." || segment.find('\0') != std::string_view::npos) return std::nullopt;
        if (!segment.empty()) segments.emplace_back(segment);
        start = end + 1;
    }
    return segments;
}

std::string joined(const std::vector<std::string>& segments) {
    std::string path;
    for (const auto& segment : segments) path += (path.empty() ? "" : "/") + segment;
    return path;
}

bool isInside(const fs::path& path, const fs::path& root) {
    auto [rootEnd, pathAt] = std::ranges::mismatch(root, path);
    return rootEnd == root.end();
}

// "laps.json" with "limit=1200" is recorded as "laps.limit=1200.json".
std::string withQueryFolded(const std::string& name, const std::string& query) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + "." + query;
    return name.substr(0, dot) + "." + query + name.substr(dot);
}

}  // namespace

std::expected<std::string, SnapshotReadFault> readSnapshotFile(const fs::path& path) {
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::unexpected(errno == EACCES ? SnapshotReadFault::forbidden : SnapshotReadFault::unreadable);
    std::error_code error;
    std::uintmax_t size = fs::file_size(path, error);
    if (!error && size > largestFile) return std::unexpected(SnapshotReadFault::tooLarge);
    std::string bytes;
    if (!error) bytes.reserve(size);
    // The file may grow while it is read: never more than the limit is held.
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        if (bytes.size() + std::size_t(file.gcount()) > largestFile) return std::unexpected(SnapshotReadFault::tooLarge);
        bytes.append(buffer, std::size_t(file.gcount()));
    }
    if (file.bad()) return std::unexpected(SnapshotReadFault::unreadable);
    return bytes;
}

struct SnapshotProtocol::State {
    SnapshotFolder folder;
    fs::path canonicalRoot;
    // Guards the topics and the warnings: streams are parsed on the first request for their topic.
    mutable std::mutex replayMutex;
    mutable std::map<std::string, ReplayedTopic, std::less<>> topics;  // by "<session>/<Topic>.json"
    mutable std::vector<std::string> warnings;
    // Files already reported too large, so a client asking again does not repeat the warning.
    mutable std::set<fs::path> toldTooLarge;
};

std::string contentTypeForExtension(std::string_view extension) {
    // Never destroyed: answers are made on the network thread, which may outlive exit().
    static const auto& types = *new std::map<std::string, std::string, std::less<>>{
        {"json", "application/json"}, {"jsonStream", "application/json"}, {"xml", "application/xml"},
        {"rss", "application/rss+xml"}, {"svg", "image/svg+xml"},        {"png", "image/png"},
        {"jpg", "image/jpeg"},          {"jpeg", "image/jpeg"},          {"webp", "image/webp"},
        {"gif", "image/gif"},           {"mp3", "audio/mpeg"},           {"txt", "text/plain"},
        {"tsv", "text/tab-separated-values"}, {"html", "text/html"}};
    auto found = types.find(extension);
    return found == types.end() ? std::string{} : found->second;
}

namespace {

ProtocolAnswer answerWith(const Request& request, int status, HTTPHeaders headers, std::string body) {
    headers.set("Content-Length", std::to_string(body.size()));
    if (request.method == "HEAD") body.clear();
    return {Response::make(request.url, status, std::move(headers)), foundation::Data::fromString(body)};
}

}  // namespace

ProtocolAnswer statusPage(const Request& request, int status, HTTPHeaders headers) {
    headers.set("Content-Type", "text/html; charset=utf-8");
    const std::string title = statusText(status);
    std::string body = "<html><head><title>" + std::to_string(status) + " " + title + "</title></head><body><h1>" +
                       title + "</h1></body></html>\n";
    return answerWith(request, status, std::move(headers), std::move(body));
}

namespace {

ProtocolAnswer notFound(const Request& request) { return statusPage(request, 404); }

std::string contentTypeOf(const fs::path& file, const SnapshotFolder& folder) {
    std::string extension = file.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    std::string type = contentTypeForExtension(extension);
    if (type.empty()) return folder.fallbackContentType;
    if (type == "application/json" || type.starts_with("text/") || type.ends_with("xml")) type += "; charset=utf-8";
    return type;
}

std::string elapsedText(std::chrono::milliseconds elapsed) {
    auto seconds = elapsed.count() / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

// Reads and parses one stream. One that cannot be read or holds no update leaves its topic without a
// replay; one with skipped lines or cut short still replays. Each finding joins `found`.
void parseTopic(ReplayedTopic& topic, std::vector<std::string>& found) {
    topic.parsed = true;
    const std::string file = topic.file.string();
    auto text = readSnapshotFile(topic.file);
    if (!text) {
        found.push_back(text.error() == SnapshotReadFault::tooLarge ? tooLargeText(topic.file) + ": its topic is not replayed"
                                                            : "cannot read " + file + ": its topic is not replayed");
        return;
    }
    auto stream = livefeed::parseStream(*text);
    if (stream.skippedLines > 0)
        found.push_back(file + ": " + std::to_string(stream.skippedLines) + " unreadable line" +
                        (stream.skippedLines == 1 ? "" : "s") + " skipped");
    if (stream.updates.empty()) {
        found.push_back(file + " holds no update: its topic is not replayed");
        return;
    }
    topic.firstUpdate = stream.updates.front().elapsed;
    topic.lastUpdate = stream.updates.back().elapsed;
    // A file cut off mid-write ends without its line end.
    topic.cutShort = text->back() != '\n';
    topic.replay.emplace(std::move(stream));
}

// Where a cut stream stops is told against the session's longest stream, so the session's other
// streams are parsed too (they are kept for their own requests).
void reportCutShort(const SnapshotProtocol::State& state, ReplayedTopic& topic, std::vector<std::string>& found) {
    topic.cutShortReported = true;
    std::chrono::milliseconds sessionEnd{0};
    for (auto& [key, sibling] : state.topics) {
        if (sibling.session != topic.session) continue;
        if (!sibling.parsed) parseTopic(sibling, found);
        if (sibling.replay) sessionEnd = std::max(sessionEnd, sibling.lastUpdate);
    }
    found.push_back(topic.file.string() + " is cut short: it stops at " + elapsedText(topic.lastUpdate) + " of " +
                    elapsedText(sessionEnd) + " and is not replayed past it");
}

enum class Replayed { no, unusable };

// The keyframe of a replayed topic at the clock's moment; no when the path is not a replayed topic,
// unusable when its stream is: its recorded file is the session's final state, which must not pass
// for the moment being replayed.
std::expected<std::string, Replayed> replayedKeyframe(const SnapshotProtocol::State& state, const std::string& relative) {
    std::vector<std::string> found;
    std::expected<std::string, Replayed> keyframe = std::unexpected(Replayed::no);
    {
        std::lock_guard lock(state.replayMutex);
        auto entry = state.topics.find(relative);
        if (entry == state.topics.end()) return keyframe;
        auto& topic = entry->second;
        if (!topic.parsed) parseTopic(topic, found);
        if (topic.cutShort && !topic.cutShortReported) reportCutShort(state, topic, found);
        state.warnings.insert(state.warnings.end(), found.begin(), found.end());
        if (!topic.replay) {
            keyframe = std::unexpected(Replayed::unusable);
        } else {
            double seconds = foundation::Clock::current()->now().timeIntervalSince(topic.origin);
            // Before the first update the session already has its opening state, as the static tree would.
            auto elapsed = std::max(std::chrono::milliseconds(std::llround(seconds * 1000)), topic.firstUpdate);
            // Past where a cut stream stops nothing is known: its last state must not pass for now.
            if (topic.cutShort && elapsed > topic.lastUpdate) keyframe = std::unexpected(Replayed::unusable);
            else keyframe = livefeed::keyframeText(topic.replay->stateAt(elapsed));
        }
    }
    if (state.folder.reportWarning)
        for (const auto& warning : found) state.folder.reportWarning(warning);
    return keyframe;
}

void reportTooLarge(const SnapshotProtocol::State& state, const fs::path& file) {
    {
        std::lock_guard lock(state.replayMutex);
        if (!state.toldTooLarge.insert(file).second) return;
        state.warnings.push_back(tooLargeText(file) + ": it is answered 503");
    }
    if (state.folder.reportWarning) state.folder.reportWarning(tooLargeText(file) + ": it is answered 503");
}

std::expected<ProtocolAnswer, URLError> answerFrom(const SnapshotProtocol::State& state, const Request& request) {
    if (!request.url) return std::unexpected(URLError(URLError::badURL));
    if (request.method != "GET" && request.method != "HEAD")
        return statusPage(request, 405, {{"Allow", "GET, HEAD"}});

    const std::string& encodedPath = request.url->percentEncodedPath();
    const std::string& prefix = state.folder.pathPrefix;
    if (!encodedPath.starts_with(prefix)) return notFound(request);
    std::string_view rest = std::string_view(encodedPath).substr(prefix.size());
    bool wantsFolder = rest.empty() || rest.ends_with('/');
    auto decoded = foundation::removingPercentEncoding(rest);
    if (!decoded) return statusPage(request, 400);
    auto segments = safeSegments(*decoded);
    if (!segments) return notFound(request);

    const auto& query = request.url->query();
    if (query && !query->empty() && !wantsFolder && !segments->empty()) {
        if (query->find('/') != std::string::npos) return notFound(request);
        segments->back() = withQueryFolded(segments->back(), *query);
    }

    std::string relative = joined(*segments);
    auto keyframe = replayedKeyframe(state, relative);
    if (keyframe)
        return answerWith(request, 200, {{"Content-Type", "application/json; charset=utf-8"}}, std::move(*keyframe));
    if (keyframe.error() == Replayed::unusable) return statusPage(request, 503);

    std::error_code error;
    fs::path target = fs::canonical(state.canonicalRoot / relative, error);
    if (error || !isInside(target, state.canonicalRoot)) return notFound(request);
    if (fs::is_directory(target, error)) {
        if (!wantsFolder) {
            // A folder named without its slash: servers send the client to the folder's address.
            return statusPage(request, 301, {{"Location", encodedPath + "/"}});
        }
        auto index = std::ranges::find_if(state.folder.indexFileNames,
                                          [&](const std::string& name) { return fs::is_regular_file(target / name, error); });
        if (index == state.folder.indexFileNames.end()) return notFound(request);
        target = fs::canonical(target / *index, error);
        if (error || !isInside(target, state.canonicalRoot)) return notFound(request);
    } else if (wantsFolder) {
        return notFound(request);
    }
    if (!fs::is_regular_file(target, error)) return notFound(request);
    auto bytes = readSnapshotFile(target);
    // A file the server may not read is forbidden, as a web server says; one too large to answer is a
    // service that cannot serve it; any other failure is its own.
    if (!bytes && bytes.error() == SnapshotReadFault::tooLarge) {
        reportTooLarge(state, target);
        return statusPage(request, 503);
    }
    if (!bytes) return statusPage(request, bytes.error() == SnapshotReadFault::forbidden ? 403 : 500);
    return answerWith(request, 200, {{"Content-Type", contentTypeOf(target, state.folder)}}, std::move(*bytes));
}

// Lists the streams of one replayed session; each is read when its topic is first asked for.
void listReplayedSession(SnapshotProtocol::State& state, const std::string& session, const fs::path& sessionPath,
                         foundation::Date origin) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sessionPath, error)) {
        if (entry.path().extension() != ".jsonStream" || !entry.is_regular_file()) continue;
        if (!isInside(fs::canonical(entry.path(), error), state.canonicalRoot)) continue;
        ReplayedTopic topic;
        topic.file = entry.path();
        topic.session = session;
        topic.origin = origin;
        state.topics.insert_or_assign(session + "/" + entry.path().stem().string() + ".json", std::move(topic));
    }
    if (error) state.warnings.push_back("cannot list " + sessionPath.string() + ": " + error.message());
}

}  // namespace

std::vector<std::string> SnapshotProtocol::warnings() const {
    std::lock_guard lock(state_->replayMutex);
    return state_->warnings;
}

std::expected<std::shared_ptr<SnapshotProtocol>, std::string> SnapshotProtocol::make(SnapshotFolder folder) {
    auto state = std::make_shared<State>();
    std::error_code error;
    state->canonicalRoot = fs::canonical(folder.root, error);
    if (error || !fs::is_directory(state->canonicalRoot))
        return std::unexpected("snapshot folder " + folder.root.string() + " is not a readable folder");
    if (folder.pathPrefix.empty() || folder.pathPrefix.front() != '/') folder.pathPrefix.insert(0, "/");
    if (folder.pathPrefix.back() != '/') folder.pathPrefix += '/';

    for (const auto& setting : folder.replays) {
        // A line naming a folder outside is left out by itself: the other sessions still replay.
        auto segments = setting.sessionFolder.starts_with('/') ? std::nullopt : safeSegments(setting.sessionFolder);
        if (!segments) {
            state->warnings.push_back("replayed session " + setting.sessionFolder + " leaves the folder: left out");
            continue;
        }
        std::string session = joined(*segments);
        fs::path sessionPath = state->canonicalRoot / session;
        if (!fs::is_directory(sessionPath, error)) {
            state->warnings.push_back("replayed session " + setting.sessionFolder + " is not in " + folder.root.string());
            continue;
        }
        listReplayedSession(*state, session, sessionPath, setting.streamOrigin);
    }
    state->folder = std::move(folder);
    return std::make_shared<SnapshotProtocol>(std::move(state));
}

std::expected<ProtocolAnswer, URLError> SnapshotProtocol::answer(const Request& request) const {
    return answerFrom(*state_, request);
}

ProtocolHandler SnapshotProtocol::handler() const {
    return [state = state_](const Request& request) { return answerFrom(*state, request); };
}

}  // namespace net
