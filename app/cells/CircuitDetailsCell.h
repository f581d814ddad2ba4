#pragma once

#include <memory>
#include <string>

#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The circuit's facts as a grid of six figures, then its map and the lap record.
class CircuitDetailsCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "CircuitDetailsCell";

    explicit CircuitDetailsCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackLengthTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackDistanceTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> lapCountTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> cornerCountTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> firstOpenedTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> firstGrandPrixTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackLength = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> trackDistance = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> lapCount = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> cornerCount = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> firstOpened = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> firstGrandPrix = std::make_shared<ui::Label>();
    std::shared_ptr<ui::ImageView> circuitImage = std::make_shared<ui::ImageView>();
    std::shared_ptr<ui::Label> recordTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> record = std::make_shared<ui::Label>();
};
