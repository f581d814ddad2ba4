#pragma once

#include <string_view>

// The two JSON documents compiled into the app byte for byte (generated from data/resources/).
namespace embedded {
extern const std::string_view countryFlagsJSON;
extern const std::string_view circuitDetailsJSON;
}  // namespace embedded
