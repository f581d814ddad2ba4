#include "cells/CardLayout.h"

#include <cassert>
#include <string>

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

void keepStatusRoom(const std::shared_ptr<ui::Label>& label, const std::shared_ptr<ui::View>& below, double gap) {
    label->setNumberOfLines(0);
    // An unseen twin of the line, as high as `statusLines` lines of its font measure when laid out.
    auto room = std::make_shared<ui::Label>();
    room->setTranslatesAutoresizingMaskIntoConstraints(false);
    room->setFont(label->font());
    room->setNumberOfLines(0);
    std::string lines = " ";
    for (int line = 1; line < statusLines; ++line) lines += "\n ";
    room->setText(lines);
    room->setHidden(true);
    if (auto card = label->superview()) card->addSubview(room);
    activateEach({room->topAnchor().constraintEqualTo(label->topAnchor()),
                  room->leadingAnchor().constraintEqualTo(label->leadingAnchor()),
                  below->topAnchor().constraintGreaterThanOrEqualTo(room->bottomAnchor(), gap)});
}
