#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "livetiming/EventsModel.h"

// A year pick's two loads (the season's races, then its live-timing index) carry one ticket. A newer
// pick makes older tickets stale, so a slow answer for an earlier pick never overwrites a later one.
struct SeasonLoad {
    std::uint64_t generation = 0;
    std::string year;  // as picked; empty for the current season
};

// The two app-wide lists the screens share. Main thread only, no lock; each is replaced whole.
struct GlobalStruct {
    // The season's races, in calendar order; empty until the home map loads a season.
    static std::vector<RacesDetailsModel>& races();
    // The live-timing season index's meetings; empty until the home map loads the index.
    static std::vector<livetiming::Meeting>& meetings();
    static SeasonLoad beginSeasonLoad(std::string year);
    static bool isCurrent(const SeasonLoad& load);
    // The generation of the newest load: what is read for a season stays valid while it is unchanged.
    static std::uint64_t newestLoadGeneration();
    // Each stores only for the newest load and says whether it did. Races of another season than the
    // stored meetings' drop those meetings: they would send the screens to the wrong season's files.
    static bool storeRaces(const SeasonLoad& load, std::vector<RacesDetailsModel> races);
    static bool storeMeetings(const SeasonLoad& load, std::string indexYear, std::vector<livetiming::Meeting> meetings);
    // A failed index leaves no meetings of another season behind the races shown.
    static void indexFailed(const SeasonLoad& load);
    // The season of the races and of the meetings held now ("" before the first load).
    static const std::string& racesSeason();
    static const std::string& meetingsSeason();

    // True while a race screen (upcoming, live or finished) is on screen: the race screens set it as
    // they appear and disappear, the season sheet reads it to replace that screen. False at start.
    static bool& detailsOnScreen();
    // True while the season sheet rests at its large detent: the map writes it, the season sheet
    // reads it to give a race screen only the large detent. False at start.
    static bool& sheetIsLarge();
    // The seasons whose calendar the offline data holds, in year order, while the app answers from
    // it; none when it reads the real services (every year may load). The offline start writes it,
    // the season sheet's year menu and the "could not be loaded" rows read it.
    static std::optional<std::vector<std::string>>& offlineSeasons();
    // The live-timing sessions the offline data replays as they ran ("2023/<meeting>/<session>/"),
    // while the app answers from it; any other session it holds only as it stood before its start.
    // The offline start writes it, the live screen reads it.
    static std::vector<std::string>& offlineReplayedSessions();
};
