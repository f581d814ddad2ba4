#include "cells/CellStyles.h"

using gfx::Color;
using gfx::Font;
using gfx::FontWeight;
using gfx::TextAlignment;

FontBases FontBases::current() {
    return {Font::preferredFont(gfx::TextStyle::title2).pointSize(), Font::preferredFont(gfx::TextStyle::body).pointSize()};
}

void LabelStyle::apply(ui::Label& label) const {
    label.setTextColor(textColor);
    label.setFont(font);
    label.setTextAlignment(alignment);
    label.setNumberOfLines(numberOfLines);
}

LabelStyle infoTitleStyle(const FontBases& bases) {
    return {Color::label(), Font::systemFont(bases.titleSize, FontWeight::semibold), TextAlignment::natural, 1};
}

LabelStyle infoDescriptionStyle(const FontBases& bases) {
    return {Color::secondaryLabel(), Font::systemFont(bases.bodySize - 4), TextAlignment::natural, 0};
}

LabelStyle nameStyle(const FontBases& bases) {
    return {Color::label(), Font::systemFont(bases.titleSize - 2, FontWeight::bold), TextAlignment::left, 0};
}

LabelStyle detailStyle(const FontBases& bases) {
    return {Color::secondaryLabel(), Font::systemFont(bases.bodySize - 4), TextAlignment::left, 1};
}

LabelStyle alertStyle(const FontBases& bases) {
    return {Color::systemRed(), Font::systemFont(bases.bodySize - 4), TextAlignment::left, 1};
}

LabelStyle centredDetailStyle(const FontBases& bases) {
    auto style = detailStyle(bases);
    style.alignment = TextAlignment::center;
    return style;
}

LabelStyle figureStyle(const FontBases& bases) {
    return {Color::label(), Font::systemFont(bases.titleSize - 2, FontWeight::semibold), TextAlignment::left, 1};
}

LabelStyle headerCaptionStyle(const FontBases& bases) {
    auto style = figureStyle(bases);
    style.textColor = Color::white();
    return style;
}

LabelStyle gridTitleStyle(const FontBases& bases) { return infoDescriptionStyle(bases); }

LabelStyle gridValueStyle(const FontBases& bases) {
    return {Color::label(), Font::systemFont(bases.titleSize, FontWeight::heavy), TextAlignment::natural, 0};
}

namespace {

void styleButton(ui::Button& button, Color titleColor, const Font& font, const ui::EdgeInsets& insets, Color background) {
    button.setTitleColor(titleColor, ui::ControlState::normal);
    button.titleLabel()->setFont(font);
    button.titleLabel()->setTextAlignment(TextAlignment::left);
    button.setContentEdgeInsets(insets);
    button.setBackgroundColor(background);
    button.layer()->setCornerRadius(12);
}

}  // namespace

void actionButtonStyle(ui::Button& button, Color color, const FontBases& bases) {
    styleButton(button, color, Font::systemFont(bases.titleSize - 2, FontWeight::bold), {12, 8, 12, 8},
                color.withAlphaComponent(0.2));
}

void pillButtonStyle(ui::Button& button, const FontBases& bases) {
    styleButton(button, Color::white(), Font::systemFont(bases.titleSize - 2, FontWeight::semibold), {4, 8, 4, 8},
                Color::black().withAlphaComponent(0.18));
}

void driverImageStyle(ui::ImageView& imageView) {
    imageView.setContentMode(ui::ContentMode::scaleAspectFit);
    imageView.layer()->setCornerRadius(25);
    imageView.layer()->setMasksToBounds(true);
}
