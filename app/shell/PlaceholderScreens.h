#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/RaceModels.h"
#include "data/ResultModels.h"
#include "data/StandingsModels.h"
#include "livetiming/PredictionsModel.h"
#include "standings-news/Article.h"
#include "ui/ViewController.h"

// The screens that the season sheet and the race screens open, as far as they exist today: each has
// the properties its opener hands over and shows a plain system-background view, nothing more.
// Their own subsystems replace them class by class.

// Driver key (folded, lower-cased "first last") to a text: headshot address, team colour or number.
using DriverDictionary = std::map<std::string, std::string>;

// What every screen shows until it is written: a view of the system background colour.
class BlankScreen : public ui::ViewController {
public:
    void viewDidLoad() override;
};

// What the race screens have in common: the race handed over, and GlobalStruct::detailsOnScreen()
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

class LiveViewController final : public RaceScreen {};
class PastDetailsViewController final : public RaceScreen {};

class NewsViewController final : public BlankScreen {
public:
    std::vector<Article> newsArticles;
    std::vector<Article> newsArticles2;
    std::vector<Article> newsArticles3;
    std::vector<Article> newsArticles4;
    std::vector<Article> newsArticles5;
};

// What a finished weekend's detail sheets are handed about the race and its drivers.
class RaceDetailSheet : public BlankScreen {
public:
    DriverDictionary driverImageDictionary;
    DriverDictionary driverColDictionary;
    int eventType = 0;  // 0 drivers, 1 teams
    std::vector<RaceResultsModel> raceResults;
    std::vector<RacesDetailsModel> races;
    std::string year;
    int raceRound = 0;
    int currentLap = 0;
    std::string lapCount;
};

class StandingsViewController final : public RaceDetailSheet {
public:
    // Opened from the season sheet rather than a race screen; the three texts then describe the last
    // race before the upcoming one.
    bool fromSeason = false;
    std::string fromSeasonRaceText;
    std::string fromSeasonCircuitText;
    std::string fromSeasonLocationText;
    std::vector<DriverStandingsModel> driverStandings;
    std::vector<ConstructorStandingsModel> teamStandings;
};

class PredictionsViewController final : public RaceDetailSheet {
public:
    DriverDictionary driverNumDictionary;
    std::string path;
    std::vector<livetiming::DriverPredictions> driverPredictions;
    std::vector<livetiming::TeamPredictions> teamPredictions;
};
