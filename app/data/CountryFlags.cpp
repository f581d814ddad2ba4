#include "data/CountryFlags.h"

#include "data/EmbeddedDocuments.h"
#include "foundation/Strings.h"
#include "foundation/URL.h"

const CountryFlagsJSON& CountryFlagsJSON::shared() {
    static const CountryFlagsJSON instance{embedded::countryFlagsJSON};
    return instance;
}

bool isAbsoluteWebAddress(std::string_view text) {
    auto url = foundation::URL::fromString(text);
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) return false;
    return *url->scheme() == "https" || *url->scheme() == "http";
}

std::string FlagAddressCoder::decode(const foundation::DecodingValue& value) {
    auto text = value.decode<std::string>();
    if (!isAbsoluteWebAddress(text)) value.fail("Invalid URL string.");
    return text;
}

const CountryFlagsModel* flagForCountry(const std::vector<CountryFlagsModel>& flags, std::string_view country) {
    std::string wanted = foundation::lowercased(country);
    for (const auto& entry : flags) {
        if (foundation::lowercased(entry.country) == wanted) return &entry;
    }
    return nullptr;
}

std::string flagImageAddress(const CountryFlagsModel& entry, std::string_view host) {
    auto url = foundation::URL::fromString(entry.flag);
    if (!url || !url->scheme() || host.empty()) return entry.flag;
    std::string address = *url->scheme() + "://" + std::string(host) + url->percentEncodedPath();
    if (url->query()) address += "?" + *url->query();
    return address;
}
