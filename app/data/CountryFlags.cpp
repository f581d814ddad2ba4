#include "data/CountryFlags.h"

#include "data/EmbeddedDocuments.h"
#include "data/TextMatching.h"

const CountryFlagsJSON& CountryFlagsJSON::shared() {
    static const CountryFlagsJSON instance{embedded::countryFlagsJSON};
    return instance;
}

bool isAbsoluteWebAddress(std::string_view text) {
    for (unsigned char character : text) {
        if (character <= 0x20 || character == 0x7f) return false;
    }
    std::string_view rest;
    if (text.starts_with("https://")) rest = text.substr(8);
    else if (text.starts_with("http://")) rest = text.substr(7);
    else return false;
    std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
    return !host.empty() && !host.starts_with(':');
}

std::string FlagAddressCoder::decode(const foundation::DecodingValue& value) {
    auto text = value.decode<std::string>();
    if (!isAbsoluteWebAddress(text)) value.fail("Invalid URL string.");
    return text;
}

const CountryFlagsModel* flagForCountry(const std::vector<CountryFlagsModel>& flags, std::string_view country) {
    std::string wanted = lowercasedText(country);
    for (const auto& entry : flags) {
        if (lowercasedText(entry.country) == wanted) return &entry;
    }
    return nullptr;
}
