#pragma once

// Selectors as the style cascade reads them: comma-separated groups of compound selectors (a type or
// "*", "#id", ".class" and "[attribute]" tests) joined by the descendant (blank) and child (">")
// combinators. A group written with anything else (pseudo-classes, sibling combinators, a broken
// attribute test) matches no element; the other groups of the list still count.
#include <cstdint>
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
    };

    const std::vector<Group>& groups() const { return groups_; }

private:
    std::vector<Group> groups_;
};

// The value the inline style and the sheets give a property of the element: an important inline
// declaration, else the most specific important sheet declaration, else the inline one, else the most
// specific sheet one (on equal specificity the later rule of the later sheet). The text is the
// declaration's own, valid while the declaration stands.
const std::string* styledValueOfProperty(const CSSStyleDeclaration* inlineStyle, const StyleSheetList* sheets,
                                         const Element& element, std::string_view name);

}  // namespace vellum
