#include "cells/MessageCell.h"

#include "cells/CardLayout.h"

namespace {

void lapPillStyle(ui::Button& pill, const FontBases& bases) {
    pill.setTitleColor(gfx::Color::systemGreen(), ui::ControlState::normal);
    pill.titleLabel()->setFont(gfx::Font::systemFont(bases.titleSize - 2, gfx::FontWeight::semibold));
    pill.titleLabel()->setTextAlignment(gfx::TextAlignment::left);
    pill.setContentEdgeInsets({5, 5, 5, 8});
    pill.setBackgroundColor(gfx::Color::systemPink().withAlphaComponent(0.18));
    pill.layer()->setCornerRadius(8);
}

LabelStyle messageStyle(const FontBases& bases) {
    return {gfx::Color::label(), gfx::Font::systemFont(bases.titleSize - 2), gfx::TextAlignment::left, 0};
}

void flagPillStyle(ui::Button& pill, const FontBases& bases) {
    pill.setTitleColor(gfx::Color::systemGreen(), ui::ControlState::normal);
    pill.titleLabel()->setFont(gfx::Font::systemFont(bases.bodySize - 4, gfx::FontWeight::semibold));
    pill.titleLabel()->setTextAlignment(gfx::TextAlignment::right);
    pill.setContentEdgeInsets({5, 8, 5, 8});
    pill.layer()->setCornerRadius(8);
}

}  // namespace

MessageCell::MessageCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, lap, [&](ui::Button& pill) { lapPillStyle(pill, bases); });
    addToCard(*bgView, timeStamp, detailStyle(bases));
    addToCard(*bgView, message, messageStyle(bases));
    // The message wraps beside the pill; the pill never gives up width to it.
    keepFullWidth({lap});
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[timeStamp]-2-[lap]-(>=14)-|",
                      "V:|-14-[timeStamp]-2-[message]-14-|", "H:|-20-[lap]-15-[timeStamp]-(>=20)-|",
                      "H:|-20-[lap]-15-[message]-(>=20)-|"},
                     {{"bgView", bgView}, {"lap", lap}, {"timeStamp", timeStamp}, {"message", message}});
}

MessageWithFlagCell::MessageWithFlagCell(std::string identifier) : ui::TableViewCell(std::move(identifier)) {
    FontBases bases = FontBases::current();
    addCardView(*this, bgView);
    addToCard(*bgView, lap, [&](ui::Button& pill) { lapPillStyle(pill, bases); });
    addToCard(*bgView, timeStamp, detailStyle(bases));
    addToCard(*bgView, message, messageStyle(bases));
    addToCard(*bgView, status, [&](ui::Button& pill) { flagPillStyle(pill, bases); });
    keepFullWidth({lap});
    addVisualFormats(*contentView(),
                     {"V:|-0-[bgView]-0-|", "H:|-0-[bgView]-0-|", "V:|-14-[timeStamp]-2-[lap]-(>=14)-|",
                      "V:|-14-[timeStamp]-2-[message]-5-[status]-14-|", "H:|-20-[lap]-15-[timeStamp]-(>=20)-|",
                      "H:|-20-[lap]-15-[message]-(>=20)-|", "H:|-20-[lap]-15-[status]-(>=20)-|"},
                     {{"bgView", bgView}, {"lap", lap}, {"timeStamp", timeStamp}, {"message", message}, {"status", status}});
}
