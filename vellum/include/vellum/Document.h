#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vellum/Node.h"

namespace vellum {

class Attr;
class CDATASection;
class Comment;
class DocumentFragment;
class DocumentType;
class Element;
class LenientDOMImplementation;
class ProcessingInstruction;
class Text;

// A document: its root element, the node factories and the searches. The factories set neither the
// new node's parent nor its owner document.
class Document : public Node {
public:
    explicit Document(std::string name = "#document");

    std::shared_ptr<DocumentType> doctype() const { return nullptr; }
    std::shared_ptr<LenientDOMImplementation> implementation() const { return nullptr; }
    // Owned: the root element is not a child of the document.
    const std::shared_ptr<Element>& documentElement() const { return documentElement_; }
    virtual void setDocumentElement(std::shared_ptr<Element> element) { documentElement_ = std::move(element); }

    std::shared_ptr<Element> createElement(std::string tagName);
    std::shared_ptr<Element> createElementNS(std::optional<std::string> namespaceURI, std::string qualifiedName);
    std::shared_ptr<DocumentFragment> createDocumentFragment();
    std::shared_ptr<Text> createTextNode(std::string data);
    std::shared_ptr<Comment> createComment(std::string data);
    std::shared_ptr<CDATASection> createCDATASection(std::string data);
    std::shared_ptr<ProcessingInstruction> createProcessingInstruction(std::string target, std::string data);
    // An attribute with the empty value.
    std::shared_ptr<Attr> createAttribute(std::string name);
    // Unsupported: these fail the assertion handler.
    std::shared_ptr<Attr> createAttributeNS(std::optional<std::string> namespaceURI, std::string qualifiedName);
    std::shared_ptr<Node> createEntityReference(std::string name);
    std::shared_ptr<Node> importNode(const std::shared_ptr<Node>& node, bool deep);

    // Searches from the root element; nothing without one.
    std::shared_ptr<NodeList> getElementsByTagName(std::string_view name) const;
    std::shared_ptr<NodeList> getElementsByTagNameNS(std::string_view namespaceURI, std::string_view localName) const;
    std::shared_ptr<Element> getElementById(std::string_view identifier) const;

private:
    std::shared_ptr<Element> documentElement_;
};

class DocumentFragment : public Node {
public:
    DocumentFragment() : Node(NodeType::documentFragment, std::string()) {}
};

// Read-only; nothing in the library makes one from a document.
class DocumentType : public Node {
public:
    explicit DocumentType(std::string name) : Node(NodeType::documentType, name), name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    std::shared_ptr<NamedNodeMap> entities() const { return nullptr; }
    std::shared_ptr<NamedNodeMap> notations() const { return nullptr; }
    const std::string& publicId() const { return publicId_; }
    const std::string& systemId() const { return systemId_; }
    const std::string& internalSubset() const { return internalSubset_; }

private:
    std::string name_;
    std::string publicId_;
    std::string systemId_;
    std::string internalSubset_;
};

// Named so because the platform keeps the standard name for a private class; it cannot build
// documents. Each operation fails the assertion handler.
class LenientDOMImplementation {
public:
    bool hasFeature(std::string_view feature, std::string_view version);
    std::shared_ptr<DocumentType> createDocumentType(std::string_view qualifiedName, std::string_view publicId,
                                                     std::string_view systemId);
    std::shared_ptr<Document> createDocument(std::string_view namespaceURI, std::string_view qualifiedName,
                                             const std::shared_ptr<DocumentType>& doctype);
};

}  // namespace vellum
