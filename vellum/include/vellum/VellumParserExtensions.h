#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vellum/VellumParserExtension.h"

namespace vellum {

class SVGElement;

// SVG-namespace tags with element classes of their own, by the tag table.
class VellumParserSVG : public VellumParserExtension {
public:
    using ElementFactory = std::function<std::shared_ptr<SVGElement>(const std::string& qualifiedName,
                                                                     const std::optional<std::string>& namespaceURI,
                                                                     const ParsedAttributes& attributes)>;
    // Tag name to the class it is built as.
    static const std::map<std::string, ElementFactory>& elementMap();

    std::vector<std::string> supportedNamespaces() const override { return {svgNamespaceURI}; }
    std::vector<std::string> supportedTags() const override;
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;

private:
    // The last tag asked for and its entry (null for a tag without one).
    std::string lastTag_;
    const ElementFactory* lastFactory_ = nullptr;
};

// Gradients and their stops. A stop outside a gradient is built but belongs to no gradient.
class VellumParserGradient : public VellumParserSVG {
public:
    std::vector<std::string> supportedTags() const override { return {"linearGradient", "radialGradient", "stop"}; }
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;
    void handleEndElement(const std::shared_ptr<Node>& node, const std::shared_ptr<VellumSource>& document,
                          VellumParseResult& result) override;

    const std::shared_ptr<SVGElement>& currentElement() const { return currentElement_; }

private:
    std::shared_ptr<SVGElement> currentElement_;
    // The open gradient whose stops past the limit were reported already.
    const SVGElement* reportedFull_ = nullptr;
};

// Patterns are not drawn: each is kept as a generic element with a warning, and the parse goes on.
class VellumParserPatternsAndGradients : public VellumParserExtension {
public:
    std::vector<std::string> supportedNamespaces() const override { return {svgNamespaceURI}; }
    std::vector<std::string> supportedTags() const override { return {"pattern"}; }
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;
};

// "style" elements: their text becomes a style sheet of the document's root element.
class VellumParserStyles : public VellumParserExtension {
public:
    std::vector<std::string> supportedNamespaces() const override { return {svgNamespaceURI}; }
    std::vector<std::string> supportedTags() const override { return {"style"}; }
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;
    void handleEndElement(const std::shared_ptr<Node>& node, const std::shared_ptr<VellumSource>& document,
                          VellumParseResult& result) override;
};

// "defs" and "use".
class VellumParserDefsAndUse : public VellumParserExtension {
public:
    std::vector<std::string> supportedNamespaces() const override { return {svgNamespaceURI}; }
    std::vector<std::string> supportedTags() const override { return {"defs", "use"}; }
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;
};

// Everything else, of any namespace: a generic element.
class VellumParserDOM : public VellumParserExtension {
public:
    std::vector<std::string> supportedNamespaces() const override { return {}; }
    std::vector<std::string> supportedTags() const override { return {}; }
    std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                             const std::optional<std::string>& prefix,
                                             const std::optional<std::string>& namespaceURI,
                                             const ParsedAttributes& attributes, VellumParseResult& result,
                                             const std::shared_ptr<Node>& parentNode) override;
};

}  // namespace vellum
