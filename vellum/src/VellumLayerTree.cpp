#include "vellum/VellumLayerTree.h"

#include <optional>

#include "VellumLog.h"
#include "gfx/Context.h"
#include "quartz/Renderer.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGGroupingElements.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGUseElement.h"
#include "vellum/VellumLayers.h"

namespace vellum {

namespace {

// Elements whose layers only serve others (clip content, gradients) never draw where they stand.
bool drawsInPlace(const std::shared_ptr<Node>& node) {
    return dynamic_cast<ConverterSVGToCALayer*>(node.get()) && !dynamic_cast<SVGClipPathElement*>(node.get());
}

// Puts `node` under `parent` for the duration of a call and back at its place among its siblings.
class TemporaryParent {
public:
    TemporaryParent(const std::shared_ptr<Node>& node, const std::shared_ptr<Node>& parent) : node_(node) {
        formerParent_ = node->parentNode();
        if (formerParent_) {
            const auto& siblings = *formerParent_->childNodes();
            while (index_ < siblings.length() && siblings.item(index_) != node) ++index_;
        }
        parent->appendChild(node);
    }
    ~TemporaryParent() {
        if (!formerParent_) {
            if (auto parent = node_->parentNode()) parent->removeChild(node_);
            return;
        }
        const auto& siblings = *formerParent_->childNodes();
        if (index_ < siblings.length()) {
            formerParent_->insertBefore(node_, siblings.item(index_));
        } else {
            formerParent_->appendChild(node_);
        }
    }
    TemporaryParent(const TemporaryParent&) = delete;
    TemporaryParent& operator=(const TemporaryParent&) = delete;

private:
    std::shared_ptr<Node> node_;
    std::shared_ptr<Node> formerParent_;
    std::size_t index_ = 0;
};

// A clip is the geometry of its content only: paint, opacities and strokes play no part (the platform
// let a fill-opacity in a clip path fade everything it clipped).
void keepGeometryOnly(quartz::Layer& layer) {
    layer.setOpacity(1);
    if (auto* shape = dynamic_cast<quartz::ShapeLayer*>(&layer)) {
        shape->setFillColor(gfx::Color::black());
        shape->setStrokeColor(std::nullopt);
    }
    if (auto* gradient = dynamic_cast<SVGGradientLayer*>(&layer)) {
        gradient->setGradientElement(nullptr);
        gradient->setColors({gfx::Color::black(), gfx::Color::black()});
        gradient->setLocations({});
        gradient->setBackgroundColor(std::nullopt);
    }
    for (const auto& sublayer : layer.sublayers()) keepGeometryOnly(*sublayer);
}

void applyClipPath(const std::shared_ptr<SVGElement>& owner, quartz::Layer& layer) {
    const SVGElement& element = *owner;
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
    // The clip's content lies in the user space of the element it clips (the platform drew it in the
    // space of wherever the clip path stood, which misplaced every clip of a transformed element).
    auto mask = clipElement->newLayer();
    bool clipContainsOwner = false;
    for (std::shared_ptr<Node> node = owner; node && !clipContainsOwner; node = node->parentNode()) {
        clipContainsOwner = node == clipElement;
    }
    if (!clipContainsOwner) {
        TemporaryParent moved(clipElement, owner);
        for (const auto& child : *clipElement->childNodes()) {
            if (!drawsInPlace(child)) continue;
            mask->addSublayer(VellumLayerTree::newLayerWithElement(std::static_pointer_cast<SVGElement>(child)));
        }
    }
    keepGeometryOnly(*mask);
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
    std::optional<TemporaryParent> moved;
    if (auto use = std::dynamic_pointer_cast<SVGUseElement>(element)) {
        auto instance = use->instanceRoot();
        target = instance ? instance->correspondingElement() : nullptr;
        if (target) {
            children.push_back(target);
            // The copy takes the use element's place, so its transforms and styles are the use element's.
            moved.emplace(target, use);
        }
    } else if (auto switchElement = std::dynamic_pointer_cast<SVGSwitchElement>(element)) {
        for (const auto& child : *switchElement->visibleChildNodes()) children.push_back(child);
    } else {
        for (const auto& child : *element->childNodes()) children.push_back(child);
    }

    applyClipPath(element, *layer);
    std::size_t added = 0;
    for (const auto& child : children) {
        if (!drawsInPlace(child)) continue;
        layer->addSublayer(newLayerWithElement(std::static_pointer_cast<SVGElement>(child)));
        ++added;
    }
    moved.reset();
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
