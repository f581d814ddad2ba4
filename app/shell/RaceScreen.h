#pragma once

#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "ui/ViewController.h"

// The base of the three race screens (weekend/PastDetailsViewController.h,
// weekend/FutureDetailsViewController.h, live/LiveViewController.h): the race the season sheet hands
// over, a system-background view, and GlobalStruct::detailsOnScreen() kept true while one of them is
// on screen.
class RaceScreen : public ui::ViewController {
public:
    std::string path;                      // the race session's live-timing folder, or empty
    std::vector<RacesDetailsModel> races;  // exactly the race shown
    std::string year;
    int raceRound = 0;  // the race's position in GlobalStruct::races(), plus one

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
};
