#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// The feed sends "New" as the text "true" or "false" (a JSON Boolean fails the document). It is
// written back the same way, so an encoded stint decodes again.
struct NewTyresText {
    static bool decode(const foundation::DecodingValue& value) { return value.decode<std::string>() == "true"; }
    static std::string encode(bool isNew) { return isNew ? "true" : "false"; }
};

struct StintModel {
    std::string compound;
    bool isNew = false;
    std::string tyresNotChanged;  // also text in the feed, kept as sent
    std::int64_t totalLaps = 0;
    std::int64_t startLaps = 0;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Compound", &StintModel::compound),
        foundation::field("New", &StintModel::isNew, NewTyresText{}),
        foundation::field("TyresNotChanged", &StintModel::tyresNotChanged),
        foundation::field("TotalLaps", &StintModel::totalLaps),
        foundation::field("StartLaps", &StintModel::startLaps),
    };
};

// "TyreStintSeries.json": each car's stints, keyed by racing number.
struct TyresModel {
    std::map<std::string, std::vector<StintModel>> stints;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Stints", &TyresModel::stints),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
