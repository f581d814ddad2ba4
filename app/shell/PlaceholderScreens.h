#pragma once

#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "ui/ViewController.h"

// The screens that the season sheet and the race screens open, as far as they exist today: each has
// the properties its opener hands over and shows a plain system-background view, nothing more.
// Their own subsystems replace them class by class.

// What every screen shows until it is written: a view of the system background colour.
class BlankScreen : public ui::ViewController {
public:
    void viewDidLoad() override;
};

// What the race screens have in common (weekend/PastDetailsViewController.h,
// weekend/FutureDetailsViewController.h, live/LiveViewController.h): the race handed over, and GlobalStruct::detailsOnScreen()
// kept true while one of them is on screen.
class RaceScreen : public BlankScreen {
public:
    std::string path;                      // the race session's live-timing folder, or empty
    std::vector<RacesDetailsModel> races;  // exactly the race shown
    std::string year;
    int raceRound = 0;  // the race's position in GlobalStruct::races(), plus one

    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
};

