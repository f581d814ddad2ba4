#pragma once

#include <memory>
#include <string>

#include "data/Client.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

// A row that stands where a list would be when there is nothing to list: what is missing, in words,
// over a hint. Every screen shows the same row for a list that is loading, empty or could not be
// loaded, so the state looks the same everywhere.
class StateCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "StateCell";

    explicit StateCell(std::string identifier = reuseIdentifier);

    // "Loading <what>…", no hint.
    void showLoading(const std::string& what);
    // `text` ("No pit stops were recorded.") over `hint` (none when empty).
    void showEmpty(const std::string& text, const std::string& hint = {});
    // "<What> could not be loaded." over why, in red: what failed when `failure` tells (no connection,
    // the server's answer, a body that is no document), and live, the hint to come back later. A
    // document the offline season never recorded (it answers 404) failed nothing: the row names it
    // and says so in the card's secondary style, with no red and no hint.
    void showCouldNotLoad(const std::string& what, const std::optional<LoadFailure>& failure = std::nullopt);
    // A gap, no failure: the card's `name` ("Weather") over what it lacks, in the card's secondary style.
    void showGap(const std::string& name, const std::string& line);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> title = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> detail = std::make_shared<ui::Label>();

private:
    void show(const std::string& text, const std::string& hint, gfx::Color colour);
};

// The title the row shows for `what` ("The race results" gives "The race results could not be loaded.").
std::string couldNotLoadText(const std::string& what);
// What a person reads of a failure: "The server answered 503 Service Unavailable.", the transport's own
// sentence ("Could not connect to the server."), or for a body that is no document of its kind, "The
// data is missing or damaged."
std::string failureSentence(const LoadFailure& failure);
// Why a document could not be loaded, as the state rows say it under their title: what failed, or
// offline, that the offline season holds it damaged (or, not knowing, that it lacks it or holds it damaged).
std::string failureCause(const std::optional<LoadFailure>& failure);
// The line under a document the offline season does not hold.
inline constexpr const char* notRecordedOfflineText = "Not recorded in the offline season";

// The state row of a table at `indexPath` (registered under `StateCell::reuseIdentifier`).
std::shared_ptr<StateCell> stateRow(ui::TableView& table, ui::IndexPath indexPath);
