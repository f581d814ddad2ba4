#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Date.h"
#include "net/ProtocolRegistry.h"

namespace net {

// A session of the folder whose live-timing topics are replayed from their ".jsonStream" files.
struct StreamReplaySetting {
    std::string sessionFolder;        // relative to the protocol's root, ending in "/"
    foundation::Date streamOrigin;    // the instant at which the streams' elapsed time is zero
};

struct SnapshotFolder {
    std::filesystem::path root;
    // The part of the URL path that the folder stands for: "/api/f1/" maps "/api/f1/2023.json" to
    // root/2023.json. Paths outside it are not recorded.
    std::string pathPrefix = "/";
    // Served for a path that ends in "/", the first that exists.
    std::vector<std::string> indexFileNames = {"index.json", "index.xml"};
    // For files whose extension names no type (a feed at "/rss").
    std::string fallbackContentType = "application/octet-stream";
    std::vector<StreamReplaySetting> replays;
    // Told, on the thread of the request, what is found wrong with a stream when its topic is first
    // asked for, or with a file too large to answer when first asked for (warnings() lists it too).
    std::function<void(const std::string&)> reportWarning;
};

// Answers one host from a folder tree, as a static web server would: GET (and HEAD) of a recorded
// file is 200 with its bytes, anything unrecorded 404, other methods 405; a file larger than a transfer
// may gather is 503, never read. Topics of a replayed
// session are answered with the state folded up to the current clock's moment; a topic whose stream
// is unreadable answers 503, never its recorded final state.
class SnapshotProtocol {
public:
    // Fails when the root is no folder. Only the replayed sessions' folders are listed here: each stream
    // is parsed on the first request for its topic, so starting costs no parsing. What is wrong with
    // them (a session folder missing or outside the folder here; unreadable, too large, cut short or
    // lines skipped when read) does not fail the folder but is listed in warnings().
    static std::expected<std::shared_ptr<SnapshotProtocol>, std::string> make(SnapshotFolder folder);

    // What was found so far.
    std::vector<std::string> warnings() const;

    std::expected<ProtocolAnswer, URLError> answer(const Request& request) const;
    // A handler for the registry; it keeps the protocol alive.
    ProtocolHandler handler() const;

    struct State;
    explicit SnapshotProtocol(std::shared_ptr<State> state) : state_(std::move(state)) {}

private:
    std::shared_ptr<State> state_;
};

enum class SnapshotReadFault { unreadable, forbidden, tooLarge };
// A snapshot file's bytes: only read when no larger than a transfer may gather (the default
// SessionConfiguration's maximumGatheredLength, 64 MiB), as the protocol answers with it whole.
std::expected<std::string, SnapshotReadFault> readSnapshotFile(const std::filesystem::path& file);

// A small HTML page for an error status, as a web server answers (a HEAD gets the head only).
ProtocolAnswer statusPage(const Request& request, int status, HTTPHeaders headers = {});

// The type a file is served with, by its extension; empty when the extension names none.
std::string contentTypeForExtension(std::string_view extension);

}  // namespace net
