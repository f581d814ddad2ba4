#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "gfx/AttributedString.h"
#include "gfx/Font.h"
#include "gfx/TextLayout.h"
#include "ui/View.h"

namespace ui {

// Read-only text. Its natural size comes from gfx::textMeasurer() (so a fixed-advance measurer makes
// layout independent of fonts); with numberOfLines 0 or above 1 it wraps at the width layout gives it
// and reports the height it needs through intrinsicHeight. The text is drawn vertically centred.
class Label : public View {
public:
    Label();

    const std::string& text() const { return text_; }
    // Keeps what a label can show of the text (gfx::AttributedString::shownPart): a race name of
    // megabytes is not copied whole into every row that shows it.
    void setText(std::string_view text);
    // Set, it wins over text, font, colour and alignment; setting text clears it.
    const std::optional<gfx::AttributedString>& attributedText() const { return attributedText_; }
    void setAttributedText(std::optional<gfx::AttributedString> text);
    const gfx::Font& font() const { return font_; }
    void setFont(const gfx::Font& font);
    gfx::Color textColor() const { return textColor_; }
    void setTextColor(gfx::Color color);
    gfx::TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(gfx::TextAlignment alignment);
    // 0 is unlimited.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines);
    gfx::LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(gfx::LineBreakMode mode);
    // One-line labels shrink their font, down to minimumScaleFactor of it, to fit their width.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor);

    // What is drawn: the attributed text, or the text in the label's font, colour and alignment.
    gfx::AttributedString effectiveText() const;
    // The point size drawn at the current width (smaller than the font's when it adjusts to fit).
    double displayedFontSize() const;

    Size intrinsicContentSize() const override;
    std::optional<double> intrinsicHeight(double width) const override;
    Size sizeThatFits(Size size) const override;
    std::string layoutName() const override;
    void draw(gfx::Context& context, const Rect& rect) override;

private:
    void textDidChange();
    gfx::TextLayoutOptions options(double width) const;
    gfx::AttributedString textAtSize(double pointSize) const;

    std::string text_;
    std::optional<gfx::AttributedString> attributedText_;
    gfx::Font font_ = gfx::Font::systemFont(17);
    gfx::Color textColor_ = gfx::Color::label();
    gfx::TextAlignment alignment_ = gfx::TextAlignment::natural;
    int numberOfLines_ = 1;
    gfx::LineBreakMode lineBreakMode_ = gfx::LineBreakMode::byTruncatingTail;
    bool adjustsFontSize_ = false;
    double minimumScaleFactor_ = 0;
};

}  // namespace ui
