#pragma once

#include <memory>
#include <string>

#include "vellum/Document.h"

namespace vellum {

class SVGSVGElement;

// An SVG document: its root is the outermost svg element.
class SVGDocument : public Document {
public:
    SVGDocument() = default;

    const std::shared_ptr<SVGSVGElement>& rootElement() const { return rootElement_; }
    // Also the document element.
    void setRootElement(std::shared_ptr<SVGSVGElement> root);

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& referrer() const { return referrer_; }
    const std::string& domain() const { return domain_; }
    const std::string& URL() const { return URL_; }

private:
    std::shared_ptr<SVGSVGElement> rootElement_;
    std::string title_;
    std::string referrer_;
    std::string domain_;
    std::string URL_;
};

}  // namespace vellum
