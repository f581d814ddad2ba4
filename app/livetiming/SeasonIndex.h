#pragma once

#include <expected>
#include <functional>
#include <string>
#include <vector>

#include "dispatch/Task.h"
#include "data/Client.h"
#include "livetiming/EventsModel.h"

// The live-timing index of the season on screen, read once per season load and shared: the home map
// stores its meetings and the season sheet finds its driver list in it, and both wait on one read.
// A newer season load (a year pick, a retry) makes the held index stale, so the next ask reads again;
// a read that fails is not kept, and is logged once by the read itself (callers print nothing more).
// Main thread only.
struct SeasonIndex {
    // Or why there are none: the read's failure, or a body that is no index.
    using Meetings = std::expected<std::vector<livetiming::Meeting>, LoadFailure>;
    using Read = std::function<dispatch::Task<Loaded>(std::string year)>;

    // The meetings of `year`'s index: those already read for it during the newest season load, the
    // read under way, or a new read through `read` (the network's by default).
    static dispatch::Task<Meetings> meetings(std::string year, Read read = {});
};
