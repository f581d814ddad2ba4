#pragma once

#include <vector>

#include "data/RaceModels.h"
#include "livetiming/EventsModel.h"

// The two app-wide lists the screens share. Main thread only, no lock; each is replaced whole.
struct GlobalStruct {
    // The season's races, in calendar order; empty until the home map loads a season.
    static std::vector<RacesDetailsModel>& races();
    // The live-timing season index's meetings; empty until the home map loads the index.
    static std::vector<livetiming::Meeting>& meetings();
};
