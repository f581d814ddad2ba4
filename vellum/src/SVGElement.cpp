#include "vellum/SVGElement.h"

#include <cmath>
#include <numbers>
#include <typeinfo>
#include <vector>

#include "NumberPrefix.h"
#include "SVGSubtree.h"
#include "VellumLog.h"
#include "foundation/Assertion.h"
#include "foundation/Format.h"
#include "foundation/TypeName.h"
#include "foundation/Strings.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/NodeList.h"
#include "vellum/SVGSVGElement.h"

namespace vellum {

namespace {

bool isSeparator(char character) {
    return character == ',' || character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

// The numbers of a transform item's argument text, each kept at single precision. Reading stops at
// the first character that starts no number (units, junk) instead of looping on it.
std::vector<float> transformArguments(std::string_view text) {
    std::vector<float> numbers;
    numbers.reserve(6);  // a matrix's, the most an item takes: one allocation rather than one per doubling
    std::size_t index = 0;
    for (;;) {
        while (index < text.size() && isSeparator(text[index])) ++index;
        if (index >= text.size()) break;
        std::size_t length = 0;
        const auto number = floatPrefix(text.substr(index), &length);
        if (!number) break;
        numbers.push_back(*number);
        index += length;
    }
    return numbers;
}

// The items of a transform attribute as "name(arguments": a run without "(", ")" or "," before each
// "(", and what follows it up to the next ")".
std::vector<std::pair<std::string_view, std::string_view>> transformItems(std::string_view text) {
    std::vector<std::pair<std::string_view, std::string_view>> items;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find('(', from);
        if (open == std::string_view::npos) break;
        std::size_t start = open;
        while (start > from && text[start - 1] != '(' && text[start - 1] != ')' && text[start - 1] != ',') --start;
        const std::size_t close = text.find(')', open + 1);
        const std::size_t end = close == std::string_view::npos ? text.size() : close;
        items.emplace_back(text.substr(start, open - start), text.substr(open + 1, end - open - 1));
        from = end;
    }
    return items;
}

double radians(float degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

SVGElement::SVGElement(std::string qualifiedName, const std::optional<std::string>& namespaceURI,
                       const AttributeNodes& attributes)
    : Element(std::move(qualifiedName), namespaceURI, attributes) {
    markAsSVGElement();
}

SVGElement::SVGElement(std::string qualifiedName, const std::optional<std::string>& namespaceURI,
                       const ParsedAttributes& attributes)
    : Element(std::move(qualifiedName), namespaceURI, attributes) {
    markAsSVGElement();
}

SVGElement::SVGElement(std::string localName, const AttributeTexts& attributes) : Element(std::move(localName), attributes) {
    markAsSVGElement();
}

std::shared_ptr<CSSStyleDeclaration> SVGElement::getPresentationAttribute(std::string_view) {
    foundation::raiseAssertion("getPresentationAttribute: not implemented yet");
}

const SVGElement::RareTexts& SVGElement::rareTextsOrNone() const {
    static const RareTexts none;
    return rareTexts_ ? *rareTexts_ : none;
}

SVGElement::RareTexts& SVGElement::rareTexts() {
    if (!rareTexts_) rareTexts_ = std::make_unique<RareTexts>();
    return *rareTexts_;
}

void SVGElement::setParentNode(const std::shared_ptr<Node>& parent) {
    Node::setParentNode(parent);
    forgetInheritedValuesOfSubtree();
    if (as<SVGSVGElement>()) {
        auto svg = std::static_pointer_cast<SVGSVGElement>(shared_from_this());
        if (from(parent)) {
            setRootOfCurrentDocumentFragment(svg);
            setViewportElement(svg);
        } else {
            setRootOfCurrentDocumentFragment(nullptr);
            setViewportElement(nullptr);
        }
        return;
    }
    if (!parent) {
        vellumLogWarning(
            "SVGElement has had its parent set to nil; this makes the element and tree beneath it no-longer-valid SVG "
            "data; this may require fix-up if you try to re-add that SVGElement or any of its children back to an "
            "existing/new SVG tree");
        setRootOfCurrentDocumentFragment(nullptr);
        return;
    }
    // The nearest SVG ancestor, nearly always the parent itself: looked at without taking shares.
    SVGElement* ancestor = from(parent.get());
    std::shared_ptr<Node> above;  // keeps the node being looked at alive
    for (above = ancestor ? nullptr : parent->parentNode(); above && !ancestor; above = above->parentNode()) {
        ancestor = from(above.get());
    }
    // Without an SVG ancestor (a tree being built bottom-up) there is nothing to point at yet.
    if (!ancestor) return;
    if (ancestor->as<SVGSVGElement>()) {
        rootOfCurrentDocumentFragment_ = std::static_pointer_cast<SVGSVGElement>(ancestor->shared_from_this());
    } else {
        rootOfCurrentDocumentFragment_ = ancestor->rootOfCurrentDocumentFragment_;
    }
    // A leaf's subtree is itself: the usual case while parsing.
    if (hasChildNodes()) setRootOfCurrentDocumentFragment(rootOfCurrentDocumentFragment_.lock());
    viewportElementFromAncestor(*ancestor);
}

void SVGElement::reCalculateAndSetViewportElementReferenceUsingFirstSVGAncestor(const std::shared_ptr<SVGElement>& ancestor) {
    if (ancestor) {
        viewportElementFromAncestor(*ancestor);
    } else if (establishesViewport()) {
        setViewportElement(std::static_pointer_cast<SVGElement>(shared_from_this()));
    }
}

bool SVGElement::establishesViewport() const {
    return (tagName() == "svg" || tagName() == "foreignObject") && (hasAttribute("width") || hasAttribute("height"));
}

void SVGElement::viewportElementFromAncestor(SVGElement& ancestor) {
    if (establishesViewport()) {
        setViewportElement(std::static_pointer_cast<SVGElement>(shared_from_this()));
        return;
    }
    std::weak_ptr<SVGElement> viewport = ancestor.viewportElement_;
    if (viewport.expired()) viewport = std::static_pointer_cast<SVGElement>(ancestor.shared_from_this());
    if (!hasChildNodes()) {
        viewportElement_ = std::move(viewport);
        return;
    }
    setViewportElement(viewport.lock());
}

void SVGElement::setRootOfCurrentDocumentFragment(const std::shared_ptr<SVGSVGElement>& root) {
    forEachSVGElementOfSubtree(*this, [&](SVGElement& element) { element.rootOfCurrentDocumentFragment_ = root; });
}

void SVGElement::setViewportElement(const std::shared_ptr<SVGElement>& viewport) {
    forEachSVGElementOfSubtree(*this, [&](SVGElement& element) { element.viewportElement_ = viewport; });
}

SVGLength SVGElement::getAttributeAsSVGLength(std::string_view name) const {
    return SVGLength::svgLengthFromNSString(getAttribute(name));
}

void SVGElement::postProcessAttributesAddingErrorsTo(VellumParseResult&) {
    // Each attribute is looked up once and read where it is kept; every element asks these names, so
    // their filter bits are worked out once.
    static const NamedNodeMap::Name idName("id"), styleName("style"), className("class"),
        transformName("transform"), gradientTransformName("gradientTransform");
    if (const auto id = findAttributeValue(idName); id && !id->empty()) rareTexts().identifier = std::string(*id);
    if (const auto style = findAttributeValue(styleName)) {
        style_ = std::make_shared<CSSStyleDeclaration>();
        style_->setCssText(std::string(*style));
    }
    if (const auto name = findAttributeValue(className)) rareTexts().className = std::string(*name);
    auto text = findAttributeValue(transformName);
    if (!text || text->empty()) text = findAttributeValue(gradientTransformName);
    if (text && !text->empty() && SVGElement::as<SVGTransformable>(this)) applyTransformAttribute(*text);
}

// Items read left to right apply to the content right to left: each item's matrix goes first.
void SVGElement::applyTransformAttribute(std::string_view text) {
    auto& transformable = *as<SVGTransformable>();
    gfx::AffineTransform transform = transformable.transform();
    for (const auto& [rawName, argumentText] : transformItems(text)) {
        const std::string name = foundation::trimmingWhitespaceAndNewlines(rawName);
        const std::vector<float> numbers = transformArguments(argumentText);
        // The item as written, for the messages only.
        const auto item = [&] { return std::string(rawName) + "(" + std::string(argumentText); };
        const auto prepend = [&](const gfx::AffineTransform& matrix) { transform = matrix.concatenating(transform); };
        if (name == "translate" && !numbers.empty()) {
            prepend(gfx::AffineTransform::translation(numbers[0], numbers.size() > 1 ? numbers[1] : 0));
        } else if (name == "scale" && !numbers.empty()) {
            prepend(gfx::AffineTransform::scale(numbers[0], numbers.size() > 1 ? numbers[1] : numbers[0]));
        } else if (name == "matrix" && numbers.size() >= 6) {
            prepend({numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]});
        } else if (name == "rotate" && numbers.size() == 1) {
            prepend(gfx::AffineTransform::rotation(radians(numbers[0])));
        } else if (name == "rotate" && numbers.size() == 3) {
            prepend(gfx::AffineTransform::translation(numbers[1], numbers[2]));
            prepend(gfx::AffineTransform::rotation(radians(numbers[0])));
            prepend(gfx::AffineTransform::translation(-numbers[1], -numbers[2]));
        } else if (name == "rotate") {
            vellumLogError(
                "[%@] ERROR: input file is illegal, has an SVG matrix transform attribute without the required 1 or 3 "
                "parameters. Item = %@, transform attribute value = %@",
                "SVGElement", item(), text);
        } else if (name == "skewX" && !numbers.empty()) {
            prepend({1, 0, std::tan(radians(numbers[0])), 1, 0, 0});
        } else if (name == "skewY" && !numbers.empty()) {
            prepend({1, std::tan(radians(numbers[0])), 0, 1, 0, 0});
        } else {
            // Unknown names, and known ones short of numbers (a matrix of five), are skipped.
            vellumLogWarning("Not implemented yet: transform = %@ %@", name, item());
        }
    }
    transformable.setTransform(transform);
}

std::string SVGElement::description() const {
    // The element's own class, without its namespace.
    std::string className = foundation::typeName(typeid(*this));
    if (const auto colons = className.rfind("::"); colons != std::string::npos) className.erase(0, colons + 2);
    return foundation::format("<%@ 0x%llx | id=%@ | prefix:localName=%@:%@ | tagName=%@ | stringValue=%@ | children=%ld>",
                              className, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(this)),
                              identifier().value_or("(null)"), prefix().value_or("(null)"), localName(), tagName(),
                              stringValue(), childNodes()->length());
}

}  // namespace vellum
