#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// "TimingData.json": every car's running order, gaps, sectors, speed traps and lap times. Like
// fields differ in what they require (see each model); times, gaps and speeds stay text.

struct IntervalToPositionAhead {
    std::optional<std::string> value;
    std::optional<bool> catching;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("Value", &IntervalToPositionAhead::value),
        foundation::optionalField("Catching", &IntervalToPositionAhead::catching),
    };
};

struct SegmentModel {
    std::optional<std::int64_t> status;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("Status", &SegmentModel::status),
    };
};

struct SectorModel {
    bool stopped = false;
    std::optional<std::string> previousValue;
    std::vector<SegmentModel> segments;
    std::string value;
    std::optional<std::int64_t> status;
    bool overallFastest = false;
    bool personalFastest = false;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Stopped", &SectorModel::stopped),
        foundation::optionalField("PreviousValue", &SectorModel::previousValue),
        foundation::field("Segments", &SectorModel::segments),
        foundation::field("Value", &SectorModel::value),
        foundation::optionalField("Status", &SectorModel::status),
        foundation::field("OverallFastest", &SectorModel::overallFastest),
        foundation::field("PersonalFastest", &SectorModel::personalFastest),
    };
};

struct SpeedModel {
    std::string value;
    std::int64_t status = 0;
    bool overallFastest = false;
    bool personalFastest = false;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Value", &SpeedModel::value),
        foundation::field("Status", &SpeedModel::status),
        foundation::field("OverallFastest", &SpeedModel::overallFastest),
        foundation::field("PersonalFastest", &SpeedModel::personalFastest),
    };
};

struct SpeedsModel {
    SpeedModel i1;
    SpeedModel i2;
    SpeedModel fl;
    SpeedModel st;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("I1", &SpeedsModel::i1),
        foundation::field("I2", &SpeedsModel::i2),
        foundation::field("FL", &SpeedsModel::fl),
        foundation::field("ST", &SpeedsModel::st),
    };
};

struct LapTimeModel {
    std::optional<std::string> value;
    std::optional<std::int64_t> lap;
    std::optional<bool> overallFastest;
    std::optional<bool> personalFastest;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("Value", &LapTimeModel::value),
        foundation::optionalField("Lap", &LapTimeModel::lap),
        foundation::optionalField("OverallFastest", &LapTimeModel::overallFastest),
        foundation::optionalField("PersonalFastest", &LapTimeModel::personalFastest),
    };
};

struct RaceLineModel {
    std::optional<std::string> gapToLeader;
    std::optional<IntervalToPositionAhead> intervalToPositionAhead;
    std::int64_t line = 0;
    std::string position;
    bool showPosition = false;
    std::string racingNumber;
    bool retired = false;
    bool inPit = false;
    bool pitOut = false;
    bool stopped = false;
    std::int64_t status = 0;
    std::optional<std::int64_t> numberOfLaps;
    std::optional<std::int64_t> numberOfPitStops;
    std::vector<SectorModel> sectors;
    SpeedsModel speeds;
    LapTimeModel bestLapTime;
    LapTimeModel lastLapTime;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("GapToLeader", &RaceLineModel::gapToLeader),
        foundation::optionalField("IntervalToPositionAhead", &RaceLineModel::intervalToPositionAhead),
        foundation::field("Line", &RaceLineModel::line),
        foundation::field("Position", &RaceLineModel::position),
        foundation::field("ShowPosition", &RaceLineModel::showPosition),
        foundation::field("RacingNumber", &RaceLineModel::racingNumber),
        foundation::field("Retired", &RaceLineModel::retired),
        foundation::field("InPit", &RaceLineModel::inPit),
        foundation::field("PitOut", &RaceLineModel::pitOut),
        foundation::field("Stopped", &RaceLineModel::stopped),
        foundation::field("Status", &RaceLineModel::status),
        foundation::optionalField("NumberOfLaps", &RaceLineModel::numberOfLaps),
        foundation::optionalField("NumberOfPitStops", &RaceLineModel::numberOfPitStops),
        foundation::field("Sectors", &RaceLineModel::sectors),
        foundation::field("Speeds", &RaceLineModel::speeds),
        foundation::field("BestLapTime", &RaceLineModel::bestLapTime),
        foundation::field("LastLapTime", &RaceLineModel::lastLapTime),
    };
};

struct TimingData {
    bool withheld = false;
    std::map<std::string, RaceLineModel> lines;  // keyed by racing number

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Withheld", &TimingData::withheld),
        foundation::field("Lines", &TimingData::lines),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

// "LapCount.json": the lap the leader is on and the session's length in laps (a sprint's are its own).
struct LapCountModel {
    std::optional<std::int64_t> currentLap;
    std::optional<std::int64_t> totalLaps;

    static constexpr auto codingKeys = std::tuple{
        foundation::optionalField("CurrentLap", &LapCountModel::currentLap),
        foundation::optionalField("TotalLaps", &LapCountModel::totalLaps),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
