#include "CSSSelector.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "foundation/Strings.h"
#include "vellum/CSSRuleList.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/Element.h"
#include "vellum/CSSValue.h"
#include "vellum/SVGElement.h"
#include "vellum/StyleSheetList.h"

namespace vellum {

namespace {

bool isNameCharacter(char character) {
    return std::isalnum(static_cast<unsigned char>(character)) || character == '-' || character == '_' ||
           static_cast<unsigned char>(character) >= 0x80;
}

bool isBlank(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r' || character == '\f';
}

// Reads one group from `text` at `at`, up to a top-level "," or the end; nothing for a group that
// holds syntax it does not understand (it is then skipped to its end).
class GroupReader {
public:
    GroupReader(std::string_view text, std::size_t& at) : text_(text), at_(at) {}

    std::optional<CSSSelectorList::Group> read() {
        CSSSelectorList::Group group;
        std::vector<CSSSelectorList::Compound> leftToRight;
        char pendingCombinator = 0;
        bool valid = true;
        for (;;) {
            const bool blanks = skipBlanks();
            if (atEnd()) break;
            if (text_[at_] == '>') {
                ++at_;
                skipBlanks();
                if (leftToRight.empty() || pendingCombinator == '>') valid = false;
                pendingCombinator = '>';
                continue;
            }
            if (blanks && !leftToRight.empty() && pendingCombinator == 0) pendingCombinator = ' ';
            auto compound = readCompound();
            if (!compound) {
                valid = false;
                skipToGroupEnd();
                break;
            }
            if (!leftToRight.empty()) leftToRight.back().combinator = pendingCombinator;
            pendingCombinator = 0;
            leftToRight.push_back(std::move(*compound));
        }
        if (at_ < text_.size()) ++at_;  // the ","
        if (!valid || leftToRight.empty() || pendingCombinator == '>') return std::nullopt;
        // Stored subject first, each with the combinator to its left.
        for (auto compound = leftToRight.rbegin(); compound != leftToRight.rend(); ++compound) {
            group.specificity += 10000 * static_cast<std::int64_t>(compound->identifiers.size()) +
                                 100 * static_cast<std::int64_t>(compound->classes.size() + compound->attributes.size()) +
                                 (compound->type.empty() ? 0 : 1);
            group.compounds.push_back(std::move(*compound));
        }
        for (std::size_t index = 0; index + 1 < group.compounds.size(); ++index) {
            group.compounds[index].combinator = group.compounds[index + 1].combinator;
        }
        group.compounds.back().combinator = 0;
        return group;
    }

private:
    bool atEnd() const { return at_ >= text_.size() || text_[at_] == ','; }

    bool skipBlanks() {
        const std::size_t start = at_;
        while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
        return at_ != start;
    }

    // To the next "," outside quotes and brackets.
    void skipToGroupEnd() {
        char quote = 0;
        int depth = 0;
        for (; at_ < text_.size(); ++at_) {
            const char character = text_[at_];
            if (quote) {
                if (character == quote) quote = 0;
            } else if (character == '"' || character == '\'') {
                quote = character;
            } else if (character == '[' || character == '(') {
                ++depth;
            } else if ((character == ']' || character == ')') && depth > 0) {
                --depth;
            } else if (character == ',' && depth == 0) {
                return;
            }
        }
    }

    std::string readName() {
        const std::size_t start = at_;
        while (at_ < text_.size() && isNameCharacter(text_[at_])) ++at_;
        return std::string(text_.substr(start, at_ - start));
    }

    std::optional<CSSSelectorList::Compound> readCompound() {
        CSSSelectorList::Compound compound;
        bool any = false;
        if (text_[at_] == '*') {
            ++at_;
            any = true;
        } else if (isNameCharacter(text_[at_])) {
            compound.type = readName();
            any = true;
        }
        while (at_ < text_.size()) {
            const char character = text_[at_];
            if (character == '#' || character == '.') {
                ++at_;
                std::string name = readName();
                if (name.empty()) return std::nullopt;
                (character == '#' ? compound.identifiers : compound.classes).push_back(std::move(name));
            } else if (character == '[') {
                ++at_;
                auto test = readAttributeTest();
                if (!test) return std::nullopt;
                compound.attributes.push_back(std::move(*test));
            } else if (isBlank(character) || character == '>' || character == ',') {
                break;
            } else {
                return std::nullopt;  // pseudo-classes, sibling combinators, stray characters
            }
            any = true;
        }
        if (!any) return std::nullopt;
        return compound;
    }

    // After "[": name, optionally an operator and a value (a name or a quoted text), then "]".
    std::optional<CSSSelectorList::AttributeTest> readAttributeTest() {
        CSSSelectorList::AttributeTest test;
        skipBlanks();
        test.name = readName();
        if (test.name.empty()) return std::nullopt;
        skipBlanks();
        if (at_ >= text_.size()) return std::nullopt;
        if (text_[at_] == ']') {
            ++at_;
            return test;
        }
        if (text_[at_] == '=') {
            test.operation = '=';
            ++at_;
        } else if (std::string_view("~|^$*").find(text_[at_]) != std::string_view::npos && at_ + 1 < text_.size() &&
                   text_[at_ + 1] == '=') {
            test.operation = text_[at_];
            at_ += 2;
        } else {
            return std::nullopt;
        }
        skipBlanks();
        if (at_ >= text_.size()) return std::nullopt;
        if (const char quote = text_[at_]; quote == '"' || quote == '\'') {
            const std::size_t close = text_.find(quote, at_ + 1);
            if (close == std::string_view::npos) return std::nullopt;
            test.value = std::string(text_.substr(at_ + 1, close - at_ - 1));
            at_ = close + 1;
        } else {
            test.value = readName();
            if (test.value.empty()) return std::nullopt;
        }
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != ']') return std::nullopt;
        ++at_;
        return test;
    }

    std::string_view text_;
    std::size_t& at_;
};

// Class lists separate names by blanks, and by commas too (documents in the wild do).
bool hasClass(const Element& element, std::string_view name) {
    if (!element.hasAttribute("class")) return false;
    for (const std::string& piece : foundation::components(element.getAttribute("class"), foundation::CharacterSet(" \t\n\r\f,"))) {
        if (piece == name) return true;
    }
    return false;
}

bool attributeMatches(const Element& element, const CSSSelectorList::AttributeTest& test) {
    if (!element.hasAttribute(test.name)) return false;
    if (test.operation == 0) return true;
    const std::string actual = element.getAttribute(test.name);
    const std::string_view value = test.value;
    switch (test.operation) {
        case '=': return actual == value;
        case '~':
            if (value.empty()) return false;
            for (const std::string& word : foundation::components(actual, foundation::CharacterSet(" \t\n\r\f"))) {
                if (word == value) return true;
            }
            return false;
        case '|': return actual == value || (actual.starts_with(value) && actual.size() > value.size() && actual[value.size()] == '-');
        case '^': return !value.empty() && actual.starts_with(value);
        case '$': return !value.empty() && actual.ends_with(value);
        case '*': return !value.empty() && actual.find(value) != std::string::npos;
        default: return false;
    }
}

bool compoundMatches(const Element& element, const CSSSelectorList::Compound& compound) {
    if (!compound.type.empty() && element.nodeName() != compound.type) return false;
    for (const std::string& identifier : compound.identifiers) {
        if (element.getAttribute("id") != identifier) return false;
    }
    for (const std::string& name : compound.classes) {
        if (!hasClass(element, name)) return false;
    }
    for (const auto& test : compound.attributes) {
        if (!attributeMatches(element, test)) return false;
    }
    return true;
}

std::shared_ptr<const Element> parentElement(const Element& element) {
    return Element::from(element.parentNode());
}

// One element matched against the groups of a list: its ancestors, listed once, and the
// (compound, ancestor) pairs already found to fail. Whether the compounds from one on match at one
// ancestor does not depend on how the walk got there, so each pair is tried at most once and a group
// costs at most compounds x depth tests, however its descendant steps could be combined.
class AncestorWalk {
public:
    explicit AncestorWalk(const Element& element) : subject_(element) {}

    bool matches(const CSSSelectorList::Group& group) {
        if (!compoundMatches(subject_, group.compounds[0])) return false;
        if (group.compounds.size() == 1) return true;
        if (!listed_) {
            for (auto parent = parentElement(subject_); parent; parent = parentElement(*parent)) ancestors_.push_back(parent);
            listed_ = true;
        }
        // Each compound past the subject takes an ancestor of its own.
        if (group.compounds.size() - 1 > ancestors_.size()) return false;
        failed_.assign(group.compounds.size() * ancestors_.size(), false);
        return matchesFrom(group, 1, 0);
    }

private:
    // Compound `index` and those after it against the ancestors from `level` (0 the parent) up, as far as
    // the combinator on its right lets them go.
    bool matchesFrom(const CSSSelectorList::Group& group, std::size_t index, std::size_t level) {
        const bool parentOnly = group.compounds[index - 1].combinator == '>';
        for (; level < ancestors_.size(); ++level) {
            const std::size_t pair = index * ancestors_.size() + level;
            if (!failed_[pair]) {
                if (compoundMatches(*ancestors_[level], group.compounds[index]) &&
                    (index + 1 == group.compounds.size() || matchesFrom(group, index + 1, level + 1))) {
                    return true;
                }
                failed_[pair] = true;
            }
            if (parentOnly) return false;
        }
        return false;
    }

    const Element& subject_;
    std::vector<std::shared_ptr<const Element>> ancestors_;
    bool listed_ = false;
    std::vector<bool> failed_;
};

}  // namespace

CSSSelectorList::CSSSelectorList(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (auto group = GroupReader(text, at).read()) groups_.push_back(std::move(*group));
    }
}

bool CSSSelectorList::matches(const Element& element, std::int64_t& specificity) const {
    std::optional<std::int64_t> best;
    AncestorWalk walk(element);
    for (const Group& group : groups_) {
        if ((!best || group.specificity > *best) && walk.matches(group)) best = group.specificity;
    }
    if (best) specificity += *best;
    return best.has_value();
}

namespace {

// The style rules of a sheet list in cascade order, filed by what their groups' subjects demand first: an
// identifier, else a class, else a type, else nothing. An element need only be matched against the rules
// filed under its own identifier, classes and type and those that demand nothing: 100,000 rules of
// classes it lacks cost it nothing.
class RuleIndex {
public:
    explicit RuleIndex(const StyleSheetList& sheets) {
        for (const auto& sheet : sheets.internalArray()) {
            for (const auto& rule : sheet->cssRules()->internalArray()) {
                const auto* styleRule = dynamic_cast<const CSSStyleRule*>(rule.get());
                if (!styleRule) continue;
                const auto order = static_cast<std::uint32_t>(rules_.size());
                rules_.push_back(styleRule);
                for (const auto& group : styleRule->selectors().groups()) {
                    const CSSSelectorList::Compound& subject = group.compounds.front();
                    auto& filed = !subject.identifiers.empty() ? byIdentifier_[subject.identifiers.front()]
                                  : !subject.classes.empty()   ? byClass_[subject.classes.front()]
                                  : !subject.type.empty()      ? byType_[subject.type]
                                                               : anyElement_;
                    if (filed.empty() || filed.back() != order) filed.push_back(order);
                }
            }
        }
    }

    const CSSStyleRule& rule(std::uint32_t order) const { return *rules_[order]; }

    // The rules that may match the element, in cascade order, each once.
    std::vector<std::uint32_t> candidates(const Element& element) const {
        std::vector<std::uint32_t> found(anyElement_);
        const auto add = [&](const Filed& filed, const std::string& key) {
            if (const auto list = filed.find(key); list != filed.end()) found.insert(found.end(), list->second.begin(), list->second.end());
        };
        if (!byIdentifier_.empty() && element.hasAttribute("id")) add(byIdentifier_, element.getAttribute("id"));
        if (!byClass_.empty() && element.hasAttribute("class")) {
            for (const std::string& name : foundation::components(element.getAttribute("class"), foundation::CharacterSet(" \t\n\r\f,"))) {
                if (!name.empty()) add(byClass_, name);
            }
        }
        if (!byType_.empty()) add(byType_, element.nodeName());
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }

private:
    using Filed = std::unordered_map<std::string, std::vector<std::uint32_t>>;
    std::vector<const CSSStyleRule*> rules_;
    Filed byIdentifier_;
    Filed byClass_;
    Filed byType_;
    std::vector<std::uint32_t> anyElement_;
};

// The index of the sheet list last asked about, kept while the cascade scope it was made in runs (the
// document stays as it is meanwhile); outside a scope it is made for the one question.
const RuleIndex& ruleIndexOf(const StyleSheetList& sheets, std::optional<RuleIndex>& unkept) {
    struct Kept {
        std::uint64_t scope = 0;
        const StyleSheetList* sheets = nullptr;
        std::optional<RuleIndex> index;
    };
    thread_local Kept kept;
    const std::uint64_t scope = SVGElement::CascadeScope::runningNumber();
    if (scope == 0) return unkept.emplace(sheets);
    if (kept.scope != scope || kept.sheets != &sheets || !kept.index) {
        kept.index.reset();
        kept.index.emplace(sheets);
        kept.scope = scope;
        kept.sheets = &sheets;
    }
    return *kept.index;
}

}  // namespace

const std::string* styledValueOfProperty(const CSSStyleDeclaration* inlineStyle, const StyleSheetList* sheets,
                                         const Element& element, std::string_view name) {
    const auto valueText = [&](const CSSStyleDeclaration& declarations) -> const std::string* {
        const auto value = declarations.getPropertyCSSValue(name);
        return value ? &value->cssText() : nullptr;
    };
    const std::string* inlineValue = inlineStyle ? valueText(*inlineStyle) : nullptr;
    if (inlineValue && inlineStyle->getPropertyPriority(name) == "important") return inlineValue;
    const CSSStyleDeclaration* best = nullptr;
    bool bestImportant = false;
    std::int64_t bestSpecificity = -1;
    if (sheets && sheets->length() > 0) {
        std::optional<RuleIndex> unkept;
        const RuleIndex& index = ruleIndexOf(*sheets, unkept);
        // Backwards, so that on a tie the rule met first (the later one) stays.
        const std::vector<std::uint32_t> candidates = index.candidates(element);
        for (auto order = candidates.rbegin(); order != candidates.rend(); ++order) {
            const CSSStyleRule& styleRule = index.rule(*order);
            if (!styleRule.style()->getPropertyCSSValue(name)) continue;
            const bool important = styleRule.style()->getPropertyPriority(name) == "important";
            if (bestImportant && !important) continue;
            std::int64_t specificity = 0;
            if (!styleRule.selectors().matches(element, specificity)) continue;
            if (important != bestImportant || specificity > bestSpecificity) {
                best = styleRule.style().get();
                bestImportant = important;
                bestSpecificity = specificity;
            }
        }
    }
    if (best && (bestImportant || !inlineValue)) return valueText(*best);
    return inlineValue;
}

}  // namespace vellum
