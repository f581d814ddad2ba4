#pragma once

#include <optional>
#include <string>
#include <utility>

#include "data/Client.h"
#include "foundation/JSONDecoder.h"

// One line on the console for a document that arrived but does not decode, naming where it came from:
// "Error decoding result: <address>: <error>" (no address for a document compiled into the app).
void printDecodingError(const std::string& address, const foundation::DecodingError& error);

// Reports, once it goes, the entries that lenient lists left out while it lived: one line naming the
// address ("Left out 2 unreadable entries of <address>").
class DroppedEntriesReport {
public:
    explicit DroppedEntriesReport(const std::string& address)
        : address_(address), before_(foundation::droppedInvalidItems()) {}
    ~DroppedEntriesReport();
    DroppedEntriesReport(const DroppedEntriesReport&) = delete;
    DroppedEntriesReport& operator=(const DroppedEntriesReport&) = delete;

private:
    const std::string& address_;
    std::size_t before_;
};

// Runs `decode` on a loaded document's body. A failed load was logged by the client and is not decoded
// at all; a body that does not decode prints one line. Either way the caller gets nothing and keeps
// its state.
template <class Decode>
auto decodeReporting(const Loaded& loaded, Decode decode) -> std::optional<typename decltype(decode(loaded))::value_type> {
    if (loaded.failure) return std::nullopt;
    DroppedEntriesReport dropped(loaded.address);
    auto decoded = decode(loaded);
    if (!decoded) {
        printDecodingError(loaded.address, decoded.error());
        return std::nullopt;
    }
    return std::move(*decoded);
}

// Why a read left nothing to show: the load's failure, or a body that did not decode (status 0).
inline std::optional<LoadFailure> shownFailure(const Loaded& loaded, bool decoded) {
    if (decoded) return std::nullopt;
    return loaded.failure.value_or(LoadFailure{0, "unreadable"});
}

// A whole document by its model's strict rules.
template <class Model>
std::optional<Model> decodeLoaded(const Loaded& loaded) {
    return decodeReporting(loaded, [](const foundation::Data& body) { return foundation::JSONDecoder().decode<Model>(body); });
}

// A whole document by its model, noting in `failure` why there is none when there is none.
template <class Model>
std::optional<Model> decodeLoadedNoting(const Loaded& loaded, std::optional<LoadFailure>& failure) {
    auto model = decodeLoaded<Model>(loaded);
    failure = shownFailure(loaded, model.has_value());
    return model;
}

// A keyed list whose malformed entries are dropped rather than failing the list.
template <class Container>
std::optional<Container> decodeLoadedValidItems(const Loaded& loaded) {
    return decodeReporting(
        loaded, [](const foundation::Data& body) { return foundation::JSONDecoder().decodeValidItems<Container>(body); });
}
