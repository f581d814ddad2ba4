#include "vellum/VellumLayerTree.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "VellumLog.h"
#include "foundation/Format.h"
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
#include "vellum/VellumParseResult.h"

namespace vellum {

namespace {

// Elements whose layers only serve others (clip content, gradients) never draw where they stand.
bool drawsInPlace(const std::shared_ptr<Node>& node) {
    return dynamic_cast<ConverterSVGToCALayer*>(node.get()) && !dynamic_cast<SVGClipPathElement*>(node.get());
}

// Puts `node` under `parent` for the duration of a call. Only the parent link changes (the child lists
// stay as they are), so a copy costs the size of what is copied, not of its siblings.
class TemporaryParent {
public:
    TemporaryParent(std::shared_ptr<Node> node, const std::shared_ptr<Node>& parent)
        : node_(std::move(node)), formerParent_(node_->parentNode()) {
        node_->setParentNode(parent);
    }
    ~TemporaryParent() { node_->setParentNode(formerParent_); }
    TemporaryParent(const TemporaryParent&) = delete;
    TemporaryParent& operator=(const TemporaryParent&) = delete;

    // Whether `node` is `parent` or one of its ancestors: moving it there would make a ring.
    static bool wouldEnclose(const Node* node, std::shared_ptr<Node> parent) {
        for (; parent; parent = parent->parentNode()) {
            if (parent.get() == node) return true;
        }
        return false;
    }

private:
    std::shared_ptr<Node> node_;
    std::shared_ptr<Node> formerParent_;
};

// A clip is the geometry of its content only: paint, opacities and strokes play no part (the platform
// let a fill-opacity in a clip path fade everything it clipped).
void keepGeometryOnly(quartz::Layer& layer) {
    layer.setOpacity(1);
    if (auto* shape = dynamic_cast<quartz::ShapeLayer*>(&layer)) {
        shape->setFillColor(gfx::Color::black());
        shape->setStrokeColor(std::nullopt);
    }
    if (auto* text = dynamic_cast<SVGTextLayer*>(&layer)) text->keepGlyphShapesOnly();
    if (auto* gradient = dynamic_cast<SVGGradientLayer*>(&layer)) {
        gradient->setGradientElement(nullptr);
        gradient->setColors({gfx::Color::black(), gfx::Color::black()});
        gradient->setLocations({});
        gradient->setBackgroundColor(std::nullopt);
    }
    for (const auto& sublayer : layer.sublayers()) keepGeometryOnly(*sublayer);
}

std::string identifierText(const SVGElement& element) { return element.identifier().value_or("(none)"); }

// One build: the chain of elements being expanded, the layers made so far and the problems met.
class LayerBuild {
public:
    explicit LayerBuild(VellumParseResult* problems) : problems_(problems) {}

    std::shared_ptr<quartz::Layer> build(const std::shared_ptr<SVGElement>& element);

private:
    // Keeps `element` in the chain for the duration of its expansion.
    class Expanding {
    public:
        Expanding(LayerBuild& build, const SVGElement* element) : build_(build), element_(element) {
            build_.chain_.insert(element_);
        }
        ~Expanding() { build_.chain_.erase(element_); }
        Expanding(const Expanding&) = delete;
        Expanding& operator=(const Expanding&) = delete;

    private:
        LayerBuild& build_;
        const SVGElement* element_;
    };

    void applyClipPath(const std::shared_ptr<SVGElement>& owner, quartz::Layer& layer);
    void report(const std::string& message);

    VellumParseResult* problems_;
    SVGElement::CascadeScope cascade_;
    std::unordered_set<const SVGElement*> chain_;
    std::size_t built_ = 0;
    std::unordered_set<std::string> reported_;
};

// Filed once per build, and once per parse result however often the tree is rebuilt.
void LayerBuild::report(const std::string& message) {
    if (!reported_.insert(message).second) return;
    if (!problems_) {
        vellumLogWarning("%@", message);
        return;
    }
    for (const auto& filed : problems_->errorsRecoverable()) {
        if (filed.localizedDescription() == message) return;
    }
    problems_->addParseErrorRecoverable(VellumError::make("Vellum", 1, message));
}

void LayerBuild::applyClipPath(const std::shared_ptr<SVGElement>& owner, quartz::Layer& layer) {
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
    // Content that clips itself with its own clip path (directly or through a use) would expand forever.
    if (chain_.contains(clipElement.get())) {
        report(foundation::format("A clip path is applied inside its own content; it is not applied there. Clip path "
                                  "id = %@",
                                  *identifier));
        return;
    }
    // The clip's content lies in the user space of the element it clips (the platform drew it in the
    // space of wherever the clip path stood, which misplaced every clip of a transformed element).
    auto mask = clipElement->newLayer();
    if (!TemporaryParent::wouldEnclose(clipElement.get(), owner)) {
        Expanding expanding(*this, clipElement.get());
        TemporaryParent moved(clipElement, owner);
        for (const auto& child : *clipElement->childNodes()) {
            if (!drawsInPlace(child)) continue;
            if (auto sublayer = build(std::static_pointer_cast<SVGElement>(child))) mask->addSublayer(sublayer);
        }
    }
    keepGeometryOnly(*mask);
    clipElement->layoutLayer(*mask, layer);
    layer.setMask(mask);
}

std::shared_ptr<quartz::Layer> LayerBuild::build(const std::shared_ptr<SVGElement>& element) {
    auto* converter = dynamic_cast<ConverterSVGToCALayer*>(element.get());
    if (!converter) return quartz::Layer::make();
    if (chain_.size() >= VellumLayerTree::maximumNestingDepth) {
        report(foundation::format("Elements nested deeper than %lu levels (use copies included) are not drawn",
                                  VellumLayerTree::maximumNestingDepth));
        return nullptr;
    }
    if (built_ >= VellumLayerTree::maximumInstantiatedElements) {
        report(foundation::format("The document instantiates more than %lu elements; building stopped there and what "
                                  "was built is drawn",
                                  VellumLayerTree::maximumInstantiatedElements));
        return nullptr;
    }
    ++built_;
    Expanding expanding(*this, element.get());
    auto layer = converter->newLayer();

    std::shared_ptr<SVGElement> target = element;
    std::vector<std::shared_ptr<Node>> children;
    std::optional<TemporaryParent> moved;
    if (auto use = std::dynamic_pointer_cast<SVGUseElement>(element)) {
        auto instance = use->instanceRoot();
        target = instance ? instance->correspondingElement() : nullptr;
        if (target && (chain_.contains(target.get()) || TemporaryParent::wouldEnclose(target.get(), use))) {
            report(foundation::format("A <use> element refers to an element that contains it or is being copied "
                                      "already; it draws nothing. Use element id = %@, reference = %@",
                                      identifierText(*use), identifierText(*target)));
            target = nullptr;
        }
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
        auto sublayer = build(std::static_pointer_cast<SVGElement>(child));
        if (!sublayer) continue;
        layer->addSublayer(sublayer);
        ++added;
    }
    moved.reset();
    // A hidden container still draws its children that say visible: what they inherit hides the rest.
    // Only display takes a whole subtree away.
    const bool displayed = element->cascadedValueForStylableProperty("display", false) != "none";
    layer->setHidden(!displayed || (added == 0 && !VellumLayerTree::isElementVisible(*element)));
    if (added > 0) {
        if (auto* targetConverter = dynamic_cast<ConverterSVGToCALayer*>(target.get())) targetConverter->layoutLayer(*layer);
        layer->setNeedsDisplay();
    }
    return layer;
}

}  // namespace

bool VellumLayerTree::isElementVisible(const SVGElement& element) {
    if (element.cascadedValueForStylableProperty("display", false) == "none") return false;
    const auto visibility = element.cascadedValueForStylableProperty("visibility");
    return visibility != "hidden" && visibility != "collapse";
}

std::shared_ptr<quartz::Layer> VellumLayerTree::newLayerWithElement(const std::shared_ptr<SVGElement>& element,
                                                                    VellumParseResult* problems) {
    if (!element) return nullptr;
    LayerBuild build(problems);
    auto layer = build.build(element);
    return layer ? layer : quartz::Layer::make();
}

gfx::Bitmap VellumLayerTree::renderDocument(SVGDocument& document, gfx::Size size, double scale,
                                            VellumParseResult* problems) {
    auto root = document.rootElement();
    if (!root) return {};
    root->setViewport(SVGRectMake(0, 0, static_cast<float>(size.width), static_cast<float>(size.height)));
    auto tree = newLayerWithElement(root, problems);
    auto context = gfx::Context::create(size, {.scale = scale});
    if (!context) return {};
    quartz::render(*tree, *context);
    return context->makeImage();
}

}  // namespace vellum
