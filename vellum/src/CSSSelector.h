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
#include <vector>

namespace vellum {

class CSSStyleDeclaration;
class Element;
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
    bool mayContain(std::uint32_t hash) const {
        return (bits_[(hash & 511) >> 6] >> (hash & 63) & 1) && (bits_[(hash >> 16 & 511) >> 6] >> (hash >> 16 & 63) & 1);
    }
    // The element's own type, identifier and classes.
    void addNamesOf(const Element& element, const std::vector<std::string>& classNames);

private:
    std::array<std::uint64_t, 8> bits_{};
};

// What matching reads of one element, made once: its class names and the words of each attribute a "~="
// test asks about, as sets, so a test costs one look-up however long or repetitive the list; and, once
// asked, its ancestors' filter. A cascade scope keeps one an element; outside one a question makes its own.
// The texts are copies: a document changed meanwhile leaves them out of date, never dangling.
class ElementMatchFacts {
public:
    explicit ElementMatchFacts(const Element& element);

    // Distinct and sorted.
    const std::vector<std::string>& classNames() const { return classes_; }
    bool hasClass(std::string_view name) const;
    // Whether the blank-separated words of the element's `attribute` include `word`.
    bool hasWord(const Element& element, std::string_view attribute, std::string_view word);

    std::optional<AncestorFilter> ancestors;

private:
    std::vector<std::string> classes_;
    std::map<std::string, std::vector<std::string>, std::less<>> words_;  // by attribute name
};

// Whether the running cascade scope stopped matching selectors, its budget spent.
bool matchingBudgetSpentInScope();
// The selector steps (a compound's tests, an ancestor listed) a cascade scope may take before it stops
// applying rules: some 100 ms of matching, where the heaviest test documents take under a hundred.
inline constexpr std::uint64_t matchingBudget = 8'000'000;

// The value the inline style and the sheets give a property of the element: an important inline
// declaration, else the most specific important sheet declaration, else the inline one, else the most
// specific sheet one (on equal specificity the later rule of the later sheet). The text is the
// declaration's own, valid while the declaration stands.
const std::string* styledValueOfProperty(const CSSStyleDeclaration* inlineStyle, const StyleSheetList* sheets,
                                         const Element& element, std::string_view name);

}  // namespace vellum
