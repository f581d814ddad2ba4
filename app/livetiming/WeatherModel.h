#pragma once

#include <string>
#include <tuple>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// The latest weather reading at the track; every reading stays the text the feed sends.
struct WeatherModel {
    std::string airTemp;
    std::string humidity;
    std::string pressure;
    std::string rainfall;
    std::string trackTemp;
    std::string windDirection;
    std::string windSpeed;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("AirTemp", &WeatherModel::airTemp),
        foundation::field("Humidity", &WeatherModel::humidity),
        foundation::field("Pressure", &WeatherModel::pressure),
        foundation::field("Rainfall", &WeatherModel::rainfall),
        foundation::field("TrackTemp", &WeatherModel::trackTemp),
        foundation::field("WindDirection", &WeatherModel::windDirection),
        foundation::field("WindSpeed", &WeatherModel::windSpeed),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
