#include "vellum/VellumLayerTree.h"

#include "VellumLog.h"
#include "gfx/Context.h"
#include "quartz/Renderer.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGUseElement.h"

namespace vellum {

namespace {

// Elements whose layers only serve others (clip content, gradients) never draw where they stand.
bool drawsInPlace(const std::shared_ptr<Node>& node) {
    return dynamic_cast<ConverterSVGToCALayer*>(node.get()) && !dynamic_cast<SVGClipPathElement*>(node.get());
}

void applyClipPath(const SVGElement& element, quartz::Layer& layer) {
    const std::string clip = element.cascadedValueForStylableProperty("clip-path", false).value_or("");
    if (!clip.starts_with("url")) return;
    const auto identifier = SVGHelperUtilities::paintReferenceIdentifier(clip);
    if (!identifier) return;
    auto root = element.rootOfCurrentDocumentFragment();
    if (!root) {
        vellumLogWarning(
            "This SVG shape has a URL clip-path type; it needs to search for that URL (%@) inside its nearest-ancestor "
            "<SVG> node, but the rootOfCurrentDocumentFragment reference was nil (suggests the parser failed, or the "
            "SVG file is corrupt)",
            *identifier);
        return;
    }
    auto clipElement = std::dynamic_pointer_cast<SVGClipPathElement>(root->getElementById(*identifier));
    if (!clipElement) {
        vellumLogWarning(
            "This SVG shape has a URL clip-path (%@), but could not find an XML Node with that ID inside the DOM tree "
            "(suggests the parser failed, or the SVG file is corrupt)",
            *identifier);
        return;
    }
    auto mask = clipElement->newLayer();
    for (const auto& child : *clipElement->childNodes()) {
        if (!drawsInPlace(child)) continue;
        mask->addSublayer(VellumLayerTree::newLayerWithElement(std::static_pointer_cast<SVGElement>(child)));
    }
    clipElement->layoutLayer(*mask, layer);
    layer.setMask(mask);
}

}  // namespace

bool VellumLayerTree::isElementVisible(const SVGElement& element) {
    if (element.cascadedValueForStylableProperty("display", false) == "none") return false;
    const auto visibility = element.cascadedValueForStylableProperty("visibility");
    return visibility != "hidden" && visibility != "collapse";
}

std::shared_ptr<quartz::Layer> VellumLayerTree::newLayerWithElement(const std::shared_ptr<SVGElement>& element) {
    auto* converter = dynamic_cast<ConverterSVGToCALayer*>(element.get());
    if (!converter) return quartz::Layer::make();
    auto layer = converter->newLayer();
    layer->setHidden(!isElementVisible(*element));

    std::shared_ptr<SVGElement> target = element;
    std::vector<std::shared_ptr<Node>> children;
    std::shared_ptr<Node> targetParent;
    std::size_t targetIndex = 0;
    if (auto use = std::dynamic_pointer_cast<SVGUseElement>(element)) {
        auto instance = use->instanceRoot();
        target = instance ? instance->correspondingElement() : nullptr;
        if (target) {
            children.push_back(target);
            // The copy takes the use element's place, so its transforms and styles are the use element's.
            targetParent = target->parentNode();
            if (targetParent) {
                const auto& siblings = *targetParent->childNodes();
                while (targetIndex < siblings.length() && siblings.item(targetIndex) != target) ++targetIndex;
            }
            use->appendChild(target);
        }
    } else {
        for (const auto& child : *element->childNodes()) children.push_back(child);
    }

    applyClipPath(*element, *layer);
    std::size_t added = 0;
    for (const auto& child : children) {
        if (!drawsInPlace(child)) continue;
        auto childLayer = newLayerWithElement(std::static_pointer_cast<SVGElement>(child));
        layer->addSublayer(childLayer);
        ++added;
    }
    if (targetParent && target) {
        // Back where it was, at its own place among its siblings.
        const auto& siblings = *targetParent->childNodes();
        if (targetIndex < siblings.length()) {
            targetParent->insertBefore(target, siblings.item(targetIndex));
        } else {
            targetParent->appendChild(target);
        }
    } else if (target && target != element) {
        element->removeChild(target);
    }
    if (added > 0) {
        if (auto* targetConverter = dynamic_cast<ConverterSVGToCALayer*>(target.get())) targetConverter->layoutLayer(*layer);
        layer->setNeedsDisplay();
    }
    return layer;
}

gfx::Bitmap VellumLayerTree::renderDocument(SVGDocument& document, gfx::Size size, double scale) {
    auto root = document.rootElement();
    if (!root) return {};
    root->setViewport(SVGRectMake(0, 0, static_cast<float>(size.width), static_cast<float>(size.height)));
    auto tree = newLayerWithElement(root);
    auto context = gfx::Context::create(size, {.scale = scale});
    if (!context) return {};
    quartz::render(*tree, *context);
    return context->makeImage();
}

}  // namespace vellum
