#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// One recorded radio message; its clip lies at the session path followed directly by `path`.
struct Capture {
    std::string utc;
    std::string racingNumber;
    std::string path;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Utc", &Capture::utc),
        foundation::field("RacingNumber", &Capture::racingNumber),
        foundation::field("Path", &Capture::path),
    };
};

struct TeamRadioModel {
    std::vector<Capture> captures;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Captures", &TeamRadioModel::captures),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
