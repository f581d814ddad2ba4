#include "vellum/VellumParserExtensions.h"

#include <utility>

#include "VellumLog.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/NodeArena.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGGroupingElements.h"
#include "vellum/SVGImageElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGTextElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGUseElement.h"
#include "vellum/StyleSheetList.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumSource.h"
#include "vellum/VellumWorkBounds.h"

namespace vellum {

namespace {

std::string qualified(const std::string& name, const std::optional<std::string>& prefix) {
    return prefix ? *prefix + ":" + name : name;
}

template <class T>
VellumParserSVG::ElementFactory factory() {
    return [](const std::string& qualifiedName, const std::optional<std::string>& namespaceURI,
              const ParsedAttributes& attributes) -> std::shared_ptr<SVGElement> {
        return SVGElement::create<T>(qualifiedName, namespaceURI, attributes);
    };
}

bool isSVG(const std::optional<std::string>& namespaceURI) { return namespaceURI == svgNamespaceURI; }

// SVG elements whose content the library does not draw: they stay in the tree as generic elements, and
// paint naming them takes its fallback colour.
bool isUndrawnPaintServerOrEffect(std::string_view name) {
    return name == "pattern" || name == "marker" || name == "mask" || name == "filter";
}

std::shared_ptr<Node> genericElement(const std::string& name, const std::optional<std::string>& prefix,
                                     const std::optional<std::string>& namespaceURI,
                                     const ParsedAttributes& attributes, VellumParseResult& result) {
    if (isSVG(namespaceURI) && isUndrawnPaintServerOrEffect(name)) {
        result.addParseWarning(VellumError::make(
            "Vellum", 1,
            foundation::format("<%@> is not supported: its content is not drawn, and paint that names it uses its "
                               "fallback colour",
                               name)));
    }
    return makeNodeShared<Element>(qualified(name, prefix), namespaceURI, attributes);
}

}  // namespace

const std::map<std::string, VellumParserSVG::ElementFactory>& VellumParserSVG::elementMap() {
    static const std::map<std::string, ElementFactory> map = [] {
        std::map<std::string, ElementFactory> entries;
        entries["image"] = factory<SVGImageElement>();
        entries["switch"] = factory<SVGSwitchElement>();
        entries["circle"] = factory<SVGCircleElement>();
        entries["description"] = factory<SVGDescriptionElement>();
        entries["ellipse"] = factory<SVGEllipseElement>();
        entries["g"] = factory<SVGGElement>();
        entries["clipPath"] = factory<SVGClipPathElement>();
        entries["line"] = factory<SVGLineElement>();
        entries["path"] = factory<SVGPathElement>();
        entries["polygon"] = factory<SVGPolygonElement>();
        entries["polyline"] = factory<SVGPolylineElement>();
        entries["rect"] = factory<SVGRectElement>();
        entries["title"] = factory<SVGTitleElement>();
        entries["text"] = factory<SVGTextElement>();
        entries["textArea"] = factory<TinySVGTextAreaElement>();
        entries["tspan"] = factory<SVGTSpanElement>();
        entries["svg"] = factory<SVGSVGElement>();
        entries["symbol"] = factory<SVGSymbolElement>();
        return entries;
    }();
    return map;
}

std::vector<std::string> VellumParserSVG::supportedTags() const {
    std::vector<std::string> tags;
    for (const auto& [tag, make] : elementMap()) tags.push_back(tag);
    return tags;
}

std::shared_ptr<Node> VellumParserSVG::handleStartElement(const std::string& name,
                                                          const std::shared_ptr<VellumSource>& document,
                                                          const std::optional<std::string>& prefix,
                                                          const std::optional<std::string>& namespaceURI,
                                                          const ParsedAttributes& attributes,
                                                          VellumParseResult& result,
                                                          const std::shared_ptr<Node>& parentNode) {
    if (!isSVG(namespaceURI)) return nullptr;
    // Runs of one tag are usual (a flag's paths): the last tag's entry is kept.
    if (!lastFactory_ || lastTag_ != name) {
        const auto& map = elementMap();
        const auto entry = map.find(name);
        lastFactory_ = entry != map.end() ? &entry->second : nullptr;
        lastTag_ = name;
    }
    std::shared_ptr<SVGElement> element;
    if (lastFactory_) {
        element = (*lastFactory_)(qualified(name, prefix), namespaceURI, attributes);
    } else {
        vellumLogWarning("Support for '%@' element has not been implemented", name);
        element = SVGElement::create<SVGElement>(qualified(name, prefix), namespaceURI, attributes);
    }
    // Linked before its attributes are read, so lengths in em find the font size its ancestors give.
    // An svg element is linked after (a nested one sets up its own viewport from its attributes).
    if (parentNode && !SVGElement::as<SVGSVGElement>(element)) Node::appendParsedChild(parentNode, element);
    element->postProcessAttributesAddingErrorsTo(result);

    auto svg = SVGElement::as<SVGSVGElement>(element);
    if (!svg) return element;
    svg->setSource(document);
    if (parentNode && result.rootOfSVGTree()) return element;  // a nested svg element
    result.setRootOfSVGTree(svg);
    if (auto version = attributes.valueOf("version"); version && document) {
        document->setSvgLanguageVersion(std::string(*version));
    }
    if (parentNode) return element;
    auto svgDocument = makeNodeShared<SVGDocument>();
    svgDocument->setRootElement(svg);
    result.setParsedDocument(svgDocument);
    return element;
}

std::shared_ptr<Node> VellumParserGradient::handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>&,
                                                               const std::optional<std::string>&,
                                                               const std::optional<std::string>& namespaceURI,
                                                               const ParsedAttributes& attributes,
                                                               VellumParseResult& result, const std::shared_ptr<Node>&) {
    if (!isSVG(namespaceURI)) return nullptr;
    if (name != "linearGradient" && name != "radialGradient" && name != "stop") return nullptr;
    // Stops past the limit are not made at all: a million of them would hold the document's memory.
    if (name == "stop") {
        auto gradient = SVGElement::as<SVGGradientElement>(currentElement_);
        if (gradient && gradient->stops().size() >= SVGGradientElement::maximumStops) {
            if (std::exchange(reportedFull_, gradient.get()) != gradient.get()) {
                WorkBoundWatch::noteReached();
                result.addParseErrorRecoverable(VellumError::make(
                    "Vellum", 1,
                    foundation::format("A gradient keeps its first %lu stops; the rest are skipped",
                                       static_cast<unsigned long>(SVGGradientElement::maximumStops))));
            }
            return nullptr;
        }
    }
    // Always the bare name, even for a prefixed element.
    std::shared_ptr<SVGElement> element;
    if (name == "linearGradient") element = SVGElement::create<SVGLinearGradientElement>(name, namespaceURI, attributes);
    if (name == "radialGradient") element = SVGElement::create<SVGRadialGradientElement>(name, namespaceURI, attributes);
    if (name == "stop") element = SVGElement::create<SVGGradientStop>(name, namespaceURI, attributes);
    element->postProcessAttributesAddingErrorsTo(result);
    if (name != "stop") {
        currentElement_ = element;
    } else if (auto gradient = SVGElement::as<SVGGradientElement>(currentElement_)) {
        gradient->addStop(std::static_pointer_cast<SVGGradientStop>(element));
    }
    return element;
}

void VellumParserGradient::handleEndElement(const std::shared_ptr<Node>& node, const std::shared_ptr<VellumSource>&,
                                            VellumParseResult&) {
    // Stops after a gradient has closed are not its stops.
    if (node == currentElement_) currentElement_.reset();
}

std::shared_ptr<Node> VellumParserPatternsAndGradients::handleStartElement(
    const std::string& name, const std::shared_ptr<VellumSource>&, const std::optional<std::string>& prefix,
    const std::optional<std::string>& namespaceURI, const ParsedAttributes& attributes, VellumParseResult& result,
    const std::shared_ptr<Node>&) {
    if (!isSVG(namespaceURI)) return nullptr;
    return genericElement(name, prefix, namespaceURI, attributes, result);
}

std::shared_ptr<Node> VellumParserStyles::handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>&,
                                                             const std::optional<std::string>& prefix,
                                                             const std::optional<std::string>& namespaceURI,
                                                             const ParsedAttributes& attributes,
                                                             VellumParseResult&, const std::shared_ptr<Node>&) {
    if (!isSVG(namespaceURI)) return nullptr;
    return makeNodeShared<Element>(qualified(name, prefix), namespaceURI, attributes);
}

void VellumParserStyles::handleEndElement(const std::shared_ptr<Node>& node, const std::shared_ptr<VellumSource>&,
                                          VellumParseResult& result) {
    const std::string text = foundation::trimmingWhitespaceAndNewlines(node->textContent().value_or(""));
    if (text.empty() || !result.parsedDocument() || !result.parsedDocument()->rootElement()) return;
    StyleSheetList& sheets = *result.parsedDocument()->rootElement()->styleSheets();
    sheets.appendCounted(CSSStyleSheet::readForDocument(text, sheets.countedRules(), result));
}

std::shared_ptr<Node> VellumParserDefsAndUse::handleStartElement(const std::string& name,
                                                                 const std::shared_ptr<VellumSource>&,
                                                                 const std::optional<std::string>& prefix,
                                                                 const std::optional<std::string>& namespaceURI,
                                                                 const ParsedAttributes& attributes,
                                                                 VellumParseResult& result, const std::shared_ptr<Node>&) {
    if (!isSVG(namespaceURI) || (name != "defs" && name != "use")) return nullptr;
    if (name == "defs") return SVGElement::create<SVGDefsElement>(qualified(name, prefix), namespaceURI, attributes);
    // The reference is resolved when the document is complete (the parser does it), so it may point on.
    auto use = SVGElement::create<SVGUseElement>(qualified(name, prefix), namespaceURI, attributes);
    use->postProcessAttributesAddingErrorsTo(result);
    return use;
}

std::shared_ptr<Node> VellumParserDOM::handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>&,
                                                          const std::optional<std::string>& prefix,
                                                          const std::optional<std::string>& namespaceURI,
                                                          const ParsedAttributes& attributes,
                                                          VellumParseResult& result, const std::shared_ptr<Node>&) {
    return genericElement(name, prefix, namespaceURI, attributes, result);
}

}  // namespace vellum
