#include "vellum/SVGUseElement.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <vector>

#include "SVGSubtree.h"
#include "VellumLog.h"
#include "vellum/Attr.h"
#include "vellum/DOMHelperUtilities.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeList.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParserExtension.h"

namespace vellum {

void SVGElementInstance::setParentNode(const std::shared_ptr<SVGElementInstance>& parent) {
    auto previous = parentNode();
    if (previous == parent) return;
    auto self = shared_from_this();
    if (previous) std::erase(previous->childNodes_->internalArray(), self);
    parentNode_ = parent;
    if (!parent) return;
    auto& siblings = parent->childNodes_->internalArray();
    if (std::find(siblings.begin(), siblings.end(), self) != siblings.end()) {
        vellumLogError("Found that I was already a child of the node that I was being added to - should be impossible!");
        return;
    }
    siblings.push_back(self);
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::firstChild() const { return childNodes_->item(0); }

std::shared_ptr<SVGElementInstance> SVGElementInstance::lastChild() const {
    const std::size_t count = childNodes_->length();
    return count == 0 ? nullptr : childNodes_->item(count - 1);
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::previousSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const auto& siblings = parent->childNodes_->internalArray();
    auto found = std::find(siblings.begin(), siblings.end(), shared_from_this());
    return found == siblings.end() || found == siblings.begin() ? nullptr : *(found - 1);
}

std::shared_ptr<SVGElementInstance> SVGElementInstance::nextSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const auto& siblings = parent->childNodes_->internalArray();
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

// A use of a use lays out as the element at the end of the chain; a ring of use elements has none.
void SVGUseElement::layoutLayer(quartz::Layer& layer) {
    std::unordered_set<const SVGUseElement*> seen{this};
    auto root = instanceRoot();
    std::shared_ptr<SVGElement> target = root ? root->correspondingElement() : nullptr;
    while (auto use = SVGElement::as<SVGUseElement>(target)) {
        if (!seen.insert(use.get()).second) return;
        root = use->instanceRoot();
        target = root ? root->correspondingElement() : nullptr;
    }
    if (auto* converter = SVGElement::as<ConverterSVGToCALayer>(target.get())) converter->layoutLayer(layer);
}

std::optional<std::string> SVGUseElement::referencedIdentifier() const {
    std::string href = SVGHelperUtilities::referenceText(*this);
    if (href.starts_with("url(") && href.ends_with(")")) href = href.substr(4, href.size() - 5);
    if (href.size() < 2 || href.front() != '#') return std::nullopt;
    return href.substr(1);
}

std::shared_ptr<SVGElementInstance> SVGUseElement::instanceRoot() {
    std::size_t unlimited = std::numeric_limits<std::size_t>::max();
    resolveInstanceRoot(unlimited);
    return instanceRoot_;
}

SVGUseElement::ElementsByIdentifier SVGUseElement::elementsByIdentifier(const std::shared_ptr<Node>& top) {
    static const NamedNodeMap::Name idName("id");
    ElementsByIdentifier identifiers;
    std::vector<Node*> pending{top.get()};
    while (!pending.empty()) {
        Node* node = pending.back();
        pending.pop_back();
        if (auto* element = Element::from(node)) {
            if (const auto id = element->findAttributeValue(idName); id && !id->empty()) {
                identifiers.try_emplace(std::string(*id), element);
            }
        }
        const auto& children = *node->childNodes();
        for (std::size_t index = children.length(); index > 0; --index) pending.push_back(children.item(index - 1).get());
    }
    return identifiers;
}

bool SVGUseElement::resolveInstanceRoot(std::size_t& remainingInstances, const ElementsByIdentifier* identifiers) {
    if (resolved_) return true;
    resolved_ = true;
    const auto identifier = referencedIdentifier();
    if (!identifier) return true;
    std::shared_ptr<SVGElement> target;
    if (identifiers) {
        if (auto found = identifiers->find(*identifier); found != identifiers->end()) {
            if (auto* element = SVGElement::from(found->second)) {
                target = std::static_pointer_cast<SVGElement>(element->shared_from_this());
            }
        }
    } else {
        std::shared_ptr<Node> top = shared_from_this();
        while (auto parent = top->parentNode()) top = parent;
        target = SVGElement::from(DOMHelperUtilities::privateGetElementById(*identifier, top));
    }
    if (!target) return true;
    for (std::shared_ptr<Node> node = shared_from_this(); node; node = node->parentNode()) {
        if (node == target) return true;  // the copy would contain this use element itself
    }
    // Counted before anything is made; once the budget is spent nothing more is counted.
    std::size_t count = 0;
    if (remainingInstances > 0) forEachSVGElementOfSubtree(*target, [&](SVGElement&) { ++count; });
    if (count == 0 || count > remainingInstances) {
        remainingInstances = 0;
        return false;
    }
    remainingInstances -= count;
    instanceRoot_ = convertSVGElementToElementInstanceTree(target, std::static_pointer_cast<SVGUseElement>(shared_from_this()));
    return true;
}

std::shared_ptr<SVGElementInstance> SVGUseElement::convertSVGElementToElementInstanceTree(
    const std::shared_ptr<SVGElement>& element, const std::shared_ptr<SVGUseElement>& outermostUseElement) {
    auto instance = std::make_shared<SVGElementInstance>();
    instance->setCorrespondingElement(element);
    instance->setCorrespondingUseElement(outermostUseElement);
    for (const auto& child : *element->childNodes()) {
        if (auto childElement = SVGElement::from(child)) {
            convertSVGElementToElementInstanceTree(childElement, outermostUseElement)->setParentNode(instance);
        }
    }
    return instance;
}

}  // namespace vellum
