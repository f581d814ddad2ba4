#pragma once

#include <memory>
#include <string_view>

#include "cells/CardLayout.h"

// What the seven action cards share: the info header on the card, and buttons in actionButtonStyle of
// a system colour or of a colour the asset catalogue names.

void addInfoHeader(ui::View& bgView, const std::shared_ptr<ui::Label>& infoTitle,
                   const std::shared_ptr<ui::Label>& infoDescription, const FontBases& bases);

void addActionButton(ui::View& bgView, const std::shared_ptr<ui::Button>& button, gfx::Color color,
                     const FontBases& bases);

// Looked up each time a card is built. Without such a colour the title keeps the button's default
// colour and the background stays clear; font, insets and corners are the style's all the same.
void addActionButton(ui::View& bgView, const std::shared_ptr<ui::Button>& button, std::string_view colorName,
                     const FontBases& bases);
