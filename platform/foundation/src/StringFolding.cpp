// The Unicode-database half of Strings.h: case, normalisation, folding and grapheme counting, on ICU.
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "foundation/Strings.h"

namespace foundation {
namespace {

icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUTF8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

const icu::Normalizer2& normalizer(UNormalization2Mode mode) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* instance = icu::Normalizer2::getInstance(nullptr, "nfc", mode, status);
    // The NFC data is built into ICU itself; its absence is a broken installation, not bad input.
    if (U_FAILURE(status) || instance == nullptr) std::abort();
    return *instance;
}

icu::UnicodeString normalized(const icu::UnicodeString& text, UNormalization2Mode mode) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString result = normalizer(mode).normalize(text, status);
    return U_SUCCESS(status) ? result : text;
}

icu::UnicodeString withoutCombiningMarks(const icu::UnicodeString& text) {
    icu::UnicodeString decomposed = normalized(text, UNORM2_DECOMPOSE);
    icu::UnicodeString kept;
    for (int32_t index = 0; index < decomposed.length();) {
        UChar32 scalar = decomposed.char32At(index);
        if (u_charType(scalar) != U_NON_SPACING_MARK) kept.append(scalar);
        index += U16_LENGTH(scalar);
    }
    return kept;
}

}  // namespace

std::size_t characterCount(std::string_view text) {
    if (text.empty()) return 0;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return 0;
    icu::UnicodeString unicode = toUnicode(text);
    characters->setText(unicode);
    std::size_t count = 0;
    characters->first();
    while (characters->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

std::string lowercased(std::string_view text) {
    return toUTF8(toUnicode(text).toLower(icu::Locale::getRoot()));
}

std::string uppercased(std::string_view text) {
    return toUTF8(toUnicode(text).toUpper(icu::Locale::getRoot()));
}

std::string capitalized(std::string_view text) {
    // A null break iterator asks ICU for the locale's word iterator.
    return toUTF8(toUnicode(text).toTitle(nullptr, icu::Locale::getRoot()));
}

std::string folding(std::string_view text, FoldingOptions options) {
    icu::UnicodeString unicode = toUnicode(text);
    if (hasOption(options, FoldingOptions::caseInsensitive)) unicode.foldCase();
    if (hasOption(options, FoldingOptions::diacriticInsensitive)) unicode = withoutCombiningMarks(unicode);
    return toUTF8(normalized(unicode, UNORM2_COMPOSE));
}

std::string normalizedNFC(std::string_view text) {
    return toUTF8(normalized(toUnicode(text), UNORM2_COMPOSE));
}

std::string normalizedNFD(std::string_view text) {
    return toUTF8(normalized(toUnicode(text), UNORM2_DECOMPOSE));
}

bool canonicallyEqual(std::string_view left, std::string_view right) {
    if (left == right) return true;
    return normalized(toUnicode(left), UNORM2_COMPOSE) == normalized(toUnicode(right), UNORM2_COMPOSE);
}

}  // namespace foundation
