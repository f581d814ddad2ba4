#include "vellum/SVGUseElement.h"

#include <algorithm>

#include "vellum/Attr.h"
#include "vellum/DOMHelperUtilities.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeList.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParserExtension.h"

namespace vellum {

void SVGElementInstance::setParentNode(const std::shared_ptr<SVGElementInstance>& parent) {
    if (auto previous = parentNode()) std::erase(previous->childNodes_, shared_from_this());
    parentNode_ = parent;
    if (parent) parent->childNodes_.push_back(shared_from_this());
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::firstChild() const {
    return childNodes_.empty() ? nullptr : childNodes_.front();
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::lastChild() const {
    return childNodes_.empty() ? nullptr : childNodes_.back();
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::previousSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const auto& siblings = parent->childNodes_;
    auto found = std::find(siblings.begin(), siblings.end(), shared_from_this());
    return found == siblings.end() || found == siblings.begin() ? nullptr : *(found - 1);
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::nextSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const auto& siblings = parent->childNodes_;
    auto found = std::find(siblings.begin(), siblings.end(), shared_from_this());
    return found == siblings.end() || found + 1 == siblings.end() ? nullptr : *(found + 1);
}

void SVGUseElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const auto length = [&](std::string_view name) -> std::optional<SVGLength> {
        if (!hasAttribute(name)) return std::nullopt;
        return SVGLength::svgLengthFromNSString(getAttribute(name));
    };
    x_ = length("x");
    y_ = length("y");
    width_ = length("width");
    height_ = length("height");
    // x and y move the copy before the use element's own transform (the platform ignored them).
    const gfx::Size reference = SVGHelperUtilities::percentageReferenceSize(result.rootOfSVGTree().get());
    const double dx = x_ ? x_->pixelsValueWithDimension(static_cast<float>(reference.width)) : 0;
    const double dy = y_ ? y_->pixelsValueWithDimension(static_cast<float>(reference.height)) : 0;
    if (dx != 0 || dy != 0) setTransform(gfx::AffineTransform::translation(dx, dy).concatenating(transform()));
}

std::shared_ptr<quartz::Layer> SVGUseElement::newLayer() { return quartz::Layer::make(); }

void SVGUseElement::layoutLayer(quartz::Layer& layer) {
    auto root = instanceRoot();
    if (!root) return;
    if (auto* converter = dynamic_cast<ConverterSVGToCALayer*>(root->correspondingElement().get())) {
        converter->layoutLayer(layer);
    }
}

std::optional<std::string> SVGUseElement::referencedIdentifier() const {
    std::string href = getAttributeNS(xlinkNamespaceURI, "href");
    if (href.empty()) href = getAttribute("href");  // any prefix bound to XLink, or SVG 2's plain href
    if (href.starts_with("url(") && href.ends_with(")")) href = href.substr(4, href.size() - 5);
    if (href.size() < 2 || href.front() != '#') return std::nullopt;
    return href.substr(1);
}

std::shared_ptr<SVGElementInstance> SVGUseElement::instanceRoot() {
    if (resolved_) return instanceRoot_;
    resolved_ = true;
    const auto identifier = referencedIdentifier();
    if (!identifier) return nullptr;
    std::shared_ptr<Node> top = shared_from_this();
    while (auto parent = top->parentNode()) top = parent;
    auto target = std::dynamic_pointer_cast<SVGElement>(DOMHelperUtilities::privateGetElementById(*identifier, top));
    if (!target) return nullptr;
    for (std::shared_ptr<Node> node = shared_from_this(); node; node = node->parentNode()) {
        if (node == target) return nullptr;  // the copy would contain this use element itself
    }
    auto self = std::static_pointer_cast<SVGUseElement>(shared_from_this());
    instanceRoot_ = convertSVGElementToElementInstanceTree(target, self);
    return instanceRoot_;
}

std::shared_ptr<SVGElementInstance> SVGUseElement::convertSVGElementToElementInstanceTree(
    const std::shared_ptr<SVGElement>& element, const std::shared_ptr<SVGUseElement>& outermostUseElement) {
    auto instance = std::make_shared<SVGElementInstance>();
    instance->setCorrespondingElement(element);
    instance->setCorrespondingUseElement(outermostUseElement);
    for (const auto& child : *element->childNodes()) {
        if (auto childElement = std::dynamic_pointer_cast<SVGElement>(child)) {
            convertSVGElementToElementInstanceTree(childElement, outermostUseElement)->setParentNode(instance);
        }
    }
    return instance;
}

}  // namespace vellum
