#pragma once

// Selectors as the style cascade reads them: comma-separated groups of compound selectors (a type or
// "*", "#id", ".class" and "[attribute]" tests) joined by the descendant (blank) and child (">")
// combinators. A group written with anything else (pseudo-classes, sibling combinators, a broken
// attribute test) matches no element; the other groups of the list still count.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vellum {

class CSSStyleDeclaration;
class Element;
class RuleIndex;
class StyleSheetList;

class CSSSelectorList {
public:
    explicit CSSSelectorList(std::string_view text);

    // Whether a group matches the element; the most specific matching group's weight (identifiers
    // 10000, classes and attribute tests 100, types 1) is added to `specificity`.
    bool matches(const Element& element, std::int64_t& specificity) const;

    struct AttributeTest {
        std::string name;
        char operation = 0;  // 0 for presence, else '=', '~', '|', '^', '$' or '*'
        std::string value;
    };
    struct Compound {
        std::string type;  // empty for any element
        std::vector<std::string> identifiers;
        std::vector<std::string> classes;
        std::vector<AttributeTest> attributes;
        // How this compound relates to the next one on its left: ' ' an ancestor, '>' the parent.
        char combinator = 0;
    };
    struct Group {
        std::vector<Compound> compounds;  // right to left: the subject first
        std::int64_t specificity = 0;
        // The names (AncestorFilter::hashOf) the compounds past the subject demand, each once: an element
        // whose ancestors lack one is not matched further.
        std::vector<std::uint32_t> ancestorNames;
    };

    const std::vector<Group>& groups() const { return groups_; }

private:
    std::vector<Group> groups_;
};

// A small Bloom filter of names (types, identifiers, classes): one it says is absent is absent; one it
// says may be there is looked for the exact way. An element's filter holds its ancestors' names, so a
// rule demanding a name no ancestor has is rejected without walking up.
class AncestorFilter {
public:
    // `kind` is 't' for a type, '#' for an identifier, '.' for a class.
    static std::uint32_t hashOf(char kind, std::string_view name);

    void add(std::uint32_t hash) {
        bits_[(hash & 511) >> 6] |= std::uint64_t{1} << (hash & 63);
        bits_[(hash >> 16 & 511) >> 6] |= std::uint64_t{1} << (hash >> 16 & 63);
    }
    void addAll(const AncestorFilter& other) {
        for (std::size_t index = 0; index < bits_.size(); ++index) bits_[index] |= other.bits_[index];
    }
    bool mayContain(std::uint32_t hash) const {
        return (bits_[(hash & 511) >> 6] >> (hash & 63) & 1) && (bits_[(hash >> 16 & 511) >> 6] >> (hash >> 16 & 63) & 1);
    }

private:
    std::array<std::uint64_t, 8> bits_{};
};

// The declarations of a set of matched rules, each property's winner alone (important before the rest, then
// the more specific, then the later rule), merged once a scope and shared by every element that matches just
// these rules: a property is looked up, not matched for, and the table holds each property once however many
// rules match. Names are kept as hashes and each value is read from its rule when asked, so a sheet changed
// meanwhile gives an answer out of date, never one read from freed text.
class MatchedDeclarations {
public:
    struct Found {
        const std::string* value = nullptr;
        bool important = false;
    };
    Found find(std::string_view name) const;

    // The rules (index order, specificity) in any order, from `index`: all of them, or none once the scope's
    // work is spent.
    void fileRules(const std::shared_ptr<const RuleIndex>& index,
                   const std::vector<std::pair<std::uint32_t, std::int64_t>>& rules);

private:
    struct Entry {
        std::uint64_t name;
        bool important;
        std::int64_t specificity;
        std::uint32_t order;
    };
    std::shared_ptr<const RuleIndex> index_;
    std::vector<Entry> entries_;  // by name, the winners
};

// What matching reads of one element that does not depend on where it stands, made once a cascade scope
// and kept while a use element moves it under each of its copies: its class names and the words of each
// attribute a "~=" test asks about, as sets; its own names for its descendants' filters; the results of
// attribute tests; the rules whose subjects it matches. The texts are copies: a document changed meanwhile
// leaves them out of date, never dangling.
class ElementMatchFacts {
public:
    explicit ElementMatchFacts(const Element& element);
    ~ElementMatchFacts();

    // Distinct and sorted.
    const std::vector<std::string>& classNames() const { return classes_; }
    bool hasClass(std::string_view name) const;
    // Whether the blank-separated words of the element's `attribute` include `word`.
    bool hasWord(const Element& element, std::string_view attribute, std::string_view word);
    // Its type, identifier and classes.
    const AncestorFilter& ownNames() const { return ownNames_; }

    // A test's answer for this element, worked out once.
    bool attributeMatches(const Element& element, const CSSSelectorList::AttributeTest& test);

    // The groups whose subject compounds the element matches, with what follows from them; elements alike
    // in type, identifier and classes share one where no subject tests other attributes.
    struct SubjectRules;
    std::shared_ptr<const SubjectRules> subject;

private:
    std::vector<std::string> classes_;
    AncestorFilter ownNames_;
    // Few elements meet word or attribute tests.
    struct Tested {
        std::map<std::string, std::vector<std::string>, std::less<>> words;  // by attribute name
        std::unordered_map<const CSSSelectorList::AttributeTest*, bool> answers;
    };
    std::unique_ptr<Tested> tested_;
};

// What matching works out for one element where it stands: its ancestors' names and, where they depend on
// its ancestors, the declarations that apply. Kept in the element's record; its moves clear it and give it
// a new number.
struct PlacedMatch {
    std::uint64_t number = 0;  // this placement's, unique in the scope
    std::optional<AncestorFilter> ancestorNames;
    bool declarationsKnown = false;
    const MatchedDeclarations* declarations = nullptr;  // the subject rules' or `own`, null for none
    std::shared_ptr<const MatchedDeclarations> own;     // shared with siblings alike

    void clear(std::uint64_t newNumber) {
        number = newNumber;
        ancestorNames.reset();
        declarationsKnown = false;
        declarations = nullptr;
        own.reset();
    }
};

// An element's matching state in the running scope: its facts, and its placed match (none for an element
// that is not an SVG element: those keep no record, and their answers are worked out where they are asked).
struct ElementMatchState {
    ElementMatchFacts* facts = nullptr;
    PlacedMatch* placed = nullptr;
};
ElementMatchState matchStateInScope(const Element& element);

// What matching keeps for the length of a cascade scope beside the records: the rule index of each sheet
// list met, by the list (the facts point into them; the records hold the lists); the facts of elements that keep no record; the subject
// rules shared by elements alike; the declarations last worked out where they depend on the ancestors,
// which a next sibling alike takes as they are.
struct MatchingInScope {
    std::unordered_map<const StyleSheetList*, std::shared_ptr<const RuleIndex>> indexes;
    struct Other {
        std::shared_ptr<const Element> element;  // held, so that its address names no other meanwhile
        std::unique_ptr<ElementMatchFacts> facts;
    };
    std::unordered_map<const Element*, Other> others;
    std::unordered_map<std::string, std::shared_ptr<const ElementMatchFacts::SubjectRules>> subjectsAlike;
    // The merged declarations of each set of matched rules met, by the index and the set.
    std::unordered_map<std::string, std::shared_ptr<const MatchedDeclarations>> declarationsOfRules;
    struct LastPlaced {
        std::uint64_t parent = 0;  // the parent's placement number
        std::shared_ptr<const ElementMatchFacts::SubjectRules> subject;
        std::shared_ptr<const MatchedDeclarations> declarations;
    } lastPlaced;
};
// The running scope's (a running scope is required).
MatchingInScope& matchingInScope();

// The declarations the sheets give the element where it stands, worked out on first use from one pass
// over the rules that may match it; null for none. In a running scope, for an element with a record.
const MatchedDeclarations* matchedDeclarationsInScope(const Element& element, ElementMatchState state,
                                                      const std::shared_ptr<const StyleSheetList>& sheets);

// The value the inline style and the matched declarations give a property of the element: an important
// inline declaration, else the most specific important sheet declaration, else the inline one, else the
// most specific sheet one (on equal specificity the later rule of the later sheet). The text is the
// declaration's own, valid while the declaration stands.
const std::string* styledValueOfProperty(const CSSStyleDeclaration* inlineStyle, const MatchedDeclarations* matched,
                                         std::string_view name);

}  // namespace vellum
