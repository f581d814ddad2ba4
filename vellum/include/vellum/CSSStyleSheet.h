#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "vellum/CSSRuleList.h"

namespace vellum {

class CSSRule;

// A style sheet as a list of style rules. The text form is simple: comments removed, a rule per "}",
// "selector { declarations }"; no at-rules, strings, escapes or nesting.
class CSSStyleSheet {
public:
    CSSStyleSheet() = default;
    explicit CSSStyleSheet(std::string_view text);

    // Inserts "selector { declarations }" at `index` and answers that index; -1 for a text that is
    // not a rule or an index past the end (nothing is inserted then).
    std::int64_t insertRule(std::string_view rule, std::size_t index);
    // Nothing happens past the end.
    void deleteRule(std::size_t index);

    const std::shared_ptr<CSSRuleList>& cssRules() const { return cssRules_; }
    std::shared_ptr<CSSRule> ownerRule() const { return ownerRule_.lock(); }
    void setOwnerRule(const std::shared_ptr<CSSRule>& rule) { ownerRule_ = rule; }

private:
    std::shared_ptr<CSSRuleList> cssRules_ = std::make_shared<CSSRuleList>();
    std::weak_ptr<CSSRule> ownerRule_;
};

}  // namespace vellum
