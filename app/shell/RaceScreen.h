#pragma once

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/Client.h"
#include "data/RaceModels.h"
#include "dispatch/Task.h"
#include "livetiming/EventsModel.h"
#include "ui/ViewController.h"

// The base of the three race screens (weekend/PastDetailsViewController.h,
// weekend/FutureDetailsViewController.h, live/LiveViewController.h): the race the season sheet hands
// over, a system-background view, and GlobalStruct::detailsOnScreen() kept true while one of them is
// on screen.
class RaceScreen : public ui::ViewController {
public:
    // How the presenter finds the race's session among the season index's meetings.
    using SessionLookup = std::function<std::string(const std::vector<livetiming::Meeting>&)>;

    std::string path;                      // the race session's live-timing folder, or empty
    std::vector<RacesDetailsModel> races;  // exactly the race shown
    std::string year;
    int raceRound = 0;  // the race's position in GlobalStruct::races(), plus one
    // Handed over instead of `path` while the season's live-timing index has not arrived: the screen
    // then finds its session (and its meeting) once the index is here, and reads no file of a session
    // before it has one.
    SessionLookup sessionLookup;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // True while the screen waits for the season's index to name its session.
    bool awaitsSession() const { return sessionLookup && !sessionFound_; }

protected:
    // The season index's meetings the race's sessions are found in: GlobalStruct's, unless the index was
    // still on its way when the screen was made; then those of the race's season once its index has
    // arrived (or why it could not be read).
    dispatch::Task<std::expected<std::vector<livetiming::Meeting>, LoadFailure>> seasonMeetings() const;
    // Sets `path` from the index once it has arrived, when the presenter could not; nothing to do when
    // it could. An index that could not be read leaves `path` empty, and `indexFailure` says why.
    dispatch::Task<void> findSession();
    const std::optional<LoadFailure>& indexFailure() const { return indexFailure_; }
    // A file of the screen's session, through `read`. Without a session nothing is read: the answer is a
    // failure, the index's when it could not be read.
    dispatch::Task<Loaded> sessionFile(dispatch::Task<Loaded> (*read)(std::string)) const;

private:
    bool sessionFound_ = false;
    std::optional<LoadFailure> indexFailure_;
};
