#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vellum/CSSRuleList.h"

namespace vellum {

class CSSRule;
class VellumParseResult;

// A style sheet as a list of style rules. The text form is simple: comments removed, a rule per "}",
// "selector { declarations }"; no at-rules, strings, escapes or nesting.
class CSSStyleSheet {
public:
    CSSStyleSheet() = default;
    explicit CSSStyleSheet(std::string_view text);
    // Reads at most `ruleLimit` rules of `text`; `leftOutRules()` tells whether there were more.
    CSSStyleSheet(std::string_view text, std::size_t ruleLimit);

    // The style sheets of one document hold at most this many rules between them: a flag needs a
    // handful, and every rule is held and weighed for each element.
    static constexpr std::size_t maximumDocumentRules = 10'000;
    // A sheet read for a document whose sheets hold `heldRules` already, as far as the document's
    // limit; the sheet that reaches the limit files one recoverable error in `result`.
    static std::shared_ptr<CSSStyleSheet> readForDocument(std::string_view text, std::size_t heldRules,
                                                          VellumParseResult& result);
    static std::size_t ruleCount(const std::vector<std::shared_ptr<CSSStyleSheet>>& sheets);
    bool leftOutRules() const { return leftOutRules_; }

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
    bool leftOutRules_ = false;
};

}  // namespace vellum
