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
    // "<What> could not be loaded." over why, when `failure` tells: offline, a document the season
    // lacks is not in it, and coming back later never helps; live, the hint to come back later.
    void showCouldNotLoad(const std::string& what, const std::optional<LoadFailure>& failure = std::nullopt);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> title = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> detail = std::make_shared<ui::Label>();

private:
    void show(const std::string& text, const std::string& hint, gfx::Color colour);
};

// The title the row shows for `what` ("The race results" gives "The race results could not be loaded.").
std::string couldNotLoadText(const std::string& what);

// The state row of a table at `indexPath` (registered under `StateCell::reuseIdentifier`).
std::shared_ptr<StateCell> stateRow(ui::TableView& table, ui::IndexPath indexPath);
