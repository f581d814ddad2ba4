#include "vellum/SVGDocument.h"

#include "vellum/SVGSVGElement.h"

namespace vellum {

void SVGDocument::setRootElement(std::shared_ptr<SVGSVGElement> root) {
    setDocumentElement(root);
    rootElement_ = std::move(root);
}

}  // namespace vellum
