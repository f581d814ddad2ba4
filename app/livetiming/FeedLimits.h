#pragma once

#include <cstddef>

#include "foundation/JSONDecoder.h"

// What a document of the live-timing tree or of the polls service can hold; a document past either
// limit is a bad response, refused as it is parsed, before the rest is built (as a results-API one is).
//
// The largest live-timing file, a session's TimingData (20 cars, each with three sectors of up to ten
// segments), takes some 250 KB of values, a season index some 150 KB; the longest list, a session's
// officials' messages, holds a few hundred. So a file gets 16 MiB of values and lists of 10,000 items,
// some sixty times what any real one needs, and its decode stays a matter of milliseconds.
inline constexpr foundation::JSONLimits liveTimingDocumentLimits{.maximumListLength = 10'000,
                                                                 .maximumBytes = std::size_t(16) << 20};

// The polls service answers with one poll a race of the season (a few dozen, 7 KB of values).
inline constexpr foundation::JSONLimits pollsDocumentLimits{.maximumListLength = 1'000,
                                                            .maximumBytes = std::size_t(4) << 20};
