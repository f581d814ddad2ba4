#pragma once

#include <memory>
#include <string>

#include "vellum/CSSRule.h"
#include "vellum/CSSStyleDeclaration.h"

namespace vellum {

class CSSSelectorList;

// A selector, kept as written (and read once for matching), and its declarations.
class CSSStyleRule : public CSSRule {
public:
    CSSStyleRule(std::string selectorText, std::string styleText);

    const std::string& selectorText() const { return selectorText_; }
    void setSelectorText(std::string text);
    const CSSSelectorList& selectors() const { return *selectors_; }
    // The same, shared: a holder keeps it though the selector text is set again.
    const std::shared_ptr<const CSSSelectorList>& sharedSelectors() const { return selectors_; }
    const std::shared_ptr<CSSStyleDeclaration>& style() const { return style_; }
    void setStyle(std::shared_ptr<CSSStyleDeclaration> style) { style_ = std::move(style); }

    std::string description() const;

private:
    std::string selectorText_;
    std::shared_ptr<const CSSSelectorList> selectors_;
    std::shared_ptr<CSSStyleDeclaration> style_;
};

}  // namespace vellum
