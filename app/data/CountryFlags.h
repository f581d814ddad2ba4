#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"

// The country-flag list compiled into the app: 263 entries of flag address, country name and code.
class CountryFlagsJSON {
public:
    static const CountryFlagsJSON& shared();

    std::string_view countryFlagsJSON;
};

// True for a text that parses as a URL with an http(s) scheme and a host.
bool isAbsoluteWebAddress(std::string_view text);

// "flag" must read as an absolute address; anything else fails the document.
struct FlagAddressCoder {
    static std::string decode(const foundation::DecodingValue& value);
    static const std::string& encode(const std::string& flag) { return flag; }
};

struct CountryFlagsModel {
    std::string flag;
    std::string country;
    std::optional<std::string> code;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("flag", &CountryFlagsModel::flag, FlagAddressCoder{}),
        foundation::field("country", &CountryFlagsModel::country),
        foundation::optionalField("code", &CountryFlagsModel::code),
    };
};

// The first entry whose country equals the given one after full Unicode lower-casing of both;
// nothing else is forgiven (no trimming, no other spellings).
const CountryFlagsModel* flagForCountry(const std::vector<CountryFlagsModel>& flags, std::string_view country);

// The address to request for an entry's picture: the list names one host, the flag images' host
// setting says where the pictures live. Scheme, path and query stay the entry's.
std::string flagImageAddress(const CountryFlagsModel& entry, std::string_view host);
