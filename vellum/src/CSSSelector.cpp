#include "CSSSelector.h"

#include <algorithm>
#include <cctype>
#include <tuple>
#include <unordered_map>

#include "ScopeWork.h"
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

// The hash a property name is filed under in matched declarations.
std::uint64_t propertyHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char character : name) hash = (hash ^ static_cast<unsigned char>(character)) * 1099511628211ull;
    return hash;
}

// Work is counted in units of about a nanosecond of matching on this kind of machine: a character read or
// a byte kept is one, a selector test (a part of a compound, a candidate rule, an ancestor walked) sixteen,
// a rule's declaration read (once a scope) thirty-two, a declaration merged among a set of matched rules'
// (once a distinct set) eight.
constexpr std::uint64_t unitsATest = 16;
constexpr std::uint64_t unitsADeclaration = 32;
constexpr std::uint64_t unitsAMerge = 8;

// A compound's tests, as the work is counted: the characters an attribute test reads are counted apart.
std::uint64_t weightOf(const CSSSelectorList::Compound& compound) {
    return unitsATest * (1 + compound.identifiers.size() + compound.classes.size() + compound.attributes.size());
}

bool compoundMatches(const Element& element, ElementMatchFacts& facts, const CSSSelectorList::Compound& compound) {
    if (!takeScopeWork(weightOf(compound))) return false;
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
        if (!facts.attributeMatches(element, test)) return false;
    }
    return true;
}

}  // namespace

// The style rules of a sheet list in cascade order, filed by what their groups' subjects demand first: an
// identifier, else a class, else a type, else nothing. An element need only be matched against the rules
// filed under its own identifier, classes and type and those that demand nothing: 100,000 rules of
// classes it lacks cost it nothing. It holds the sheets, their rules and the rules' selectors, so that what
// points into it stays valid whatever is done to the sheets meanwhile, and so that it can tell whether a
// list still holds just these: then a later scope takes it as it is (a question asked outside a layer
// build has a scope of its own, and must not file every rule again). The names of a rule's declarations
// are read once in each scope, when the rule first matches there, however many elements it matches.
class RuleIndex {
public:
    struct Rule {
        std::shared_ptr<const CSSStyleRule> rule;
        std::shared_ptr<const CSSSelectorList> selectors;
    };

    explicit RuleIndex(const StyleSheetList& sheets) : sheets_(&sheets) {
        for (const auto& sheet : sheets.internalArray()) {
            heldSheets_.push_back(sheet);
            shape_.push_back(address(sheet.get()));
            shape_.push_back(sheet ? sheet->cssRules()->length() : 0);
            if (!sheet) continue;
            for (const auto& anyRule : sheet->cssRules()->internalArray()) {
                auto styleRule = std::dynamic_pointer_cast<const CSSStyleRule>(anyRule);
                heldRules_.push_back(anyRule);
                shape_.push_back(address(anyRule.get()));
                shape_.push_back(styleRule ? address(styleRule->sharedSelectors().get()) : 0);
                if (!styleRule) continue;
                const auto order = static_cast<std::uint32_t>(rules_.size());
                const Rule& rule = rules_.emplace_back(Rule{styleRule, styleRule->sharedSelectors()});
                for (const auto& group : rule.selectors->groups()) {
                    const CSSSelectorList::Compound& subject = group.compounds.front();
                    subjectsTestIdentifiers_ |= !subject.identifiers.empty();
                    subjectsTestClasses_ |= !subject.classes.empty();
                    auto& filed = !subject.identifiers.empty() ? byIdentifier_[subject.identifiers.front()]
                                  : !subject.classes.empty()   ? byClass_[subject.classes.front()]
                                  : !subject.type.empty()      ? byType_[subject.type]
                                                               : anyElement_;
                    if (filed.empty() || filed.back() != order) filed.push_back(order);
                }
            }
        }
        declarations_.resize(rules_.size());
    }

    const StyleSheetList* sheets() const { return sheets_; }
    const Rule& rule(std::uint32_t order) const { return rules_[order]; }
    // Whether any group's subject asks for an identifier, or for a class: else elements differing only
    // there match alike.
    bool subjectsTestIdentifiers() const { return subjectsTestIdentifiers_; }
    bool subjectsTestClasses() const { return subjectsTestClasses_; }

    // Whether `sheets` is the list this was made from and holds the same sheets, rules and selectors: a
    // walk of its rules, comparing addresses (those of what this holds name nothing else meanwhile).
    bool describes(const StyleSheetList& sheets) const {
        if (&sheets != sheets_) return false;
        const std::uintptr_t* at = shape_.data();
        const std::uintptr_t* const end = at + shape_.size();
        for (const auto& sheet : sheets.internalArray()) {
            if (end - at < 2 || at[0] != address(sheet.get())) return false;
            const std::uintptr_t count = at[1];
            at += 2;
            if (!sheet) continue;
            const auto& rules = sheet->cssRules()->internalArray();
            if (rules.size() != count || static_cast<std::size_t>(end - at) < 2 * count) return false;
            for (const auto& anyRule : rules) {
                if (at[0] != address(anyRule.get())) return false;
                // The same rule object: a style rule still, whose selector text may have been set again.
                if (at[1] != 0 && at[1] != address(static_cast<const CSSStyleRule&>(*anyRule).sharedSelectors().get())) return false;
                at += 2;
            }
        }
        return at == end;
    }

    // The rule's declarations as matching files them (property hash, importance), read once a scope.
    const std::vector<std::pair<std::uint64_t, bool>>& declarationsOf(std::uint32_t order) const {
        const std::uint64_t scope = SVGElement::CascadeScope::runningNumber();
        if (scope != declarationsScope_) {
            for (const std::uint32_t read : declarationsRead_) declarations_[read].reset();
            declarationsRead_.clear();
            declarationsScope_ = scope;
        }
        auto& declarations = declarations_[order];
        if (!declarations) {
            declarationsRead_.push_back(order);
            auto& read = declarations.emplace();
            if (const auto& style = rules_[order].rule->style()) {
                for (const auto& [name, value] : style->internalDictionaryOfStylesByCSSClass()) {
                    read.emplace_back(propertyHash(name), style->isImportant(name));
                }
            }
            takeScopeWork(unitsADeclaration * read.size());
        }
        return *declarations;
    }

    // The rules that may match the element, in cascade order, each once: a class named many times is
    // looked up once. Empty once the scope's work is spent.
    std::vector<std::uint32_t> candidates(const Element& element, const ElementMatchFacts& facts) const {
        if (!takeScopeWork(unitsATest * (1 + facts.classNames().size()))) return {};
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
        if (!takeScopeWork(unitsATest * found.size())) return {};
        return found;
    }

private:
    using Filed = std::unordered_map<std::string, std::vector<std::uint32_t>>;
    static std::uintptr_t address(const void* object) { return reinterpret_cast<std::uintptr_t>(object); }
    const StyleSheetList* sheets_;  // what it was made from, compared only
    std::vector<std::shared_ptr<const CSSStyleSheet>> heldSheets_;
    std::vector<std::shared_ptr<const CSSRule>> heldRules_;
    // The list as it was, in order: each sheet and its rule count, then its rules, each with its selectors
    // (0 for a rule that is no style rule).
    std::vector<std::uintptr_t> shape_;
    std::vector<Rule> rules_;
    Filed byIdentifier_;
    Filed byClass_;
    Filed byType_;
    std::vector<std::uint32_t> anyElement_;
    bool subjectsTestIdentifiers_ = false;
    bool subjectsTestClasses_ = false;
    mutable std::uint64_t declarationsScope_ = 0;
    mutable std::vector<std::optional<std::vector<std::pair<std::uint64_t, bool>>>> declarations_;
    mutable std::vector<std::uint32_t> declarationsRead_;
};

struct ElementMatchFacts::SubjectRules {
    std::shared_ptr<const RuleIndex> index;
    // A group by its rule's place in the index and its own in the rule.
    struct Group {
        std::uint32_t order;
        std::uint32_t group;
    };
    // The groups whose subject compound the element matches, in cascade order.
    std::vector<Group> groups;

    const CSSSelectorList::Group& group(const Group& at) const { return index->rule(at.order).selectors->groups()[at.group]; }
    bool dependsOnAncestors = false;
    // Whether a candidate's subject tested attributes other than the identifier and classes.
    bool testsAttributes = false;
    // When they do not depend on the ancestors (null for none).
    std::shared_ptr<const MatchedDeclarations> declarations;
};

namespace {

// One element matched, where it stands, against groups: its state and its ancestors', the ancestors listed
// once, and the (compound, ancestor) pairs already found to fail. Whether the compounds from one on match
// at one ancestor does not depend on how the walk got there, so each pair is tried at most once and
// a group costs at most its compounds times the ancestors.
class SubjectMatch {
public:
    SubjectMatch(const Element& subject, ElementMatchState state) : subject_(subject), state_(state) {}

    bool subjectMatches(const CSSSelectorList::Compound& compound) {
        return compoundMatches(subject_, *state_.facts, compound);
    }

    // Whether the group matches; its subject compound is tested unless it is known to match.
    bool matches(const CSSSelectorList::Group& group, bool subjectKnown) {
        if (!subjectKnown && !subjectMatches(group.compounds[0])) return false;
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

private:
    // Compound `index` and those after it against the ancestors from `level` (0 the parent) up, as far as
    // the combinator on its right lets them go. A search up from one level that failed fails from any
    // level above it too, so a compound's searches together pass each ancestor once.
    bool matchesFrom(const CSSSelectorList::Group& group, std::size_t index, std::size_t level) {
        const bool parentOnly = group.compounds[index - 1].combinator == '>';
        const std::size_t end = parentOnly ? std::min(level + 1, ancestors_.size()) : searchedFrom_[index];
        for (std::size_t at = level; at < end; ++at) {
            const std::size_t pair = index * ancestors_.size() + at;
            if (failed_[pair]) continue;
            if (compoundMatches(*ancestors_[at].element, *ancestors_[at].facts, group.compounds[index]) &&
                (index + 1 == group.compounds.size() || matchesFrom(group, index + 1, at + 1))) {
                return true;
            }
            if (scopeWorkSpent()) return false;
            failed_[pair] = true;
        }
        if (!parentOnly) searchedFrom_[index] = std::min(searchedFrom_[index], level);
        return false;
    }

    // The subject's ancestors' names. Worked out up to the nearest ancestor that knows its own where it
    // stands, then down again, each its parent's with the parent's own names: in a scope an element's is
    // made once where it stands.
    const AncestorFilter& ancestorFilter() {
        if (state_.placed && state_.placed->ancestorNames) return *state_.placed->ancestorNames;
        if (unplacedFilter_) return *unplacedFilter_;
        std::vector<ElementMatchState> chain;
        std::vector<std::shared_ptr<const Element>> held;  // what the chain points into stays
        AncestorFilter filter;
        for (auto parent = parentElement(subject_); parent; parent = parentElement(*parent)) {
            const ElementMatchState state = matchStateInScope(*parent);
            if (state.placed && state.placed->ancestorNames) {
                filter = *state.placed->ancestorNames;
                filter.addAll(state.facts->ownNames());
                break;
            }
            chain.push_back(state);
            held.push_back(parent);
        }
        // A walk the document's depth bounds; counted, though a spent scope stops at the next test anyway.
        takeScopeWork(unitsATest * chain.size());
        for (std::size_t index = chain.size(); index-- > 0;) {
            if (chain[index].placed) chain[index].placed->ancestorNames = filter;
            filter.addAll(chain[index].facts->ownNames());
        }
        if (state_.placed) return *(state_.placed->ancestorNames = filter);
        return *(unplacedFilter_ = filter);
    }

    // Lists the ancestors once, each a unit of work: false when the scope's work ran out.
    bool listAncestors() {
        if (listed_) return true;
        for (auto parent = parentElement(subject_); parent; parent = parentElement(*parent)) {
            if (!takeScopeWork(unitsATest)) return false;
            ElementMatchFacts* facts = matchStateInScope(*parent).facts;
            ancestors_.push_back({parent, facts});
        }
        listed_ = true;
        return true;
    }

    struct Listed {
        std::shared_ptr<const Element> element;
        ElementMatchFacts* facts;
    };

    const Element& subject_;
    ElementMatchState state_;
    std::optional<AncestorFilter> unplacedFilter_;
    std::vector<Listed> ancestors_;
    bool listed_ = false;
    std::vector<bool> failed_;
    std::vector<std::size_t> searchedFrom_;  // by compound: the lowest level a failed search began at
};

// The rule index of a sheet list in the running scope: one a scope, taken from an earlier scope of the
// thread while the list holds the same rules.
const std::shared_ptr<const RuleIndex>& ruleIndexInScope(const StyleSheetList& sheets) {
    auto& kept = matchingInScope().indexes;
    auto found = kept.find(&sheets);
    if (found != kept.end()) return found->second;
    thread_local std::array<std::shared_ptr<const RuleIndex>, 4> recent;
    auto reusable = std::find_if(recent.begin(), recent.end(), [&](const auto& index) { return index && index->describes(sheets); });
    if (reusable == recent.end()) {
        // The least recently made goes.
        std::rotate(recent.begin(), recent.end() - 1, recent.end());
        recent.front() = std::make_shared<const RuleIndex>(sheets);
        reusable = recent.begin();
    }
    return kept.emplace(&sheets, *reusable).first->second;
}

// The rules of `groups` that match (all of them, when none asks about ancestors), each with the weight
// of its most specific matching group. The groups of one rule stand together.
std::vector<std::pair<std::uint32_t, std::int64_t>> matchingRules(const ElementMatchFacts::SubjectRules& subject,
                                                                  SubjectMatch* placed) {
    std::vector<std::pair<std::uint32_t, std::int64_t>> rules;
    for (const auto& at : subject.groups) {
        const CSSSelectorList::Group& group = subject.group(at);
        if (placed && (!takeScopeWork(unitsATest) || !placed->matches(group, true))) continue;
        if (!rules.empty() && rules.back().first == at.order) {
            rules.back().second = std::max(rules.back().second, group.specificity);
        } else {
            rules.emplace_back(at.order, group.specificity);
        }
    }
    return rules;
}

// The declarations of a set of matched rules (index order, specificity), merged once a scope however many
// elements match just these: null for none.
std::shared_ptr<const MatchedDeclarations> declarationsOfRules(const std::shared_ptr<const RuleIndex>& index,
                                                               const std::vector<std::pair<std::uint32_t, std::int64_t>>& rules) {
    if (rules.empty()) return nullptr;
    const RuleIndex* indexKey = index.get();
    std::string key(reinterpret_cast<const char*>(&indexKey), sizeof indexKey);
    for (const auto& [order, specificity] : rules) {
        key.append(reinterpret_cast<const char*>(&order), sizeof order);
        key.append(reinterpret_cast<const char*>(&specificity), sizeof specificity);
    }
    // The key is written and hashed, a unit a byte.
    if (!takeScopeWork(key.size())) return nullptr;
    auto& merged = matchingInScope().declarationsOfRules;
    if (const auto found = merged.find(key); found != merged.end()) return found->second;
    auto declarations = std::make_shared<MatchedDeclarations>();
    declarations->fileRules(index, rules);
    // What a spent scope left unmerged is not kept.
    if (scopeWorkSpent()) return nullptr;
    return merged.emplace(std::move(key), std::move(declarations)).first->second;
}

}  // namespace

MatchedDeclarations::Found MatchedDeclarations::find(std::string_view name) const {
    if (entries_.empty()) return {};
    const std::uint64_t hash = propertyHash(name);
    auto at = std::lower_bound(entries_.begin(), entries_.end(), hash,
                               [](const Entry& entry, std::uint64_t wanted) { return entry.name < wanted; });
    if (at == entries_.end() || at->name != hash) return {};
    // Read from its rule now (a sheet changed meanwhile may have taken it away).
    const auto& style = index_->rule(at->order).rule->style();
    const auto value = style ? style->getPropertyCSSValue(name) : nullptr;
    return value ? Found{&value->cssText(), at->important} : Found{};
}

void MatchedDeclarations::fileRules(const std::shared_ptr<const RuleIndex>& index,
                                    const std::vector<std::pair<std::uint32_t, std::int64_t>>& rules) {
    index_ = index;
    entries_.clear();
    std::size_t declarations = 0;
    for (const auto& [order, specificity] : rules) declarations += index->declarationsOf(order).size();
    // Merged whole or not at all: a set cut short would give an element a losing rule's value.
    if (scopeWorkSpent() || !takeScopeWork(unitsATest * rules.size() + unitsAMerge * declarations)) return;
    // Each property's winner, in an open table at most half full: only the winners are kept, however many
    // rules match, and no sort of all the declarations is needed.
    std::size_t size = 16;
    while (size < 2 * declarations) size *= 2;
    std::vector<Entry> table(size, Entry{0, false, 0, 0});
    std::vector<bool> used(size, false);
    const auto beats = [](const Entry& a, const Entry& b) {
        return std::tie(a.important, a.specificity, a.order) > std::tie(b.important, b.specificity, b.order);
    };
    for (const auto& [order, specificity] : rules) {
        for (const auto& [name, important] : index->declarationsOf(order)) {
            const Entry entry{name, important, specificity, order};
            std::size_t slot = name & (size - 1);
            while (used[slot] && table[slot].name != name) slot = (slot + 1) & (size - 1);
            if (!used[slot] || beats(entry, table[slot])) table[slot] = entry;
            used[slot] = true;
        }
    }
    for (std::size_t slot = 0; slot < size; ++slot) {
        if (used[slot]) entries_.push_back(table[slot]);
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    takeScopeWork(entries_.size() * sizeof(Entry));
}

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

ElementMatchFacts::ElementMatchFacts(const Element& element) {
    ownNames_.add(AncestorFilter::hashOf('t', element.nodeName()));
    if (const auto identifier = element.findAttributeValue("id"); identifier && !identifier->empty()) {
        ownNames_.add(AncestorFilter::hashOf('#', *identifier));
    }
    // Read once, however often the element is copied: a spent scope matches nothing more anyway.
    if (const auto classes = element.findAttributeValue("class"); classes && takeScopeWork(classes->size())) {
        classes_ = distinctWords(*classes, classSeparators());
    }
    for (const std::string& name : classes_) ownNames_.add(AncestorFilter::hashOf('.', name));
}

ElementMatchFacts::~ElementMatchFacts() = default;

bool ElementMatchFacts::hasClass(std::string_view name) const { return inSortedWords(classes_, name); }

bool ElementMatchFacts::hasWord(const Element& element, std::string_view attribute, std::string_view word) {
    if (!tested_) tested_ = std::make_unique<Tested>();
    auto words = tested_->words.find(attribute);
    if (words == tested_->words.end()) {
        static const foundation::CharacterSet blanks(" \t\n\r\f");
        const std::string_view value = element.findAttributeValue(attribute).value_or("");
        if (!takeScopeWork(value.size())) return false;
        words = tested_->words.emplace(std::string(attribute), distinctWords(value, blanks)).first;
    }
    return inSortedWords(words->second, word);
}

bool ElementMatchFacts::attributeMatches(const Element& element, const CSSSelectorList::AttributeTest& test) {
    const auto actual = element.findAttributeValue(test.name);
    if (!actual) return false;
    if (test.operation == 0) return true;
    if (!tested_) tested_ = std::make_unique<Tested>();
    if (const auto known = tested_->answers.find(&test); known != tested_->answers.end()) return known->second;
    const std::string_view value = test.value;
    bool result = false;
    if (test.operation == '~') {
        result = !value.empty() && hasWord(element, test.name, value);
    } else {
        // Each reads no more of the attribute than the value's length, but for the search, which compares
        // each character of both at most twice (a failed comparison falls back along the needle's borders).
        if (!takeScopeWork(test.operation == '*' ? 2 * (actual->size() + value.size()) : value.size())) return false;
        switch (test.operation) {
            case '=': result = *actual == value; break;
            case '|': result = actual->starts_with(value) && (actual->size() == value.size() || (*actual)[value.size()] == '-'); break;
            case '^': result = !value.empty() && actual->starts_with(value); break;
            case '$': result = !value.empty() && actual->ends_with(value); break;
            case '*': result = !value.empty() && containsText(*actual, value); break;
            default: break;
        }
    }
    if (!scopeWorkSpent()) tested_->answers.emplace(&test, result);
    return result;
}

CSSSelectorList::CSSSelectorList(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (auto group = GroupReader(text, at).read()) groups_.push_back(std::move(*group));
    }
}

bool CSSSelectorList::matches(const Element& element, std::int64_t& specificity) const {
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    SubjectMatch match(element, matchStateInScope(element));
    std::optional<std::int64_t> best;
    for (const auto& group : groups_) {
        if ((!best || group.specificity > *best) && match.matches(group, false)) best = group.specificity;
    }
    if (best) specificity += *best;
    return best.has_value();
}

namespace {

// The groups of the index whose subjects the element matches. Elements alike in type, identifier and class
// list share them, unless a subject tests other attributes: the first of them works them out.
std::shared_ptr<const ElementMatchFacts::SubjectRules> subjectRulesOf(const Element& element, ElementMatchState state,
                                                                      const std::shared_ptr<const RuleIndex>& index) {
    // Only what the subjects ask for tells elements apart: most documents name no identifier in their rules,
    // while many elements carry one.
    const std::string_view identifier = index->subjectsTestIdentifiers() ? element.findAttributeValue("id").value_or("") : "";
    const std::string_view classes = index->subjectsTestClasses() ? element.findAttributeValue("class").value_or("") : "";
    if (!takeScopeWork(unitsATest + identifier.size() + classes.size())) return nullptr;
    const RuleIndex* indexKey = index.get();
    std::string key(reinterpret_cast<const char*>(&indexKey), sizeof indexKey);
    key.append(element.nodeName()).append(1, '\0').append(identifier).append(1, '\0').append(classes);
    auto& alike = matchingInScope().subjectsAlike;
    if (const auto found = alike.find(key); found != alike.end()) return found->second;

    auto subject = std::make_shared<ElementMatchFacts::SubjectRules>();
    subject->index = index;
    SubjectMatch match(element, state);
    for (const std::uint32_t order : index->candidates(element, *state.facts)) {
        const auto& groups = index->rule(order).selectors->groups();
        for (std::size_t at = 0; at < groups.size(); ++at) {
            const CSSSelectorList::Compound& compound = groups[at].compounds.front();
            subject->testsAttributes |= !compound.attributes.empty();
            // What is kept is counted as it is written, a unit a byte.
            if (!match.subjectMatches(compound) || !takeScopeWork(sizeof(ElementMatchFacts::SubjectRules::Group))) continue;
            subject->groups.push_back({order, static_cast<std::uint32_t>(at)});
            subject->dependsOnAncestors |= groups[at].compounds.size() > 1;
        }
    }
    if (!subject->dependsOnAncestors) subject->declarations = declarationsOfRules(index, matchingRules(*subject, nullptr));
    // What a spent scope left unfinished is this element's alone.
    if (!subject->testsAttributes && !scopeWorkSpent()) alike.emplace(std::move(key), subject);
    return subject;
}

}  // namespace

const MatchedDeclarations* matchedDeclarationsInScope(const Element& element, ElementMatchState state,
                                                      const std::shared_ptr<const StyleSheetList>& sheets) {
    PlacedMatch& placed = *state.placed;
    if (placed.declarationsKnown) return placed.declarations;
    ElementMatchFacts& facts = *state.facts;
    // The element's own part, once however often it is copied.
    if (!facts.subject || facts.subject->index->sheets() != sheets.get()) {
        facts.subject = subjectRulesOf(element, state, ruleIndexInScope(*sheets));
    }
    placed.declarationsKnown = true;
    const auto& subject = facts.subject;
    if (!subject || subject->groups.empty()) return placed.declarations = nullptr;
    if (!subject->dependsOnAncestors) return placed.declarations = subject->declarations.get();
    // Only what asks about the ancestors is worked out again where the element stands, and a sibling alike
    // after it (the same subject rules under the same parent where it stands) has the same answer.
    const SVGElement* parent = SVGElement::from(element.parentNode().get());
    const std::uint64_t parentNumber = parent ? matchStateInScope(*parent).placed->number : 0;
    auto& last = matchingInScope().lastPlaced;
    if (parentNumber == 0 || last.parent != parentNumber || last.subject != subject) {
        SubjectMatch match(element, state);
        last = {parentNumber, subject, declarationsOfRules(subject->index, matchingRules(*subject, &match))};
    }
    placed.own = last.declarations;
    return placed.declarations = placed.own.get();
}

const std::string* styledValueOfProperty(const CSSStyleDeclaration* inlineStyle, const MatchedDeclarations* matched,
                                         std::string_view name) {
    const std::string* inlineValue = nullptr;
    if (inlineStyle) {
        if (const auto value = inlineStyle->getPropertyCSSValue(name)) {
            inlineValue = &value->cssText();
            if (inlineStyle->isImportant(name)) return inlineValue;
        }
    }
    const MatchedDeclarations::Found found = matched ? matched->find(name) : MatchedDeclarations::Found{};
    if (found.value && (found.important || !inlineValue)) return found.value;
    return inlineValue;
}

}  // namespace vellum
