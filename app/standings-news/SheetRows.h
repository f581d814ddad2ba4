#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/RaceModels.h"
#include "foundation/Date.h"
#include "gfx/AttributedString.h"
#include "gfx/Color.h"
#include "ui/Menu.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

// What the news, standings and predictions sheets share: the picker's title and menu, the race
// header's start line, team pictures, ordinals and the rows' look.

// The choice's name and a space in white semibold (title 2 less 2 points), then a "chevron.down"
// drawn white at 0.3 alpha (body less 4 points, bold); an empty picture when the symbol is missing.
gfx::AttributedString pickerTitle(std::string_view name);

// A menu without a title holding one action a title, the `chosen` one on. Picking an action calls
// `pick` with its index; the caller makes `pick` hold its screen weakly.
std::shared_ptr<ui::Menu> choiceMenu(const std::vector<std::string>& titles, int chosen, std::function<void(int)> pick);

// The catalogue picture of a team, by its lower-cased name as a whole ("red bull racing" gives
// "TeamRB"); none for a name no row matches.
std::optional<std::string> teamImageName(std::string_view teamName);

// "1st", "22nd" in the device's locale; empty when the formatter gives nothing.
std::string ordinalText(long long number);

// A decimal integer as the whole text, or nothing (so "12abc" and numbers out of range read as none).
std::optional<long long> decimalInteger(std::string_view text);

// The race's day: its "yyyy-MM-dd" date at midnight in the device's zone, or `now` when it does not read.
foundation::Date raceDay(const RacesDetailsModel& race, foundation::Date now);

// "Starting at 16:00, on 05 Mar" while `day` is later than `now`, "Started at ..." after: the race's
// "HH:mm:ssZ" time as a device clock (the clock of `now` when it does not read), day and month in
// "en_US_POSIX".
std::string raceStartText(const RacesDetailsModel& race, foundation::Date day, foundation::Date now);

// Separator inset zero, a plain selected-background view of `selected`, and the cell's background
// (none keeps the cell without one).
void styleRow(ui::TableViewCell& cell, std::optional<gfx::Color> background, gfx::Color selected);

// A sheet's table: `source` and `delegate` held weakly, a clear clipped background, self-sizing rows,
// no empty rows below the last and no scroll indicator.
void setUpSheetTable(ui::TableView& table, std::weak_ptr<ui::TableViewDataSource> source,
                     std::weak_ptr<ui::TableViewDelegate> delegate);
