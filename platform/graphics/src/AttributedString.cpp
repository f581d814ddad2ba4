#include "gfx/AttributedString.h"

#include <algorithm>

#include "foundation/Utf8.h"

namespace gfx {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view objectReplacementCharacter = "\xEF\xBF\xBC";
constexpr std::string_view ellipsis = "\xE2\x80\xA6";

// Each byte of a malformed sequence becomes U+FFFD, and so does a NUL (it would end the text for Pango).
std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t good = 0;  // start of the well-formed stretch not yet copied
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t start = offset;
        const auto lead = static_cast<unsigned char>(text[start]);
        if (lead < 0x80)
            ++offset;
        else
            foundation::utf8::decode(text, offset);
        if (lead == 0 || (lead >= 0x80 && offset - start == 1)) {
            result.append(text.substr(good, start - good));
            result.append(replacementCharacter);
            good = offset;
        }
    }
    result.append(text.substr(good));
    return result;
}

}  // namespace

Size TextAttachment::imageSize() const {
    if (image.empty() || !(imageScale > 0)) return {};
    return {image.width / imageScale, image.height / imageScale};
}

Rect TextAttachment::effectiveBounds() const {
    if (!bounds.isEmpty()) return bounds.standardized();
    return {{0, 0}, imageSize()};
}

AttributedString::AttributedString(std::string_view text, TextAttributes attributes) { append(text, attributes); }

void AttributedString::append(std::string_view text, const TextAttributes& attributes) {
    if (cut_) return;
    // Text kept whole leaves room for the ellipsis. Only what can show is checked: a little more than
    // the room, as a partial character at the end becomes a replacement character.
    const std::size_t room = maximumLength - ellipsis.size() - text_.size();
    std::string valid = validUtf8(text.substr(0, room + replacementCharacter.size()));
    if (valid.size() <= room) {
        appendValid(valid, attributes);
        return;
    }
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(valid[end]) & 0xC0) == 0x80) --end;
    valid.resize(end);
    valid += ellipsis;
    appendValid(valid, attributes);
    cut_ = true;
}

void AttributedString::appendValid(std::string_view valid, const TextAttributes& attributes) {
    if (valid.empty()) return;
    if (!runs_.empty() && !runs_.back().attachment && runs_.back().attributes == attributes) {
        runs_.back().length += valid.size();
    } else {
        runs_.push_back({text_.size(), valid.size(), attributes, nullptr});
    }
    text_ += valid;
}

void AttributedString::append(const AttributedString& other) {
    for (const Run& run : other.runs_) {
        if (run.attachment)
            appendAttachment(run.attachment, run.attributes);
        else
            append(std::string_view(other.text_).substr(run.location, run.length), run.attributes);
    }
}

void AttributedString::appendAttachment(std::shared_ptr<TextAttachment> attachment, const TextAttributes& attributes) {
    if (!attachment || cut_) return;
    if (text_.size() + objectReplacementCharacter.size() > maximumLength - ellipsis.size()) {
        appendValid(ellipsis, attributes);
        cut_ = true;
        return;
    }
    runs_.push_back({text_.size(), objectReplacementCharacter.size(), attributes, std::move(attachment)});
    text_ += objectReplacementCharacter;
}

const AttributedString::Run* AttributedString::runAt(std::size_t offset) const {
    auto found = std::upper_bound(runs_.begin(), runs_.end(), offset,
                                  [](std::size_t value, const Run& run) { return value < run.location; });
    if (found == runs_.begin()) return nullptr;
    const Run& run = *std::prev(found);
    return offset < run.location + run.length ? &run : nullptr;
}

std::optional<ParagraphStyle> AttributedString::paragraphStyle() const {
    for (const Run& run : runs_)
        if (run.attributes.paragraphStyle) return run.attributes.paragraphStyle;
    return std::nullopt;
}

}  // namespace gfx
