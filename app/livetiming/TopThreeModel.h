#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// "TopThree.json": the three leading cars as the timing screens show them.
struct RaceResultLine {
    std::string position;
    bool showPosition = false;
    std::string racingNumber;
    std::string tla;
    std::string broadcastName;
    std::string fullName;
    std::string team;
    std::string teamColour;
    std::string lapTime;
    std::int64_t lapState = 0;
    std::string diffToAhead;
    std::string diffToLeader;
    bool overallFastest = false;
    bool personalFastest = false;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Position", &RaceResultLine::position),
        foundation::field("ShowPosition", &RaceResultLine::showPosition),
        foundation::field("RacingNumber", &RaceResultLine::racingNumber),
        foundation::field("Tla", &RaceResultLine::tla),
        foundation::field("BroadcastName", &RaceResultLine::broadcastName),
        foundation::field("FullName", &RaceResultLine::fullName),
        foundation::field("Team", &RaceResultLine::team),
        foundation::field("TeamColour", &RaceResultLine::teamColour),
        foundation::field("LapTime", &RaceResultLine::lapTime),
        foundation::field("LapState", &RaceResultLine::lapState),
        foundation::field("DiffToAhead", &RaceResultLine::diffToAhead),
        foundation::field("DiffToLeader", &RaceResultLine::diffToLeader),
        foundation::field("OverallFastest", &RaceResultLine::overallFastest),
        foundation::field("PersonalFastest", &RaceResultLine::personalFastest),
    };
};

struct TopThreeModel {
    bool withheld = false;
    std::vector<RaceResultLine> lines;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Withheld", &TopThreeModel::withheld),
        foundation::field("Lines", &TopThreeModel::lines),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
