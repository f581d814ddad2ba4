#include "cells/ActionCard.h"

#include "ui/AssetCatalog.h"

void addInfoHeader(ui::View& bgView, const std::shared_ptr<ui::Label>& infoTitle,
                   const std::shared_ptr<ui::Label>& infoDescription, const FontBases& bases) {
    addToCard(bgView, infoTitle, infoTitleStyle(bases));
    addToCard(bgView, infoDescription, infoDescriptionStyle(bases));
}

void addActionButton(ui::View& bgView, const std::shared_ptr<ui::Button>& button, gfx::Color color,
                     const FontBases& bases) {
    addToCard(bgView, button, [&](ui::Button& styled) { actionButtonStyle(styled, color, bases); });
}

void addActionButton(ui::View& bgView, const std::shared_ptr<ui::Button>& button, std::string_view colorName,
                     const FontBases& bases) {
    std::optional<gfx::Color> color = ui::namedColor(colorName);
    addToCard(bgView, button, [&](ui::Button& styled) {
        actionButtonStyle(styled, color.value_or(gfx::Color::clear()), bases);
        if (color) return;
        styled.setTitleColor(std::nullopt, ui::ControlState::normal);
        styled.setBackgroundColor(std::nullopt);
    });
}
