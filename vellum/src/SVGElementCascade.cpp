// The style cascade of SVG elements: selector matching against the sheets of the element's svg
// element, inline style, presentation attributes and inheritance.
#include <atomic>
#include <cctype>
#include <vector>

#include "CSSSelector.h"
#include "SVGSubtree.h"
#include "StyleValues.h"
#include "foundation/Strings.h"
#include "vellum/Attr.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/StyleSheetList.h"

namespace vellum {

namespace {

bool isTokenCharacter(char character) {
    return std::isalnum(static_cast<unsigned char>(character)) || character == '-' || character == '_';
}

bool isSpaceOrBreak(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r' || character == '\f';
}

// "inherit" names no value of its own: the parent's stands in its place.
bool isInheritKeyword(std::string_view value) {
    while (!value.empty() && isSpaceOrBreak(value.front())) value.remove_prefix(1);
    while (!value.empty() && isSpaceOrBreak(value.back())) value.remove_suffix(1);
    return value == "inherit";
}

// The layer builds running on this thread: 0 outside any.
thread_local std::uint64_t activeGeneration = 0;
std::atomic<std::uint64_t> generations{0};

}  // namespace

SVGElement::Range SVGElement::nextSelectorGroupFromText(std::string_view text, Range previous) {
    std::size_t start = previous.found() ? previous.location + previous.length : 0;
    if (start < text.size() && text[start] == ',') ++start;
    while (start < text.size() && isSpaceOrBreak(text[start])) ++start;
    if (start >= text.size()) return {};
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    return {start, end - start};
}

SVGElement::Range SVGElement::nextSelectorRangeFromText(std::string_view text, Range previous) {
    std::size_t index = previous.found() ? previous.location + previous.length : 0;
    std::size_t tokenStart = std::string_view::npos;
    for (; index < text.size(); ++index) {
        const char character = text[index];
        if (character == '#' || character == '.') {
            if (tokenStart != std::string_view::npos) break;
            tokenStart = index;
        } else if (isTokenCharacter(character)) {
            if (tokenStart == std::string_view::npos) tokenStart = index;
        } else if (tokenStart != std::string_view::npos) {
            break;
        }
    }
    if (tokenStart == std::string_view::npos) return {};
    return {tokenStart, index - tokenStart};
}

bool SVGElement::selectorAppliesTo(std::string_view selector, const SVGElement& element, std::int64_t& specificity) {
    if (selector.starts_with('.')) {
        if (!element.className()) return false;
        for (const std::string& name : foundation::components(*element.className(), foundation::CharacterSet(" \t\n\r,"))) {
            if (name == selector.substr(1)) {
                specificity += 100;
                return true;
            }
        }
        return false;
    }
    if (selector.starts_with('#')) {
        if (element.identifier() != selector.substr(1)) return false;
        specificity += 10000;
        return true;
    }
    if (selector == "*") return true;
    if (element.nodeName() != selector) return false;
    specificity += 1;
    return true;
}

bool SVGElement::styleRuleAppliesTo(const CSSStyleRule& rule, const SVGElement& element, std::int64_t& specificity) {
    return rule.selectors().matches(element, specificity);
}

std::optional<std::string> SVGElement::ownCascadedValue(std::string_view name) const {
    const auto root = rootOfCurrentDocumentFragment();
    if (auto value = styledValueOfProperty(style_.get(), root ? root->styleSheets().get() : nullptr, *this, name)) {
        return value;
    }
    // One look-up: most properties are absent, and absent is the common answer.
    if (const Node* attribute = attributes()->findNamedItem(name)) {
        const auto* value = Attr::from(attribute);
        return value ? value->value() : std::string();
    }
    return std::nullopt;
}

std::optional<std::string> SVGElement::cascadedValueForStylableProperty(std::string_view name, bool inherit) const {
    // Within a layer build each element works out an inherited property once: every later question
    // about it, from the element or from a descendant, is answered from what it remembers.
    const std::uint64_t generation = activeGeneration;
    if (inherit && generation != 0) {
        if (const auto* remembered = rememberedValue(name, generation)) return *remembered;
    }
    auto own = ownCascadedValue(name);
    if (own && !isInheritKeyword(*own)) {
        if (inherit && generation != 0) remember(name, generation, own);
        return own;
    }
    if (!inherit) {
        // "inherit" on a property that is not inherited takes the parent's own value (a loop: a document
        // may nest deeply).
        for (auto parent = own ? nearestSVGAncestor(*this) : nullptr; parent; parent = nearestSVGAncestor(*parent)) {
            own = parent->ownCascadedValue(name);
            if (!own || !isInheritKeyword(*own)) return own;
        }
        return std::nullopt;
    }
    // Up the SVG ancestors (a switch, a use or a text element passes values on as much as a group) to the
    // first that has the value or remembers it; every element passed on the way has that same value.
    std::vector<const SVGElement*> passed;
    std::optional<std::string> value;
    std::shared_ptr<const SVGElement> holder;
    for (const SVGElement* element = this;;) {
        if (generation != 0) {
            if (const auto* remembered = element->rememberedValue(name, generation)) {
                value = *remembered;
                break;
            }
        }
        passed.push_back(element);
        std::shared_ptr<const SVGElement> parent = nearestSVGAncestor(*element);
        if (!parent) break;
        if (auto parentValue = parent->ownCascadedValue(name); parentValue && !isInheritKeyword(*parentValue)) {
            value = std::move(parentValue);
            passed.push_back(parent.get());  // the tree keeps it alive; its siblings will ask it too
            break;
        }
        holder = std::move(parent);
        element = holder.get();
    }
    if (generation != 0) {
        for (const SVGElement* element : passed) element->remember(name, generation, value);
    }
    return value;
}

SVGElement::CascadeScope::CascadeScope() : previous_(activeGeneration) { activeGeneration = ++generations; }

SVGElement::CascadeScope::~CascadeScope() { activeGeneration = previous_; }

const std::optional<std::string>* SVGElement::rememberedValue(std::string_view name, std::uint64_t generation) const {
    if (inheritedValuesGeneration_ != generation) return nullptr;
    for (const auto& [property, value] : inheritedValues_) {
        if (property == name) return &value;
    }
    return nullptr;
}

void SVGElement::remember(std::string_view name, std::uint64_t generation, const std::optional<std::string>& value) const {
    if (inheritedValuesGeneration_ != generation) {
        inheritedValues_.clear();
        inheritedValuesGeneration_ = generation;
    }
    inheritedValues_.emplace_back(std::string(name), value);
}

std::optional<gfx::AffineTransform> SVGElement::rememberedAbsoluteTransform() const {
    if (activeGeneration == 0 || absoluteTransformGeneration_ != activeGeneration) return std::nullopt;
    return absoluteTransform_;
}

void SVGElement::rememberAbsoluteTransform(const gfx::AffineTransform& transform) const {
    if (activeGeneration == 0) return;
    absoluteTransform_ = transform;
    absoluteTransformGeneration_ = activeGeneration;
}

// Only a scope remembers anything, so outside one (while parsing) a move costs nothing here.
void SVGElement::forgetInheritedValuesOfSubtree() {
    if (activeGeneration == 0) return;
    forEachSVGElementOfSubtree(*this, [](SVGElement& element) {
        element.inheritedValues_.clear();
        element.inheritedValuesGeneration_ = 0;
        element.absoluteTransformGeneration_ = 0;
    });
}

}  // namespace vellum
