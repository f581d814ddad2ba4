#pragma once

#include "data/GlobalStruct.h"
#include "live/SheetTestSupport.h"
#include "livetiming/EventsModel.h"
#include "weekend/PastDetailsViewController.h"
#include "weekend/WeekendSessions.h"

namespace weekendtest {

// The finished-weekend screen over a headless phone on the offline 2023 season at its "now", with
// the season's races and live-timing index in the shared lists as the map leaves them (and put back
// afterwards, so other suites in the process see theirs).
class OfflineWeekend : public sheettest::OfflineSheet {
protected:
    void SetUp() override {
        sheettest::OfflineSheet::SetUp();
        savedRaces = GlobalStruct::races();
        savedMeetings = GlobalStruct::meetings();
        // Read once for the suite: the index is large.
        static const auto races = read<RaceModel>(RaceSchedules::specificSeason(2023)).data.raceTable.races;
        static const auto meetings = read<livetiming::EventsModel>(LiveTiming::all("2023")).meetings;
        GlobalStruct::races() = races;
        GlobalStruct::meetings() = meetings;
    }
    void TearDown() override {
        sheettest::OfflineSheet::TearDown();
        GlobalStruct::races() = savedRaces;
        GlobalStruct::meetings() = savedMeetings;
    }

    // The screen of round `round`, handed what the season sheet hands it, before it is presented.
    static std::shared_ptr<PastDetailsViewController> screenFor(int round) {
        auto screen = std::make_shared<PastDetailsViewController>();
        screen->races = {GlobalStruct::races()[round - 1]};
        screen->year = "2023";
        screen->raceRound = round;
        screen->path = weekend::raceSessionPath(screen->races[0], GlobalStruct::meetings());
        return screen;
    }

    // Presented, with every load of the race weekend in (the team radio is the last one).
    std::shared_ptr<PastDetailsViewController> open(int round) {
        auto screen = screenFor(round);
        present(screen);
        EXPECT_TRUE(waitFor([&] { return loaded(*screen); }));
        settle();
        return screen;
    }
    static bool loaded(const PastDetailsViewController& screen) {
        return !screen.raceResults.empty() && !screen.qualifyingResults.empty() && !screen.driverRadio.empty() &&
               !screen.driverImageDictionary.empty();
    }

    std::vector<RacesDetailsModel> savedRaces;
    std::vector<livetiming::Meeting> savedMeetings;
};

}  // namespace weekendtest
