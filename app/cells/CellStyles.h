#pragma once

#include "gfx/AttributedString.h"
#include "gfx/Color.h"
#include "gfx/Font.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

// The look every card shares. Fonts derive from two text-style sizes read once when a cell is built,
// so a cell keeps the sizes it was made with.

struct FontBases {
    double titleSize = 22;  // title2
    double bodySize = 17;   // body

    static FontBases current();
};

struct LabelStyle {
    gfx::Color textColor = gfx::Color::label();
    gfx::Font font = gfx::Font::systemFont(17);
    gfx::TextAlignment alignment = gfx::TextAlignment::natural;
    int numberOfLines = 1;  // 0 is unlimited

    void apply(ui::Label& label) const;
};

LabelStyle infoTitleStyle(const FontBases& bases);
LabelStyle infoDescriptionStyle(const FontBases& bases);
LabelStyle nameStyle(const FontBases& bases);
LabelStyle detailStyle(const FontBases& bases);
LabelStyle alertStyle(const FontBases& bases);
// A date's month under its day, a position's second figure.
LabelStyle centredDetailStyle(const FontBases& bases);
// A row's big figure beside the name: a date's day, a position.
LabelStyle figureStyle(const FontBases& bases);
// The captions of the coloured header rows: a figure in white.
LabelStyle headerCaptionStyle(const FontBases& bases);
// The two lines of a figures grid: a small caption over a heavy value.
LabelStyle gridTitleStyle(const FontBases& bases);
LabelStyle gridValueStyle(const FontBases& bases);

// A tinted card button titled in `color` on a fifth of it.
void actionButtonStyle(ui::Button& button, gfx::Color color, const FontBases& bases);
// The white-on-shadow choice button of the coloured header rows.
void pillButtonStyle(ui::Button& button, const FontBases& bases);
// 50 x 50 round photo; the constraints give the size.
void driverImageStyle(ui::ImageView& imageView);
