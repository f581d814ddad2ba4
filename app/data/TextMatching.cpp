#include "data/TextMatching.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace {

icu::UnicodeString unicodeText(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

}  // namespace

std::string lowercasedText(std::string_view text) {
    std::string result;
    unicodeText(text).toLower(icu::Locale::getRoot()).toUTF8String(result);
    return result;
}

bool canonicallyEqual(std::string_view left, std::string_view right) {
    if (left == right) return true;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return false;
    icu::UnicodeString normalLeft = nfc->normalize(unicodeText(left), status);
    icu::UnicodeString normalRight = nfc->normalize(unicodeText(right), status);
    return U_SUCCESS(status) && normalLeft == normalRight;
}
