#pragma once

#include <memory>

#include "gfx/AttributedString.h"
#include "gfx/TextLayout.h"

namespace gfx {

// What views ask to size their text, so layout tests can swap Pango for arithmetic.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual TextMeasurement measure(const AttributedString& string, const TextLayoutOptions& options) const = 0;
};

class PangoTextMeasurer final : public TextMeasurer {
public:
    TextMeasurement measure(const AttributedString& string, const TextLayoutOptions& options) const override;
};

// Every character (code point) is `advance` points wide and every line `lineHeight` high; an attachment
// is as wide as its bounds. Wraps by words (and inside words longer than a line) like the real layout;
// a truncated last line gains one character for the "…" while room remains.
class FixedAdvanceMeasurer final : public TextMeasurer {
public:
    FixedAdvanceMeasurer(double advance, double lineHeight) : advance_(advance), lineHeight_(lineHeight) {}
    TextMeasurement measure(const AttributedString& string, const TextLayoutOptions& options) const override;

private:
    double advance_;
    double lineHeight_;
};

// The process-wide measurer (Pango until replaced); setting nullptr restores Pango.
std::shared_ptr<const TextMeasurer> textMeasurer();
void setTextMeasurer(std::shared_ptr<const TextMeasurer> measurer);

}  // namespace gfx
