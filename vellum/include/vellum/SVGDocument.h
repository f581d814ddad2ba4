#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vellum/Document.h"

namespace vellum {

class SVGSVGElement;

// An SVG document: its root is the outermost svg element.
class SVGDocument : public Document {
public:
    SVGDocument() = default;

    // Namespace URI to the prefixes declared for it, in document order.
    using PrefixesByNamespace = std::map<std::string, std::vector<std::string>>;

    const std::shared_ptr<SVGSVGElement>& rootElement() const { return rootElement_; }
    // Also the document element.
    void setRootElement(std::shared_ptr<SVGSVGElement> root);
    // The document element of an SVG document is an svg element: anything else is reported (and still
    // set, leaving the root element null).
    void setDocumentElement(std::shared_ptr<Element> element) override;

    // The "xmlns" declarations of the root element and everything below it.
    PrefixesByNamespace allPrefixesByNamespace() const;
    // One prefix per namespace, no two alike: the first declared one still free; else "" for the SVG
    // namespace, else the last part of the URI (with "-2", "-3"... until free).
    std::map<std::string, std::string> allPrefixesByNamespaceNormalized() const;
    static void accumulateNamespacesForNode(const std::shared_ptr<Node>& node, PrefixesByNamespace& prefixes);

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& referrer() const { return referrer_; }
    void setReferrer(std::string referrer) { referrer_ = std::move(referrer); }
    const std::string& domain() const { return domain_; }
    void setDomain(std::string domain) { domain_ = std::move(domain); }
    const std::string& URL() const { return URL_; }
    void setURL(std::string url) { URL_ = std::move(url); }

private:
    std::shared_ptr<SVGSVGElement> rootElement_;
    std::string title_;
    std::string referrer_;
    std::string domain_;
    std::string URL_;
};

}  // namespace vellum
