#include "cells/CardLayout.h"

#include <cassert>

#include "foundation/Print.h"

void addCardView(ui::TableViewCell& cell, const std::shared_ptr<ui::View>& bgView) {
    bgView->setTranslatesAutoresizingMaskIntoConstraints(false);
    cell.contentView()->addSubview(bgView);
}

void addToCard(ui::View& bgView, const std::shared_ptr<ui::Label>& label, const LabelStyle& style) {
    addToCard(bgView, label, [&](ui::Label& styled) { style.apply(styled); });
}

void addVisualFormats(ui::View& contentView, std::initializer_list<std::string_view> formats,
                      const ui::VisualFormatViews& views, const ui::VisualFormatMetrics& metrics) {
    for (auto format : formats) {
        auto constraints = ui::constraintsWithVisualFormat(format, metrics, views);
        if (!constraints) {
            foundation::print("Card layout:", constraints.error().message);
            assert(!"card format does not parse");
            continue;
        }
        contentView.addConstraints(*constraints);
    }
}

void keepFullWidth(std::initializer_list<std::shared_ptr<ui::View>> views) {
    for (const auto& view : views)
        view->setContentCompressionResistancePriority(ui::layoutPriority::required, ui::LayoutAxis::horizontal);
}

void activateEach(std::initializer_list<std::shared_ptr<ui::LayoutConstraint>> constraints) {
    for (const auto& constraint : constraints) constraint->setActive(true);
}
