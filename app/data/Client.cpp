#include "data/Client.h"

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
