#include "data/Client.h"
#include "data/Decoding.h"

#include "foundation/Print.h"
#include "foundation/URL.h"
#include "net/Session.h"

Client& Client::shared() {
    static Client client;
    return client;
}

dispatch::Task<foundation::Data> Client::run(std::string text) const {
    auto url = foundation::URL::fromString(text);
    if (!url) co_return foundation::Data{};
    auto session = session_ ? session_ : net::Session::shared();
    auto result = co_await session->data(std::move(*url));
    if (!result) co_return foundation::Data{};
    co_return std::move(result->first);
}

std::string Loaded::failureDescription() const {
    if (!failure) return {};
    std::string status = failure->status ? std::to_string(failure->status) + " " : std::string();
    return address + ": " + status + failure->reason;
}

namespace {

Loaded failed(std::string address, int status, std::string reason) {
    Loaded loaded(foundation::Data{}, std::move(address), LoadFailure{status, std::move(reason)});
    foundation::print("Could not load " + loaded.failureDescription());
    return loaded;
}

}  // namespace

dispatch::Task<Loaded> Client::load(std::string text) const {
    auto url = foundation::URL::fromString(text);
    if (!url) co_return failed(std::move(text), 0, "not a readable address");
    auto session = session_ ? session_ : net::Session::shared();
    auto result = co_await session->data(std::move(*url));
    if (!result) co_return failed(std::move(text), 0, result.error().description());
    const int status = result->second.statusCode;
    // An in-process answer without a status is not HTTP: there is nothing to check but the body.
    if (status != 0 && (status < 200 || status > 299)) co_return failed(std::move(text), status, net::statusText(status));
    if (result->first.empty())
        co_return failed(std::move(text), status, (status ? net::statusText(status) + ", but " : std::string()) + "the body is empty");
    co_return Loaded(std::move(result->first), std::move(text));
}

std::atomic<int>& documentsBeingDecoded() {
    static std::atomic<int> count = 0;
    return count;
}

void printDecodingError(const std::string& address, const foundation::DecodingError& error) {
    foundation::print("Error decoding result: " + (address.empty() ? std::string() : address + ": ") + error.description());
}

DroppedEntriesReport::~DroppedEntriesReport() {
    std::size_t dropped = foundation::droppedInvalidItems() - before_;
    if (dropped == 0) return;
    foundation::print("Left out " + std::to_string(dropped) + " unreadable entr" + (dropped == 1 ? "y" : "ies") + " of " +
                      (address_.empty() ? std::string("a document") : address_));
}
