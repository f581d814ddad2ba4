#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "gfx/Geometry.h"
#include "vellum/Element.h"
#include "vellum/NodeArena.h"
#include "vellum/SVGLength.h"

namespace vellum {

class BaseClassForAllSVGBasicShapes;
class ConverterSVGToCALayer;
class CSSStyleDeclaration;
class CSSStyleRule;
struct ElementMatchState;
class SVGClipPathElement;
class SVGGElement;
class SVGGradientElement;
class SVGLinearGradientElement;
class SVGRadialGradientElement;
class SVGStylable;
class SVGSVGElement;
class SVGSwitchElement;
class SVGSymbolElement;
class SVGTextElement;
class SVGTransformable;
class SVGUseElement;
class StyleSheetList;
class VellumParseResult;

// The element classes and roles the parser and the layer build ask an element about, one bit each. An
// element made by SVGElement::create carries the bits of its class and of every such class it derives
// from, so the question is a bit test rather than a dynamic cast.
template <class T>
inline constexpr std::uint32_t elementKindBit = 0;
template <> inline constexpr std::uint32_t elementKindBit<SVGSVGElement> = 1u << 0;
template <> inline constexpr std::uint32_t elementKindBit<SVGGElement> = 1u << 1;
template <> inline constexpr std::uint32_t elementKindBit<SVGSwitchElement> = 1u << 2;
template <> inline constexpr std::uint32_t elementKindBit<SVGSymbolElement> = 1u << 3;
template <> inline constexpr std::uint32_t elementKindBit<SVGClipPathElement> = 1u << 4;
template <> inline constexpr std::uint32_t elementKindBit<SVGUseElement> = 1u << 5;
template <> inline constexpr std::uint32_t elementKindBit<BaseClassForAllSVGBasicShapes> = 1u << 6;
template <> inline constexpr std::uint32_t elementKindBit<SVGGradientElement> = 1u << 7;
template <> inline constexpr std::uint32_t elementKindBit<SVGLinearGradientElement> = 1u << 8;
template <> inline constexpr std::uint32_t elementKindBit<SVGRadialGradientElement> = 1u << 9;
template <> inline constexpr std::uint32_t elementKindBit<SVGTextElement> = 1u << 10;
template <> inline constexpr std::uint32_t elementKindBit<SVGTransformable> = 1u << 11;
template <> inline constexpr std::uint32_t elementKindBit<SVGStylable> = 1u << 12;
template <> inline constexpr std::uint32_t elementKindBit<ConverterSVGToCALayer> = 1u << 13;

template <class T, class... Kinds>
constexpr std::uint32_t elementKindsAmong() {
    return ((std::is_base_of_v<Kinds, T> ? elementKindBit<Kinds> : 0u) | ... | 0u);
}

template <class T>
constexpr std::uint32_t elementKindsOf() {
    return elementKindsAmong<T, SVGSVGElement, SVGGElement, SVGSwitchElement, SVGSymbolElement, SVGClipPathElement,
                         SVGUseElement, BaseClassForAllSVGBasicShapes, SVGGradientElement, SVGLinearGradientElement,
                         SVGRadialGradientElement, SVGTextElement, SVGTransformable, SVGStylable, ConverterSVGToCALayer>();
}

// Elements that carry a "transform": identity until the attribute is read.
class SVGTransformable {
public:
    virtual ~SVGTransformable() = default;
    const gfx::AffineTransform& transform() const { return transform_; }
    void setTransform(const gfx::AffineTransform& transform) { transform_ = transform; }

private:
    gfx::AffineTransform transform_;
};

// Elements that take part in the style cascade for their layers.
class SVGStylable {
public:
    virtual ~SVGStylable() = default;
};

// The base of every SVG element: identifier, classes and inline style, the svg element whose sheets
// apply and the element that sets its viewport, the transform attribute, and the style cascade.
class SVGElement : public Element {
public:
    // A text position and length within a selector text; `location` is npos for none.
    struct Range {
        std::size_t location = std::string_view::npos;
        std::size_t length = 0;
        bool found() const { return location != std::string_view::npos; }
    };

    SVGElement(std::string qualifiedName, const std::optional<std::string>& namespaceURI, const AttributeNodes& attributes);
    SVGElement(std::string qualifiedName, const std::optional<std::string>& namespaceURI,
               const ParsedAttributes& attributes);
    explicit SVGElement(std::string localName, const AttributeTexts& attributes = {});

    // The node as an SVG element, or null: a tag test, not a dynamic cast.
    static SVGElement* from(Node* node) { return node && node->isSVGElement() ? static_cast<SVGElement*>(node) : nullptr; }
    static const SVGElement* from(const Node* node) {
        return node && node->isSVGElement() ? static_cast<const SVGElement*>(node) : nullptr;
    }
    static std::shared_ptr<SVGElement> from(const std::shared_ptr<Node>& node) {
        return node && node->isSVGElement() ? std::static_pointer_cast<SVGElement>(node) : nullptr;
    }

    // Makes an element and runs its defaults, which a constructor cannot reach in a subclass.
    template <class T, class... Arguments>
    static std::shared_ptr<T> create(Arguments&&... arguments) {
        auto element = makeNodeShared<T>(std::forward<Arguments>(arguments)...);
        SVGElement& base = *element;
        base.elementKinds_ = elementKindsOf<T>();
        base.elementKindsKnown_ = true;
        if constexpr (std::is_base_of_v<SVGTransformable, T>) base.transformable_ = element.get();
        if constexpr (std::is_base_of_v<SVGStylable, T>) base.stylable_ = element.get();
        if constexpr (std::is_base_of_v<ConverterSVGToCALayer, T>) base.converter_ = element.get();
        element->loadDefaults();
        if constexpr (std::is_base_of_v<SVGTransformable, T>) base.transformable_->setTransform({});
        return element;
    }

    // The element as one of the classes or roles of elementKindBit, or null. An element not made by
    // create (no bits) is asked with a dynamic cast.
    template <class T>
    T* as() {
        static_assert(elementKindBit<T> != 0, "only the classes of elementKindBit are tagged");
        if (!elementKindsKnown_) return dynamic_cast<T*>(this);
        if constexpr (std::is_same_v<T, SVGTransformable>) return transformable_;
        else if constexpr (std::is_same_v<T, SVGStylable>) return stylable_;
        else if constexpr (std::is_same_v<T, ConverterSVGToCALayer>) return converter_;
        else return (elementKinds_ & elementKindBit<T>) ? static_cast<T*>(this) : nullptr;
    }
    template <class T>
    const T* as() const {
        return const_cast<SVGElement*>(this)->as<T>();
    }
    // Whether as<T> would answer an element, from the kind bits alone where they are known: the role
    // pointers lie further into the element.
    template <class T>
    bool is() const {
        static_assert(elementKindBit<T> != 0, "only the classes of elementKindBit are tagged");
        return elementKindsKnown_ ? (elementKinds_ & elementKindBit<T>) != 0 : as<T>() != nullptr;
    }
    template <class T>
    static bool is(const Node* node) {
        if (const auto* element = from(node)) return element->is<T>();
        return as<T>(node) != nullptr;
    }
    // A role may also be taken by an element of another kind (an extension's): that one is cast.
    template <class T>
    static T* as(Node* node) {
        if (auto* element = from(node)) return element->as<T>();
        if constexpr (std::is_base_of_v<SVGElement, T>) {
            return nullptr;
        } else {
            return node && node->nodeType() == NodeType::element ? dynamic_cast<T*>(node) : nullptr;
        }
    }
    template <class T>
    static const T* as(const Node* node) {
        return as<T>(const_cast<Node*>(node));
    }
    // Only for the element classes: the roles are not nodes.
    template <class T>
    static std::shared_ptr<T> as(const std::shared_ptr<Node>& node) {
        auto* element = as<T>(node.get());
        return element ? std::shared_ptr<T>(node, element) : nullptr;
    }

    // Whether the element keeps its text content (title and description elements do).
    static bool shouldStoreContent() { return false; }
    virtual void loadDefaults() {}

    // Unsupported: fails the assertion handler.
    std::shared_ptr<CSSStyleDeclaration> getPresentationAttribute(std::string_view name);

    // Also works out the svg element whose sheets apply and the viewport element, for the whole subtree.
    void setParentNode(const std::shared_ptr<Node>& parent) override;
    void reCalculateAndSetViewportElementReferenceUsingFirstSVGAncestor(const std::shared_ptr<SVGElement>& ancestor);
    void setRootOfCurrentDocumentFragment(const std::shared_ptr<SVGSVGElement>& root);
    void setViewportElement(const std::shared_ptr<SVGElement>& element);

    SVGLength getAttributeAsSVGLength(std::string_view name) const;
    // Reads "id", "style", "class" and the transform ("transform", else "gradientTransform").
    // Subclasses call this first, then read their own attributes.
    virtual void postProcessAttributesAddingErrorsTo(VellumParseResult& result);

    std::string description() const override;

    // Selector texts split into groups between commas, and within a group into the simple selectors
    // ("rect", ".a", "#b"), everything else separating them.
    static Range nextSelectorGroupFromText(std::string_view text, Range previous);
    static Range nextSelectorRangeFromText(std::string_view text, Range previous);
    // Adds 100 for a class, 10000 for an identifier and 1 for a tag name that match.
    static bool selectorAppliesTo(std::string_view selector, const SVGElement& element, std::int64_t& specificity);
    // Whether a group of the rule's selector matches, combinators and attribute tests included; adds the
    // weight of the most specific matching group.
    static bool styleRuleAppliesTo(const CSSStyleRule& rule, const SVGElement& element, std::int64_t& specificity);

    // The property's value: important declarations first (inline, then the most specific rule), then the
    // inline style, else the most specific applying rule of the sheets (the later on a tie), else the attribute of that name, else (with `inherit`) the parent SVG element's value.
    std::optional<std::string> cascadedValueForStylableProperty(std::string_view name, bool inherit = true) const;
    // The properties a layer build reads for every element: each scope files them under these ids from
    // its start, so asking by one of them skips looking the name up.
    enum class StyleProperty : std::uint8_t {
        fill, fillOpacity, fillRule, stroke, strokeWidth, strokeOpacity, strokeDasharray, strokeDashoffset,
        strokeLinecap, strokeLinejoin, strokeMiterlimit, opacity, display, visibility, clipPath, clipRule,
        overflow, color, count
    };
    static std::string_view nameOfStyleProperty(StyleProperty property);
    std::optional<std::string> cascadedValueForStylableProperty(StyleProperty property, bool inherit = true) const;
    // The same value without a copy, for a running CascadeScope only (it fails the assertion handler
    // outside one): the text stays where it is until the scope ends.
    std::optional<std::string_view> cascadedValueInScope(StyleProperty property, bool inherit = true) const;

    // While one is alive on this thread (a layer build), each element works out each property once,
    // its own value and its inherited one, filed by property rather than by name, and its absolute
    // transform once: the document is taken to stay as it is meanwhile, but for changes of parent,
    // which make the moved subtree forget (another change may get a former answer, read from the
    // scope's own copies). Outside a scope every question is answered afresh.
    // The element's absolute transform (SVGHelperUtilities), remembered the same way for a scope.
    std::optional<gfx::AffineTransform> rememberedAbsoluteTransform() const;
    void rememberAbsoluteTransform(const gfx::AffineTransform& transform) const;

    class CascadeScope {
    public:
        CascadeScope();
        ~CascadeScope();
        CascadeScope(const CascadeScope&) = delete;
        CascadeScope& operator=(const CascadeScope&) = delete;
        // Whether one is alive on this thread.
        static bool isRunning();
        // The running scope's number, no other scope's; 0 when none runs. What is worked out under one
        // number may be kept for as long as it runs.
        static std::uint64_t runningNumber();
        // A scope of its own for a caller outside any, nothing within one: what it asks in scope then
        // stays put for as long as it holds the answer.
        static std::optional<CascadeScope> unlessRunning();

        // The scope's property names and the elements' records.
        struct Store;

    private:
        std::uint64_t previous_;
        Store* previousStore_;
        std::unique_ptr<Store> store_;
    };

    const std::optional<std::string>& identifier() const { return rareTextsOrNone().identifier; }
    void setIdentifier(std::optional<std::string> identifier) {
        if (identifier || rareTexts_) rareTexts().identifier = std::move(identifier);
    }
    const std::string& xmlbase() const { return rareTextsOrNone().xmlbase; }
    void setXmlbase(std::string base) {
        if (!base.empty() || rareTexts_) rareTexts().xmlbase = std::move(base);
    }
    std::shared_ptr<SVGSVGElement> rootOfCurrentDocumentFragment() const { return rootOfCurrentDocumentFragment_.lock(); }
    std::shared_ptr<SVGElement> viewportElement() const { return viewportElement_.lock(); }
    const std::string& stringValue() const { return rareTextsOrNone().stringValue; }
    void setStringValue(std::string value) {
        if (!value.empty() || rareTexts_) rareTexts().stringValue = std::move(value);
    }
    const std::optional<std::string>& className() const { return rareTextsOrNone().className; }
    void setClassName(std::optional<std::string> name) {
        if (name || rareTexts_) rareTexts().className = std::move(name);
    }
    const std::shared_ptr<CSSStyleDeclaration>& style() const { return style_; }
    void setStyle(std::shared_ptr<CSSStyleDeclaration> style) { style_ = std::move(style); }

    // What selector matching keeps of this element in its record while a cascade scope runs (made on first
    // use): its own facts, which its moves leave as they are, and what it worked out where it stands. In a
    // running scope only (it fails the assertion handler outside one).
    ElementMatchState matchStateInScope() const;

protected:
    void applyTransformAttribute(std::string_view text);

private:
    struct ComputedStyle;
    // Inline style, sheets and attribute: the value without inheritance, as the document holds it.
    std::optional<std::string_view> ownCascadedValue(const NamedNodeMap::Name& name, ComputedStyle& style) const;
    // The cascade within the running scope, for the property filed under `id`.
    const std::string* cascadedValue(std::size_t id, bool inherit) const;
    // This element's record in the running scope, made on first use.
    ComputedStyle& computedStyle() const;
    const std::string* ownValue(ComputedStyle& style, std::size_t id) const;
    void forgetInheritedValuesOfSubtree();
    // An svg or foreignObject element with a width or height sets the viewport of its content.
    bool establishesViewport() const;
    // This element's (and its subtree's) viewport element under that SVG ancestor.
    void viewportElementFromAncestor(SVGElement& ancestor);

    SVGTransformable* transformable_ = nullptr;
    SVGStylable* stylable_ = nullptr;
    ConverterSVGToCALayer* converter_ = nullptr;
    std::weak_ptr<SVGSVGElement> rootOfCurrentDocumentFragment_;
    std::weak_ptr<SVGElement> viewportElement_;
    // What few elements have (an id, a class; a base and string value only when DOM code sets them),
    // kept apart so that every element is smaller to make, walk and free.
    struct RareTexts {
        std::optional<std::string> identifier;
        std::string xmlbase;
        std::string stringValue;
        std::optional<std::string> className;
    };
    // The element's own, else an empty set shared by all.
    const RareTexts& rareTextsOrNone() const;
    RareTexts& rareTexts();
    std::unique_ptr<RareTexts> rareTexts_;
    std::shared_ptr<CSSStyleDeclaration> style_;
    mutable ComputedStyle* computedStyle_ = nullptr;
    mutable std::uint64_t computedStyleGeneration_ = 0;
    mutable gfx::AffineTransform absoluteTransform_;
    mutable std::uint64_t absoluteTransformGeneration_ = 0;
};

}  // namespace vellum
