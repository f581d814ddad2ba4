#pragma once

#include <memory>
#include <string>

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/TableViewCell.h"

// The upcoming weekend's links out of the app: two full-width buttons under the info header.
class ExternalLinksCell : public ui::TableViewCell {
public:
    static constexpr const char* reuseIdentifier = "ExternalLinksCell";

    explicit ExternalLinksCell(std::string identifier = reuseIdentifier);

    std::shared_ptr<ui::View> bgView = std::make_shared<ui::View>();
    std::shared_ptr<ui::Label> infoTitle = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> infoDescription = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> watch = std::make_shared<ui::Button>();
    std::shared_ptr<ui::Button> tickets = std::make_shared<ui::Button>();
};
