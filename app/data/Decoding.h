#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "data/Client.h"
#include "dispatch/Task.h"
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

// Runs `decode` on a document's body here and now. A failed load was logged by the client and is not
// decoded at all; a body that does not decode prints one line. Either way the caller gets nothing and
// keeps its state. For the documents compiled into the app; a read's body goes through decodeLoaded.
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
inline std::optional<LoadFailure> shownFailure(const std::optional<LoadFailure>& loadFailure, bool decoded) {
    if (decoded) return std::nullopt;
    return loadFailure.value_or(LoadFailure{0, LoadFailure::undecodable});
}

template <class Model>
std::optional<Model> decodeNow(const Loaded& loaded) {
    return decodeReporting(loaded, [](const foundation::Data& body) { return foundation::JSONDecoder().decode<Model>(body); });
}

template <class Container>
std::optional<Container> decodeValidItemsNow(const Loaded& loaded) {
    return decodeReporting(
        loaded, [](const foundation::Data& body) { return foundation::JSONDecoder().decodeValidItems<Container>(body); });
}

// How many read documents are on the pool being decoded: what was read but has not reached its screen
// yet, for whoever waits until everything read is shown (a test before it looks).
std::atomic<int>& documentsBeingDecoded();

// A read's document is decoded on the pool, never on the caller's thread: whatever its size within the
// transfer cap, parsing it (or refusing it at a model's limits) holds up no screen, and the body and
// everything built from it are freed there too. The caller resumes on its own queue with the model
// alone, and applies it there.
template <class Result, class Decode>
dispatch::Task<std::optional<Result>> decodeOnPool(Loaded loaded, Decode decode) {
    if (loaded.failure) co_return std::nullopt;
    ++documentsBeingDecoded();
    std::optional<Result> result = co_await dispatch::onPool([&loaded, &decode] {
        const Loaded body = std::move(loaded);
        return decode(body);
    });
    // Back on the caller's queue, which applies the model before its turn ends.
    --documentsBeingDecoded();
    co_return result;
}

// A whole document by its model's strict rules.
template <class Model>
dispatch::Task<std::optional<Model>> decodeLoaded(Loaded loaded) {
    return decodeOnPool<Model>(std::move(loaded), &decodeNow<Model>);
}

// A whole document by its model, noting in `failure` why there is none when there is none.
template <class Model>
dispatch::Task<std::optional<Model>> decodeLoadedNoting(Loaded loaded, std::optional<LoadFailure>& failure) {
    std::optional<LoadFailure> loadFailure = loaded.failure;
    auto model = co_await decodeLoaded<Model>(std::move(loaded));
    failure = shownFailure(loadFailure, model.has_value());
    co_return model;
}

// A keyed list whose malformed entries are dropped rather than failing the list.
template <class Container>
dispatch::Task<std::optional<Container>> decodeLoadedValidItems(Loaded loaded) {
    return decodeOnPool<Container>(std::move(loaded), &decodeValidItemsNow<Container>);
}
