#pragma once

#include <memory>
#include <string>

#include "cells/CellStyles.h"
#include "gfx/Geometry.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// One race of the season sheet: the host's flag over the date in a narrow left column; the round
// line, race, circuit and place on the right.
class CircuitCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "CircuitCell";

    explicit CircuitCell(std::string identifier = reuseIdentifier);

    // The flag's box in points: 1.4 : 1.1, scaling with the text size.
    static gfx::Size flagBoxSize(const FontBases& bases);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::ImageView> flag = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> day = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> month = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> round = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> race = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> circuit = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> location = std::make_shared<ui::Label>();
};
