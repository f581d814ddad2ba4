#include "gfx/TextMeasurer.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "foundation/Utf8.h"

namespace gfx {

namespace {

struct Cell {
    double width = 0;
    bool space = false;
    bool lineFeed = false;
};

std::vector<Cell> cells(const AttributedString& string, double advance) {
    std::vector<Cell> result;
    const std::string& text = string.string();
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t at = offset;
        foundation::utf8::decode(text, offset);
        const AttributedString::Run* run = string.runAt(at);
        const char byte = text[at];
        if (run && run->attachment)
            result.push_back({run->attachment->effectiveBounds().width()});
        else
            result.push_back({advance, byte == ' ' || byte == '\t', byte == '\n'});
    }
    return result;
}

// Greedy line filling: spaces hang at the end of a line, words move to the next line whole, and a
// word longer than a line is cut between characters.
class LineFiller {
public:
    LineFiller(double limit, bool breakAnywhere) : limit_(limit), breakAnywhere_(breakAnywhere) {}

    void addWord(const std::vector<Cell>& word) {
        double width = 0;
        for (const Cell& cell : word) width += cell.width;
        if (lineHasContent_ && fits(used_ + width)) {
            used_ += width;
            visible_ = used_;
            return;
        }
        if (lineHasContent_) endLine();
        for (const Cell& cell : word) {
            if (lineHasContent_ && !fits(used_ + cell.width)) endLine();
            used_ += cell.width;
            visible_ = used_;
            lineHasContent_ = true;
        }
    }
    void addSpace(const Cell& cell) {
        if (breakAnywhere_ && lineHasContent_ && !fits(used_ + cell.width)) endLine();
        used_ += cell.width;
    }
    void endLine() {
        lines.push_back(visible_);
        used_ = visible_ = 0;
        lineHasContent_ = false;
    }

    std::vector<double> lines;  // the visible width of each line

private:
    bool fits(double width) const { return width <= limit_ + 1e-9; }

    double limit_;
    bool breakAnywhere_;
    double used_ = 0;
    double visible_ = 0;
    bool lineHasContent_ = false;
};

std::mutex measurerMutex;
std::shared_ptr<const TextMeasurer> installedMeasurer;

}  // namespace

TextMeasurement PangoTextMeasurer::measure(const AttributedString& string, const TextLayoutOptions& options) const {
    return TextLayout::make(string, options).measurement();
}

TextMeasurement FixedAdvanceMeasurer::measure(const AttributedString& string, const TextLayoutOptions& options) const {
    if (string.empty()) return {};
    ParagraphStyle paragraph = string.paragraphStyle().value_or(ParagraphStyle{options.alignment, options.lineBreakMode});
    double limit = std::isnan(options.width) ? 0 : std::max(options.width, 0.0);
    bool breakAnywhere = paragraph.lineBreakMode == LineBreakMode::byCharWrapping;
    LineFiller filler(limit, breakAnywhere);
    std::vector<Cell> word;
    auto flushWord = [&] {
        if (!word.empty()) filler.addWord(word);
        word.clear();
    };
    for (const Cell& cell : cells(string, advance_)) {
        if (cell.lineFeed) {
            flushWord();
            filler.endLine();
        } else if (cell.space) {
            flushWord();
            filler.addSpace(cell);
        } else {
            word.push_back(cell);
            if (breakAnywhere) flushWord();
        }
    }
    flushWord();
    filler.endLine();

    std::vector<double>& lines = filler.lines;
    TextMeasurement result;
    std::size_t lineLimit = options.numberOfLines > 0 ? std::size_t(options.numberOfLines) : lines.size();
    if (lines.size() > lineLimit) {
        lines.resize(lineLimit);
        result.truncated = true;
        if (isTruncatingMode(paragraph.lineBreakMode)) lines.back() = std::min(lines.back() + advance_, limit);
    }
    result.lineCount = int(lines.size());
    result.size = {*std::max_element(lines.begin(), lines.end()), lines.size() * lineHeight_};
    return result;
}

std::shared_ptr<const TextMeasurer> textMeasurer() {
    std::lock_guard lock(measurerMutex);
    if (!installedMeasurer) installedMeasurer = std::make_shared<PangoTextMeasurer>();
    return installedMeasurer;
}

void setTextMeasurer(std::shared_ptr<const TextMeasurer> measurer) {
    std::lock_guard lock(measurerMutex);
    installedMeasurer = std::move(measurer);
}

}  // namespace gfx
