#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Font.h"
#include "gfx/Geometry.h"

namespace gfx {

enum class TextAlignment { left, center, right, justified, natural };

// Every mode but character wrapping wraps at words (and inside a word too long for a line); the
// truncating modes put "…" on the last line that fits the line limit.
enum class LineBreakMode { byWordWrapping, byCharWrapping, byClipping, byTruncatingHead, byTruncatingTail, byTruncatingMiddle };

inline bool isTruncatingMode(LineBreakMode mode) {
    return mode == LineBreakMode::byTruncatingHead || mode == LineBreakMode::byTruncatingTail ||
           mode == LineBreakMode::byTruncatingMiddle;
}

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::natural;
    LineBreakMode lineBreakMode = LineBreakMode::byWordWrapping;

    bool operator==(const ParagraphStyle&) const = default;
};

// An inline image in text. Shared and mutable, so an image that arrives later shows when the text is
// drawn again. The bounds are in points relative to the baseline with y growing up (a negative y
// hangs the image below the baseline); empty bounds mean the image's own point size on the baseline.
struct TextAttachment {
    Bitmap image;
    double imageScale = 1;
    Rect bounds;

    Size imageSize() const;
    Rect effectiveBounds() const;
};

struct TextAttributes {
    Font font = Font::systemFont(12);
    // Black when absent.
    std::optional<Color> foregroundColor;
    // The foreground colour when absent.
    std::optional<Color> strokeColor;
    // In percent of the font's point size. Positive strokes the glyphs only, negative fills and strokes.
    double strokeWidth = 0;
    std::optional<ParagraphStyle> paragraphStyle;

    bool operator==(const TextAttributes&) const = default;
};

// Text (UTF-8, offsets in bytes) with runs of attributes, built by appending. Invalid UTF-8 and NUL
// characters become U+FFFD as they are appended, so layout never meets them. No text on a screen is
// longer than maximumLength bytes: what goes past it is cut at a character and ends in "…", so a
// string of megabytes (a hostile race name) costs no more to lay out than a long one. The data keep
// their whole text; a label keeps what it can show (shownPart).
class AttributedString {
public:
    static constexpr std::size_t maximumLength = 8 * 1024;

    // As much of `text` as a screen text can show and a character more, so that a longer text is still
    // cut where it would be and ends in "…": what a label needs to keep of a text of megabytes.
    static std::string_view shownPart(std::string_view text) { return text.substr(0, maximumLength + 4); }

    struct Run {
        std::size_t location = 0;
        std::size_t length = 0;
        TextAttributes attributes;
        // Set for the object replacement character that stands for an inline image.
        std::shared_ptr<TextAttachment> attachment;

        // The same attachment, not an equal one: it is shared and its image can change.
        bool operator==(const Run&) const = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string_view text, TextAttributes attributes = {});

    void append(std::string_view text, const TextAttributes& attributes = {});
    void append(const AttributedString& other);
    void appendAttachment(std::shared_ptr<TextAttachment> attachment, const TextAttributes& attributes = {});

    const std::string& string() const { return text_; }
    const std::vector<Run>& runs() const { return runs_; }
    bool empty() const { return text_.empty(); }
    // The run holding a byte offset; nothing outside the text.
    const Run* runAt(std::size_t offset) const;
    // The first paragraph style in the text; a layout applies it to the whole text.
    std::optional<ParagraphStyle> paragraphStyle() const;

private:
    // Appends text already valid and within the bound.
    void appendValid(std::string_view valid, const TextAttributes& attributes);

    std::string text_;
    std::vector<Run> runs_;
    bool cut_ = false;  // the bound was reached: nothing more is appended
};

}  // namespace gfx
