#pragma once

#include <any>
#include <string>

#include "quartz/Layer.h"

namespace quartz {

enum class TextAlignment { natural, left, right, center, justified };
enum class TruncationMode { none, start, end, middle };

class TextLayer;

// Text is laid out by the text library, which installs its drawing function here at start-up; until one is installed
// text layers draw nothing (their background, border and sublayers still show).
using TextLayerDrawer = void (*)(const TextLayer& layer, gfx::Context& context);
void setTextLayerDrawer(TextLayerDrawer drawer);
TextLayerDrawer textLayerDrawer();

// Draws a string in its bounds. The attributed string is held opaquely for the text library; when set it wins over
// the plain string.
class TextLayer : public Layer {
public:
    static std::shared_ptr<TextLayer> make() { return std::make_shared<TextLayer>(Making{}); }
    explicit TextLayer(Making) {}
    std::shared_ptr<Layer> copyLayer() const override;

    const std::string& string() const { return string_; }
    void setString(std::string string) { string_ = std::move(string); }
    const std::any& attributedString() const { return attributedString_; }
    void setAttributedString(std::any string) { attributedString_ = std::move(string); }
    // A font family name; empty means the system font.
    const std::string& fontName() const { return fontName_; }
    void setFontName(std::string name) { fontName_ = std::move(name); }
    double fontSize() const { return fontSize_; }
    void setFontSize(double size) { fontSize_ = size; }
    std::optional<gfx::Color> foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(std::optional<gfx::Color> color) { foregroundColor_ = color; }
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    bool isWrapped() const { return wrapped_; }
    void setWrapped(bool wrapped) { wrapped_ = wrapped; }
    TruncationMode truncationMode() const { return truncationMode_; }
    void setTruncationMode(TruncationMode mode) { truncationMode_ = mode; }

    void draw(gfx::Context& context) const override;

protected:
    TextLayer() = default;
    TextLayer(const TextLayer&) = default;

private:
    std::string string_;
    std::any attributedString_;
    std::string fontName_;
    double fontSize_ = 36;
    std::optional<gfx::Color> foregroundColor_ = gfx::Color::white();
    TextAlignment alignment_ = TextAlignment::natural;
    bool wrapped_ = false;
    TruncationMode truncationMode_ = TruncationMode::none;
};

}  // namespace quartz
