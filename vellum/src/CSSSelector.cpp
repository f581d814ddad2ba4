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
        for (std::size_t index = 1; index < group.compounds.size(); ++index) {
            const CSSSelectorList::Compound& compound = group.compounds[index];
            if (!compound.type.empty()) group.ancestorNames.push_back(AncestorFilter::hashOf('t', compound.type));
            for (const auto& name : compound.identifiers) group.ancestorNames.push_back(AncestorFilter::hashOf('#', name));
            for (const auto& name : compound.classes) group.ancestorNames.push_back(AncestorFilter::hashOf('.', name));
        }
        std::sort(group.ancestorNames.begin(), group.ancestorNames.end());
        group.ancestorNames.erase(std::unique(group.ancestorNames.begin(), group.ancestorNames.end()), group.ancestorNames.end());
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
const foundation::CharacterSet& classSeparators() {
    static const foundation::CharacterSet separators(" \t\n\r\f,");
    return separators;
}

// The distinct non-empty pieces of `text`, sorted.
std::vector<std::string> distinctWords(std::string_view text, const foundation::CharacterSet& separators) {
    std::vector<std::string> words = foundation::components(text, separators);
    std::erase_if(words, [](const std::string& word) { return word.empty(); });
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    words.shrink_to_fit();
    return words;
}

bool inSortedWords(const std::vector<std::string>& words, std::string_view word) {
    const auto found = std::lower_bound(words.begin(), words.end(), word, [](const std::string& a, std::string_view b) { return a < b; });
    return found != words.end() && *found == word;
}

std::shared_ptr<const Element> parentElement(const Element& element) {
    return Element::from(element.parentNode());
}

// Whether `needle` occurs in `text`, in time linear in the two lengths (Knuth, Morris and Pratt): for each
// prefix of the needle, the length of its longest proper border (a prefix that is also a suffix); where a
// comparison fails the search goes on from there, never back in the text.
bool containsText(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    if (needle.size() > text.size()) return false;
    std::vector<std::uint32_t> border(needle.size(), 0);
    for (std::size_t at = 1, length = 0; at < needle.size(); ++at) {
        while (length > 0 && needle[at] != needle[length]) length = border[length - 1];
        if (needle[at] == needle[length]) ++length;
        border[at] = static_cast<std::uint32_t>(length);
    }
    for (std::size_t at = 0, matched = 0; at < text.size(); ++at) {
        while (matched > 0 && text[at] != needle[matched]) matched = border[matched - 1];
        if (text[at] == needle[matched] && ++matched == needle.size()) return true;
    }
    return false;
}

// The selector steps a cascade scope has left to test. Once they are spent, no further rule applies in
// the scope, however long it runs.
struct MatchingSteps {
    std::uint64_t scope = 0;
    std::uint64_t left = matchingBudget;
    bool spent = false;

    bool take(std::uint64_t count = 1) {
        if (left < count) {
            left = 0;
            spent = true;
            return false;
        }
        left -= count;
        return true;
    }
};

thread_local MatchingSteps stepsOfRunningScope;

// The running scope's steps; outside a scope a question has steps of its own.
MatchingSteps& matchingSteps(std::optional<MatchingSteps>& unkept) {
    const std::uint64_t scope = SVGElement::CascadeScope::runningNumber();
    if (scope == 0) return unkept.emplace();
    if (stepsOfRunningScope.scope != scope) stepsOfRunningScope = MatchingSteps{scope};
    return stepsOfRunningScope;
}

// One element matched against the groups of lists: its facts and those of its ancestors, the ancestors
// listed once, and the (compound, ancestor) pairs already found to fail. Whether the compounds from one on
// match at one ancestor does not depend on how the walk got there, so each pair is tried at most once and
// a group costs at most compounds x depth tests, however its descendant steps could be combined; and a group
// demanding a name the ancestor filter lacks costs none.
class SubjectMatch {
public:
    SubjectMatch(const Element& subject, MatchingSteps& steps)
        : subject_(subject), subjectFacts_(factsOf(subject)), steps_(steps) {}

    const ElementMatchFacts& subjectFacts() const { return subjectFacts_; }

    bool matches(const CSSSelectorList& list, std::int64_t& specificity) {
        std::optional<std::int64_t> best;
        for (const auto& group : list.groups()) {
            if ((!best || group.specificity > *best) && matches(group)) best = group.specificity;
        }
        if (best) specificity += *best;
        return best.has_value();
    }

private:
    // An element's facts: its record's in a cascade scope, else made for this question.
    ElementMatchFacts& factsOf(const Element& element) {
        if (const SVGElement* svgElement = SVGElement::from(&element)) {
            if (ElementMatchFacts* kept = svgElement->matchFactsInScope()) return *kept;
        }
        return *unkept_.emplace_back(std::make_unique<ElementMatchFacts>(element));
    }

    bool matches(const CSSSelectorList::Group& group) {
        if (!steps_.take(weightOf(group.compounds[0])) || !compoundMatches(subject_, subjectFacts_, group.compounds[0])) return false;
        if (group.compounds.size() == 1) return true;
        const AncestorFilter& filter = ancestorFilter();
        for (const std::uint32_t name : group.ancestorNames) {
            if (!filter.mayContain(name)) return false;
        }
        if (!listAncestors()) return false;
        // Each compound past the subject takes an ancestor of its own.
        if (group.compounds.size() - 1 > ancestors_.size()) return false;
        failed_.assign(group.compounds.size() * ancestors_.size(), false);
        searchedFrom_.assign(group.compounds.size(), ancestors_.size());
        return matchesFrom(group, 1, 0);
    }

    // Compound `index` and those after it against the ancestors from `level` (0 the parent) up, as far as
    // the combinator on its right lets them go. A search up from one level that failed fails from any
    // level above it too, so a compound's searches together pass each ancestor once.
    bool matchesFrom(const CSSSelectorList::Group& group, std::size_t index, std::size_t level) {
        const bool parentOnly = group.compounds[index - 1].combinator == '>';
        const std::size_t end = parentOnly ? std::min(level + 1, ancestors_.size()) : searchedFrom_[index];
        for (std::size_t at = level; at < end; ++at) {
            const std::size_t pair = index * ancestors_.size() + at;
            if (failed_[pair]) continue;
            if (!steps_.take(weightOf(group.compounds[index]))) return false;
            if (compoundMatches(*ancestors_[at].element, *ancestors_[at].facts, group.compounds[index]) &&
                (index + 1 == group.compounds.size() || matchesFrom(group, index + 1, at + 1))) {
                return true;
            }
            failed_[pair] = true;
        }
        if (!parentOnly) searchedFrom_[index] = std::min(searchedFrom_[index], level);
        return false;
    }

    // A compound's tests, as the budget counts them.
    static std::uint64_t weightOf(const CSSSelectorList::Compound& compound) {
        return 1 + compound.identifiers.size() + compound.classes.size() + compound.attributes.size();
    }

    static bool compoundMatches(const Element& element, ElementMatchFacts& facts, const CSSSelectorList::Compound& compound) {
        if (!compound.type.empty() && element.nodeName() != compound.type) return false;
        if (!compound.identifiers.empty()) {
            const std::string_view identifier = element.findAttributeValue("id").value_or("");
            for (const std::string& wanted : compound.identifiers) {
                if (identifier != wanted) return false;
            }
        }
        for (const std::string& name : compound.classes) {
            if (!facts.hasClass(name)) return false;
        }
        for (const auto& test : compound.attributes) {
            if (!attributeMatches(element, facts, test)) return false;
        }
        return true;
    }

    static bool attributeMatches(const Element& element, ElementMatchFacts& facts, const CSSSelectorList::AttributeTest& test) {
        const auto actual = element.findAttributeValue(test.name);
        if (!actual) return false;
        const std::string_view value = test.value;
        switch (test.operation) {
            case 0: return true;
            case '=': return *actual == value;
            case '~': return !value.empty() && facts.hasWord(element, test.name, value);
            // Reads no more of the attribute than the value's length.
            case '|': return actual->starts_with(value) && (actual->size() == value.size() || (*actual)[value.size()] == '-');
            case '^': return !value.empty() && actual->starts_with(value);
            case '$': return !value.empty() && actual->ends_with(value);
            case '*': return !value.empty() && containsText(*actual, value);
            default: return false;
        }
    }

    // The subject's ancestor filter. Worked out up to the nearest element that knows its own, then down
    // again, each its parent's with the parent's names: in a scope every element's is made once.
    const AncestorFilter& ancestorFilter() {
        if (subjectFacts_.ancestors) return *subjectFacts_.ancestors;
        std::vector<Listed> chain{{nullptr, &subjectFacts_}};
        AncestorFilter filter;
        for (const Element* at = &subject_;;) {
            auto parent = parentElement(*at);
            if (!parent) break;
            at = parent.get();
            ElementMatchFacts& facts = factsOf(*parent);
            if (facts.ancestors) {
                filter = *facts.ancestors;
                filter.addNamesOf(*parent, facts.classNames());
                break;
            }
            chain.push_back({std::move(parent), &facts});
        }
        for (std::size_t index = chain.size(); index-- > 0;) {
            chain[index].facts->ancestors = filter;
            if (index > 0) filter.addNamesOf(*chain[index].element, chain[index].facts->classNames());
        }
        return *subjectFacts_.ancestors;
    }

    // Lists the ancestors once, each a step: false when the steps ran out.
    bool listAncestors() {
        if (listed_) return true;
        for (auto parent = parentElement(subject_); parent; parent = parentElement(*parent)) {
            if (!steps_.take()) return false;
            ElementMatchFacts& facts = factsOf(*parent);
            ancestors_.push_back({parent, &facts});
        }
        listed_ = true;
        return true;
    }

    struct Listed {
        std::shared_ptr<const Element> element;
        ElementMatchFacts* facts;
    };

    const Element& subject_;
    std::vector<std::unique_ptr<ElementMatchFacts>> unkept_;  // outside a scope; empty, it costs nothing
    ElementMatchFacts& subjectFacts_;
    MatchingSteps& steps_;
    std::vector<Listed> ancestors_;
    bool listed_ = false;
    std::vector<bool> failed_;
    std::vector<std::size_t> searchedFrom_;  // by compound: the lowest level a failed search began at
};

}  // namespace

std::uint32_t AncestorFilter::hashOf(char kind, std::string_view name) {
    std::uint32_t hash = 2166136261u;
    const auto mix = [&](unsigned char byte) { hash = (hash ^ byte) * 16777619u; };
    mix(static_cast<unsigned char>(kind));
    for (const char character : name) mix(static_cast<unsigned char>(character));
    hash ^= hash >> 16;
    hash *= 0x85ebca6bu;
    hash ^= hash >> 13;
    return hash;
}

void AncestorFilter::addNamesOf(const Element& element, const std::vector<std::string>& classNames) {
    add(hashOf('t', element.nodeName()));
    if (const auto identifier = element.findAttributeValue("id"); identifier && !identifier->empty()) add(hashOf('#', *identifier));
    for (const std::string& name : classNames) add(hashOf('.', name));
}

ElementMatchFacts::ElementMatchFacts(const Element& element) {
    if (const auto classes = element.findAttributeValue("class")) classes_ = distinctWords(*classes, classSeparators());
}

bool ElementMatchFacts::hasClass(std::string_view name) const { return inSortedWords(classes_, name); }

bool ElementMatchFacts::hasWord(const Element& element, std::string_view attribute, std::string_view word) {
    auto words = words_.find(attribute);
    if (words == words_.end()) {
        static const foundation::CharacterSet blanks(" \t\n\r\f");
        words = words_.emplace(std::string(attribute), distinctWords(element.findAttributeValue(attribute).value_or(""), blanks)).first;
    }
    return inSortedWords(words->second, word);
}

bool matchingBudgetSpentInScope() {
    const std::uint64_t scope = SVGElement::CascadeScope::runningNumber();
    return scope != 0 && stepsOfRunningScope.scope == scope && stepsOfRunningScope.spent;
}

CSSSelectorList::CSSSelectorList(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (auto group = GroupReader(text, at).read()) groups_.push_back(std::move(*group));
    }
}

bool CSSSelectorList::matches(const Element& element, std::int64_t& specificity) const {
    std::optional<MatchingSteps> unkept;
    return SubjectMatch(element, matchingSteps(unkept)).matches(*this, specificity);
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

    // The rules that may match the element, in cascade order, each once: a class named many times is
    // looked up once.
    std::vector<std::uint32_t> candidates(const Element& element, const ElementMatchFacts& facts) const {
        std::vector<std::uint32_t> found(anyElement_);
        const auto add = [&](const Filed& filed, const std::string& key) {
            if (const auto list = filed.find(key); list != filed.end()) found.insert(found.end(), list->second.begin(), list->second.end());
        };
        if (!byIdentifier_.empty()) {
            if (const auto identifier = element.findAttributeValue("id")) add(byIdentifier_, std::string(*identifier));
        }
        if (!byClass_.empty()) {
            for (const std::string& name : facts.classNames()) add(byClass_, name);
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
        std::optional<MatchingSteps> unkeptSteps;
        SubjectMatch match(element, matchingSteps(unkeptSteps));
        const std::vector<std::uint32_t> candidates = index.candidates(element, match.subjectFacts());
        // Backwards, so that on a tie the rule met first (the later one) stays.
        for (auto order = candidates.rbegin(); order != candidates.rend(); ++order) {
            const CSSStyleRule& styleRule = index.rule(*order);
            if (!styleRule.style()->getPropertyCSSValue(name)) continue;
            const bool important = styleRule.style()->getPropertyPriority(name) == "important";
            if (bestImportant && !important) continue;
            std::int64_t specificity = 0;
            if (!match.matches(styleRule.selectors(), specificity)) continue;
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
