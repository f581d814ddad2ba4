#pragma once

#include <optional>
#include <string>
#include <utility>

#include "data/Client.h"
#include "foundation/JSONDecoder.h"

// One line on the console for a document that arrived but does not decode, naming where it came from:
// "Error decoding result: <address>: <error>" (no address for a document compiled into the app).
void printDecodingError(const std::string& address, const foundation::DecodingError& error);

// Decodes a loaded document whole. A failed load was logged by the client and is not decoded at all;
// a body that does not decode prints one line. Either way the caller gets nothing and keeps its state.
template <class Model>
std::optional<Model> decodeLoaded(const Loaded& loaded) {
    if (loaded.failure) return std::nullopt;
    auto decoded = foundation::JSONDecoder().decode<Model>(loaded);
    if (!decoded) {
        printDecodingError(loaded.address, decoded.error());
        return std::nullopt;
    }
    return std::move(*decoded);
}

// The same for a keyed list whose malformed entries are dropped rather than failing the list.
template <class Container>
std::optional<Container> decodeLoadedValidItems(const Loaded& loaded) {
    if (loaded.failure) return std::nullopt;
    auto decoded = foundation::JSONDecoder().decodeValidItems<Container>(loaded);
    if (!decoded) {
        printDecodingError(loaded.address, decoded.error());
        return std::nullopt;
    }
    return std::move(*decoded);
}
