#pragma once

#include <memory>
#include <string>

#include "ui/Label.h"
#include "ui/TableViewCell.h"

// Row 0 of the detail screens: the session's time, the race, its circuit and place, in white on the
// colour the screen gives the cell.
class DetailHeaderCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "DetailHeaderCell";
    // The same header whose circuit line shows a status in its place: wrapped, the room of two lines
    // kept, so the rows below stay where they are as a status comes and goes.
    static constexpr const char* statusReuseIdentifier = "DetailHeaderCellStatus";
    // The same header with a note under the place, in the header's secondary style: what the rows
    // below lack ("Standings after ... are not published yet."), wrapped.
    static constexpr const char* noteReuseIdentifier = "DetailHeaderCellNote";

    explicit DetailHeaderCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> time = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> race = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> circuit = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> location = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> note = std::make_shared<ui::Label>();  // on the card of the note header only
};
