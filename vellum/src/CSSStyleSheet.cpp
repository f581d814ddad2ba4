#include "vellum/CSSStyleSheet.h"

#include "CSSSelector.h"
#include "foundation/Assertion.h"
#include "foundation/Strings.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/StyleSheet.h"

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

CSSStyleSheet::CSSStyleSheet(std::string_view text) {
    for (const std::string& piece : foundation::components(withoutComments(text), "}")) {
        if (piece.size() >= 2) insertRule(piece, cssRules_->length());
    }
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
