#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

enum class FontWeight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };

// The platform's weight trait of a weight, from -1 (lightest) through 0 (regular) to 1 (heaviest).
double weightTrait(FontWeight weight);

enum class TextStyle { largeTitle, title1, title2, title3, headline, body, callout, subheadline, footnote, caption1, caption2 };

// Symbolic traits with the platform's bit values.
struct FontTraits {
    static constexpr unsigned italic = 1u << 0;
    static constexpr unsigned bold = 1u << 1;
    static constexpr unsigned expanded = 1u << 5;
    static constexpr unsigned condensed = 1u << 6;
};

// In points. The descender is negative (below the baseline), as on the platform.
struct FontMetrics {
    double ascender = 0;
    double descender = 0;
    double lineHeight = 0;
    double capHeight = 0;
};

// A font as a value: family, size in points, weight trait and symbolic traits. Faces are resolved by
// fontconfig when text is laid out; the nearest installed face stands in for a missing weight.
// The system font is DejaVu Sans (the one family every installation of the app has).
class Font {
public:
    static Font systemFont(double size, FontWeight weight = FontWeight::regular);
    static Font boldSystemFont(double size) { return systemFont(size, FontWeight::bold); }
    static Font italicSystemFont(double size);
    // The text styles at the default content size (body 17, title2 22, ...).
    static Font preferredFont(TextStyle style);
    // Nothing unless `family` is exactly one of familyNames().
    static std::optional<Font> named(std::string_view family, double size);
    // A font of `family` (the system family when empty or not installed) with a weight trait from
    // -1 to 1 and symbolic traits; the bold trait raises the weight to at least bold.
    static Font matching(std::string_view family, double size, double weightTrait, unsigned traits);

    // The installed families, sorted, without fontconfig's generic aliases ("Sans", "Serif", ...).
    static const std::vector<std::string>& familyNames();
    static const std::string& systemFamilyName();

    const std::string& familyName() const { return family_; }
    double pointSize() const { return size_; }
    double weight() const { return weight_; }
    // Includes the bold trait when the weight is bold or heavier.
    unsigned traits() const;
    bool isBold() const { return traits() & FontTraits::bold; }
    bool isItalic() const { return traits_ & FontTraits::italic; }

    Font withSize(double size) const;
    Font withWeight(FontWeight weight) const;
    Font withTraits(unsigned traits) const;

    // Measured from the face that fontconfig picks; cached per font.
    FontMetrics metrics() const;
    double ascender() const { return metrics().ascender; }
    double descender() const { return metrics().descender; }
    double lineHeight() const { return metrics().lineHeight; }
    double capHeight() const { return metrics().capHeight; }

    bool operator==(const Font&) const = default;

private:
    Font(std::string family, double size, double weight, unsigned traits);

    std::string family_;
    double size_ = 12;
    double weight_ = 0;
    unsigned traits_ = 0;  // italic, condensed, expanded; bold follows the weight
};

}  // namespace gfx
