#include "vellum/CSSStyleSheet.h"

#include <cstdint>

#include "CSSSelector.h"
#include "foundation/Assertion.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/StyleSheet.h"
#include "vellum/VellumError.h"
#include "vellum/VellumParseResult.h"

namespace vellum {

namespace {

// Removes each "/* ... */" (the shortest run, across lines); an unterminated comment stays.
std::string withoutComments(std::string_view text) {
    std::string result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t open = text.find("/*", start);
        const std::size_t close = open == std::string_view::npos ? open : text.find("*/", open + 2);
        if (close == std::string_view::npos) {
            result += text.substr(start);
            return result;
        }
        result += text.substr(start, open - start);
        start = close + 2;
    }
}

}  // namespace

CSSStyleSheet::CSSStyleSheet(std::string_view text) : CSSStyleSheet(text, SIZE_MAX) {}

CSSStyleSheet::CSSStyleSheet(std::string_view text, std::size_t ruleLimit) {
    for (const std::string& piece : foundation::components(withoutComments(text), "}")) {
        if (piece.size() < 2) continue;
        if (cssRules_->length() >= ruleLimit) {
            leftOutRules_ = true;
            return;
        }
        insertRule(piece, cssRules_->length());
    }
}

std::shared_ptr<CSSStyleSheet> CSSStyleSheet::readForDocument(std::string_view text, std::size_t heldRules,
                                                              VellumParseResult& result) {
    const std::size_t room = heldRules < maximumDocumentRules ? maximumDocumentRules - heldRules : 0;
    auto sheet = std::make_shared<CSSStyleSheet>(text, room);
    if (sheet->leftOutRules() && room > 0) {
        result.addParseErrorRecoverable(VellumError::make(
            "Vellum", 1,
            foundation::format("A document keeps its first %lu style rules; the rest are skipped",
                               static_cast<unsigned long>(maximumDocumentRules))));
    }
    return sheet;
}

std::size_t CSSStyleSheet::ruleCount(const std::vector<std::shared_ptr<CSSStyleSheet>>& sheets) {
    std::size_t count = 0;
    for (const auto& sheet : sheets) count += sheet ? sheet->cssRules()->length() : 0;
    return count;
}

std::int64_t CSSStyleSheet::insertRule(std::string_view rule, std::size_t index) {
    auto& rules = cssRules_->internalArray();
    if (index > rules.size()) return -1;
    const std::vector<std::string> parts = foundation::components(foundation::trimmingWhitespaceAndNewlines(rule), "{");
    if (parts.size() < 2) return -1;  // "No idea what to do here": not a rule
    // A whole rule given directly still carries its closing brace.
    std::string_view declarations = parts[1];
    declarations = declarations.substr(0, declarations.find('}'));
    auto styleRule = std::make_shared<CSSStyleRule>(parts[0], std::string(declarations));
    rules.insert(rules.begin() + static_cast<std::ptrdiff_t>(index), std::move(styleRule));
    return static_cast<std::int64_t>(index);
}

void CSSStyleSheet::deleteRule(std::size_t index) {
    auto& rules = cssRules_->internalArray();
    if (index < rules.size()) rules.erase(rules.begin() + static_cast<std::ptrdiff_t>(index));
}

std::shared_ptr<CSSRule> CSSRuleList::item(std::size_t index) const {
    return index < internalArray_.size() ? internalArray_[index] : nullptr;
}

std::string CSSRuleList::description() const {
    std::string items;
    for (const auto& rule : internalArray_) {
        if (!items.empty()) items += ", ";
        auto style = std::dynamic_pointer_cast<CSSStyleRule>(rule);
        items += style ? style->description() : rule->cssText();
    }
    return "CSSRuleList: array(" + items + ")";
}

CSSStyleRule::CSSStyleRule(std::string selectorText, std::string styleText)
    : style_(std::make_shared<CSSStyleDeclaration>()) {
    setSelectorText(std::move(selectorText));
    style_->setCssText(std::move(styleText));
}

void CSSStyleRule::setSelectorText(std::string text) {
    selectors_ = std::make_shared<const CSSSelectorList>(text);
    selectorText_ = std::move(text);
}

std::string CSSStyleRule::description() const { return selectorText_ + " : { " + style_->description() + " }"; }

std::string MediaList::item(std::uint64_t) const { foundation::raiseAssertion("Not implemented yet"); }

void MediaList::deleteMedium(const std::string&) { foundation::raiseAssertion("Not implemented yet"); }

void MediaList::appendMedium(const std::string&) { foundation::raiseAssertion("Not implemented yet"); }

}  // namespace vellum
