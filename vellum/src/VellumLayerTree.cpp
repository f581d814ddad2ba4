#include "vellum/VellumLayerTree.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "ScopeWork.h"
#include "VellumLog.h"
#include "foundation/Format.h"
#include "gfx/Context.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGGroupingElements.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGImageElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGUseElement.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumWorkBounds.h"

namespace vellum {

namespace {

using Property = SVGElement::StyleProperty;

// Elements whose layers only serve others (clip content, symbols) never draw where they stand.
bool drawsInPlace(const std::shared_ptr<Node>& node) {
    return SVGElement::is<ConverterSVGToCALayer>(node.get()) && !SVGElement::is<SVGClipPathElement>(node.get()) &&
           !SVGElement::is<SVGSymbolElement>(node.get());
}

// A use element's width and height, each 100% when absent; the viewport a symbol it shows gets.
gfx::Size useViewportSize(const SVGUseElement& use) {
    const gfx::Size reference =
        SVGHelperUtilities::percentageReferenceSize(use.rootOfCurrentDocumentFragment().get());
    const auto length = [](const std::optional<SVGLength>& given, double whole) {
        return given ? given->pixelsValueWithDimension(static_cast<float>(whole)) : whole;
    };
    return {length(use.width(), reference.width), length(use.height(), reference.height)};
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

// A clip is the geometry of its content only, filled by the clip rule: paint, opacities and strokes
// play no part (the platform let a fill-opacity in a clip path fade everything it clipped).
void keepGeometryOnly(quartz::Layer& layer, gfx::FillRule rule) {
    layer.setOpacity(1);
    if (auto* shape = dynamic_cast<quartz::ShapeLayer*>(&layer)) {
        shape->setFillColor(gfx::Color::black());
        shape->setStrokeColor(std::nullopt);
        shape->setFillRule(rule);
    }
    if (auto* text = dynamic_cast<SVGTextLayer*>(&layer)) text->keepGlyphShapesOnly();
    if (auto* gradient = dynamic_cast<SVGGradientLayer*>(&layer)) {
        gradient->setGradientElement(nullptr);
        gradient->setColors({gfx::Color::black(), gfx::Color::black()});
        gradient->setLocations({});
        gradient->setBackgroundColor(std::nullopt);
    }
    for (const auto& sublayer : layer.sublayers()) keepGeometryOnly(*sublayer, rule);
}

// A frame as the platform writes a rectangle: "{{x, y}, {width, height}}".
std::string frameText(const gfx::Rect& frame) {
    return foundation::format("{{%g, %g}, {%g, %g}}", frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
}

gfx::FillRule clipRule(const SVGElement& element) {
    return element.cascadedValueInScope(Property::clipRule) == "evenodd" ? gfx::FillRule::evenOdd
                                                                         : gfx::FillRule::winding;
}

// The element's bounding box in its own user space: its path's, or the union of its children's (a use
// element's copy's) in their places; nothing for an element without geometry. Nesting past the build's
// limit counts for nothing.
std::optional<gfx::Rect> userBoundingBox(SVGElement& element, std::size_t depth) {
    if (depth >= VellumLayerTree::maximumNestingDepth) return std::nullopt;
    if (const auto* shape = SVGElement::as<BaseClassForAllSVGBasicShapes>(&element)) {
        const auto& path = shape->pathForShapeInRelativeCoords();
        if (!path || path->isEmpty()) return std::nullopt;
        return shape->pathBoundingBoxInRelativeCoords();
    }
    std::vector<std::shared_ptr<SVGElement>> parts;
    if (auto* use = SVGElement::as<SVGUseElement>(&element)) {
        auto instance = use->instanceRoot();
        if (instance && instance->correspondingElement()) parts.push_back(instance->correspondingElement());
    } else if (SVGElement::as<SVGGElement>(&element) || SVGElement::as<SVGSwitchElement>(&element) ||
               SVGElement::as<SVGSymbolElement>(&element)) {
        for (const auto& child : *element.childNodes()) {
            if (auto part = SVGElement::from(child); part && drawsInPlace(part)) parts.push_back(part);
        }
    }
    std::optional<gfx::Rect> box;
    for (const auto& part : parts) {
        const auto partBox = userBoundingBox(*part, depth + 1);
        if (!partBox) continue;
        const auto* transformable = SVGElement::as<SVGTransformable>(part.get());
        const gfx::Rect placed = transformable ? transformable->transform().apply(*partBox) : *partBox;
        box = box ? box->unionWith(placed) : placed;
    }
    return box;
}

// The visibility half of whether an element shows (the build has read its display already). In a scope.
bool visibilityShows(const SVGElement& element) {
    const auto visibility = element.cascadedValueInScope(Property::visibility);
    return visibility != "hidden" && visibility != "collapse";
}

std::string identifierText(const SVGElement& element) { return element.identifier().value_or("(none)"); }

// Whether a clip's coverage is one shape at most, held only by a few plain layers (a use element's, a
// group's): the renderer clips to its path, so a copy for each element it clips costs no more than sharing
// it would.
bool coversAsOneShape(const quartz::Layer& coverage) {
    constexpr std::size_t mostLayers = 8;
    std::size_t layers = 0, shapes = 0;
    std::vector<const quartz::Layer*> pending{&coverage};
    while (!pending.empty()) {
        const quartz::Layer* layer = pending.back();
        pending.pop_back();
        if (layer->mask() || ++layers > mostLayers) return false;
        if (layer->sublayers().empty() && layer != &coverage) ++shapes;
        for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer.get());
    }
    return shapes <= 1;
}

// A copy of a layer and its sublayers.
std::shared_ptr<quartz::Layer> copyOfTree(const quartz::Layer& layer) {
    auto copy = layer.copyLayer();
    for (const auto& sublayer : layer.sublayers()) copy->addSublayer(copyOfTree(*sublayer));
    return copy;
}

// A clip path and the space its content is placed in: the clipped element's user space, with the clip
// path's own transform (and the element's box, for bounding-box units).
struct ClipPlacement {
    const SVGClipPathElement* clip;
    gfx::AffineTransform space;
    bool operator<(const ClipPlacement& other) const {
        const auto fields = [](const ClipPlacement& placement) {
            const gfx::AffineTransform& t = placement.space;
            return std::tie(placement.clip, t.a, t.b, t.c, t.d, t.tx, t.ty);
        };
        return fields(*this) < fields(other);
    }
};

// The elements being expanded, innermost last. The chain is short (bounded by the nesting limit) and
// changes at its end only, so a vector serves where a hash set cost an allocation per element.
class ExpansionChain {
public:
    void insert(const SVGElement* element) { elements_.push_back(element); }
    void erase(const SVGElement* element) {
        const auto found = std::find(elements_.rbegin(), elements_.rend(), element);
        if (found != elements_.rend()) elements_.erase(std::next(found).base());
    }
    bool contains(const SVGElement* element) const {
        return std::find(elements_.begin(), elements_.end(), element) != elements_.end();
    }
    std::size_t size() const { return elements_.size(); }

private:
    std::vector<const SVGElement*> elements_;
};

// One build: the chain of elements being expanded, the layers made so far and the problems met.
class LayerBuild {
public:
    explicit LayerBuild(VellumParseResult* problems) : problems_(problems) {}

    std::shared_ptr<quartz::Layer> build(const std::shared_ptr<SVGElement>& element);
    // Whether styles were asked of the rules past the scope's budget: then the document is refused whole,
    // said once, rather than drawn partly styled.
    bool refusedForMatching();

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

    // A clip path's content, laid out around itself: the area its layers' frames cover and the area they
    // draw over (a use or group layer is not fitted around what it holds), in the space it was built in.
    struct Coverage {
        std::shared_ptr<quartz::Layer> layer;
        gfx::Rect area;
        gfx::Rect drawn;
    };

    void applyClipPath(const std::shared_ptr<SVGElement>& owner, quartz::Layer& layer);
    // Where the clip path's content lies when it clips `owner`.
    static gfx::AffineTransform placementFor(SVGClipPathElement& clipElement, SVGElement& owner);
    // The clip path's coverage at that placement: built on first use, the same layer after.
    Coverage coverageOf(SVGClipPathElement& clipElement, const gfx::AffineTransform& placement);
    // Counts a mask as work; false once the build's mask work is spent.
    bool admitMask();
    void report(const std::string& message);

    VellumParseResult* problems_;
    SVGElement::CascadeScope cascade_;
    // One decode a picture for all of its copies, within one budget for the build.
    SVGImageElement::PictureScope pictures_;
    ExpansionChain chain_;
    std::size_t built_ = 0;
    std::unordered_set<std::string> reported_;
    std::map<ClipPlacement, Coverage> coverages_;
    std::size_t masks_ = 0;
    bool maskWorkSpent_ = false;
};

// Filed once per build, and once per parse result however often the tree is rebuilt.
void LayerBuild::report(const std::string& message) {
    if (!reported_.insert(message).second) return;
    if (!problems_) {
        vellumLogWarning("%@", message);
        return;
    }
    problems_->addParseErrorRecoverableOnce(VellumError::make("Vellum", 1, message));
}

bool LayerBuild::refusedForMatching() {
    if (!scopeMatchingCut()) return false;
    WorkBoundWatch::noteReached();
    report("Matching the style rules takes more work than a document of this size may; the document is not drawn");
    return true;
}

// What a layer and its sublayers draw over, in its superlayer's space (a mask only takes away).
gfx::Rect drawnExtent(const quartz::Layer& layer) {
    if (layer.isHidden()) return gfx::Rect::null();
    gfx::Rect extent = layer.bounds().isEmpty() ? gfx::Rect::null() : layer.bounds();
    if (!layer.masksToBounds()) {
        for (const auto& sublayer : layer.sublayers()) extent = extent.unionWith(drawnExtent(*sublayer));
    }
    return extent.isNull() ? extent : layer.transformToSuperlayer().apply(extent);
}

bool LayerBuild::admitMask() {
    if (maskWorkSpent_) return false;
    ++masks_;
    // A mask built is work of the scope's, as matching is: one budget for all of it.
    // Their pixels are counted by the render's meter as they are drawn.
    if (masks_ <= VellumLayerTree::maximumMasks && takeScopeWork(scopeWorkAMask)) {
        return true;
    }
    maskWorkSpent_ = true;
    WorkBoundWatch::noteReached();
    if (scopeWorkSpent()) {
        // A build whose matching was cut says that instead.
        if (!scopeMatchingCut()) {
            report("Clipping took more work than the document's size allows; the clip paths met after that are not "
                   "applied");
        }
        return false;
    }
    report(foundation::format("Clipping took more than %lu masks; the clip paths met after that are not applied",
                              static_cast<unsigned long>(VellumLayerTree::maximumMasks)));
    return false;
}

void LayerBuild::applyClipPath(const std::shared_ptr<SVGElement>& owner, quartz::Layer& layer) {
    const SVGElement& element = *owner;
    const std::string_view clip = element.cascadedValueInScope(Property::clipPath, false).value_or("");
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
    auto clipElement =
        SVGElement::as<SVGClipPathElement>(SVGHelperUtilities::documentElementById(element, *identifier));
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
    // Past the build's mask work the element is drawn unclipped.
    if (maskWorkSpent_) return;
    // The clip's content lies in the user space of the element it clips (the platform drew it in the
    // space of wherever the clip path stood, which misplaced every clip of a transformed element).
    const Coverage coverage = TemporaryParent::wouldEnclose(clipElement.get(), owner)
                                  ? Coverage{clipElement->newLayer(), gfx::Rect::null(), gfx::Rect::null()}
                                  : coverageOf(*clipElement, placementFor(*clipElement, *owner));
    if (!admitMask()) return;
    std::shared_ptr<quartz::Layer> mask;
    if (coversAsOneShape(*coverage.layer)) {
        // One shape is clipped to as a path: each element gets its own copy, which costs no more.
        mask = copyOfTree(*coverage.layer);
        SVGClipPathElement::placeInMaskedLayer(*mask, coverage.area, layer);
    } else {
        // Anything else is drawn apart as a mask: shared by every element clipped at this placement, each
        // through a layer of its own that covers what it draws and places it.
        mask = quartz::Layer::make();
        mask->setBackgroundColor(gfx::Color::black());
        mask->setMask(coverage.layer);
        SVGClipPathElement::placeInMaskedLayer(*mask, coverage.drawn, layer);
    }
    mask->setOpacity(1);
    vellumLogWarning("DOESNT WORK, APPLE's API APPEARS BROKEN???? - About to mask layer frame (%@) with a mask of frame (%@)",
                     frameText(layer.frame()), frameText(mask->frame()));
    layer.setMask(mask);
}

gfx::AffineTransform LayerBuild::placementFor(SVGClipPathElement& clipElement, SVGElement& owner) {
    gfx::AffineTransform own = clipElement.transform();
    if (clipElement.clipPathUnits() == 2) {
        // Units of the clipped element's bounding box; without one nothing shows through.
        const gfx::Rect box = userBoundingBox(owner, 0).value_or(gfx::Rect{0, 0, 0, 0});
        own = gfx::AffineTransform{box.size.width, 0, 0, box.size.height, box.origin.x, box.origin.y}.concatenating(own);
    }
    const bool hasSpace = owner.as<SVGTransformable>() || owner.as<SVGSVGElement>();
    return own.concatenating(
        hasSpace ? SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(owner)
                 : SVGHelperUtilities::transformAbsoluteOfParent(owner));
}

LayerBuild::Coverage LayerBuild::coverageOf(SVGClipPathElement& clipElement, const gfx::AffineTransform& placement) {
    const ClipPlacement key{&clipElement, placement};
    if (const auto found = coverages_.find(key); found != coverages_.end()) return found->second;
    // Built where the clip path stands, so its content inherits from the clip path's ancestors as the
    // format has it (not from whichever element refers to it, which would give one clip path as many
    // contents as referring elements); only its place is the clipped element's space.
    auto parent = clipElement.parentNode();
    const auto placed = [&](const gfx::AffineTransform* space) {
        // A change of parent makes the content forget the transforms and styles it worked out.
        if (parent) clipElement.setParentNode(parent);
        if (space) clipElement.rememberAbsoluteTransform(*space);
    };
    Coverage coverage{clipElement.newLayer(), gfx::Rect::null(), gfx::Rect::null()};
    {
        Expanding expanding(*this, &clipElement);
        placed(&placement);
        for (const auto& child : *clipElement.childNodes()) {
            if (!drawsInPlace(child)) continue;
            auto childElement = std::static_pointer_cast<SVGElement>(child);
            auto sublayer = build(childElement);
            if (!sublayer) continue;
            keepGeometryOnly(*sublayer, clipRule(*childElement));
            coverage.layer->addSublayer(sublayer);
        }
        // A clip of the clip path itself cuts the content's coverage once: clipping each part again
        // built the next clip path once a part, its parts' once a part of theirs, and so on down a chain.
        applyClipPath(std::static_pointer_cast<SVGElement>(clipElement.shared_from_this()), *coverage.layer);
        placed(nullptr);
    }
    coverage.layer->setOpacity(1);
    coverage.area = SVGClipPathElement::fitAroundContent(*coverage.layer);
    if (!coverage.area.isNull()) {
        gfx::Rect drawn = gfx::Rect::null();
        for (const auto& sublayer : coverage.layer->sublayers()) drawn = drawn.unionWith(drawnExtent(*sublayer));
        coverage.drawn = drawn.isNull() ? drawn : drawn.offsetBy(coverage.area.origin.x, coverage.area.origin.y);
        // Shared, it is the mask of each element's placing layer, which covers what it draws.
        if (!coverage.drawn.isNull()) {
            coverage.layer->setFrame(coverage.area.offsetBy(-coverage.drawn.origin.x, -coverage.drawn.origin.y));
        }
    }
    coverages_.emplace(key, coverage);
    return coverage;
}

std::shared_ptr<quartz::Layer> LayerBuild::build(const std::shared_ptr<SVGElement>& element) {
    auto* converter = SVGElement::as<ConverterSVGToCALayer>(element.get());
    if (!converter) return quartz::Layer::make();
    // A scope whose work budget is spent (matching, masks) is a bound reached like the build's own.
    if (scopeWorkSpent()) WorkBoundWatch::noteReached();
    // A caller that ends the work at its first bound gets no further layers; a build whose styles were cut
    // is refused, so it builds nothing more either.
    if (WorkBoundWatch::stopsWork() || scopeMatchingCut()) return nullptr;
    if (chain_.size() >= VellumLayerTree::maximumNestingDepth) {
        WorkBoundWatch::noteReached();
        report(foundation::format("Elements nested deeper than %lu levels (use copies included) are not drawn",
                                  VellumLayerTree::maximumNestingDepth));
        return nullptr;
    }
    if (built_ >= VellumLayerTree::maximumInstantiatedElements) {
        WorkBoundWatch::noteReached();
        report(foundation::format("The document instantiates more than %lu elements; building stopped there and what "
                                  "was built is drawn",
                                  VellumLayerTree::maximumInstantiatedElements));
        return nullptr;
    }
    // Each layer built is work of the render's, copies too.
    if (!gfx::WorkMeter::charge(gfx::WorkMeter::aLayer)) return nullptr;
    ++built_;
    Expanding expanding(*this, element.get());
    auto layer = converter->newLayer();

    std::shared_ptr<SVGElement> target = element;
    // The children are walked where their list keeps them; a use element has its copy's root alone.
    std::shared_ptr<NodeList> childList;
    std::shared_ptr<Node> copyRoot;
    std::span<const std::shared_ptr<Node>> children;
    std::optional<TemporaryParent> moved;
    if (auto use = SVGElement::as<SVGUseElement>(element)) {
        auto instance = use->instanceRoot();
        target = instance ? instance->correspondingElement() : nullptr;
        if (target && (chain_.contains(target.get()) || TemporaryParent::wouldEnclose(target.get(), use))) {
            report(foundation::format("A <use> element refers to an element that contains it or is being copied "
                                      "already; it draws nothing. Use element id = %@, reference = %@",
                                      identifierText(*use), identifierText(*target)));
            target = nullptr;
        }
        if (auto symbol = SVGElement::as<SVGSymbolElement>(target)) {
            const gfx::Size size = useViewportSize(*use);
            // A viewport without area shows nothing.
            if (!(size.width > 0 && size.height > 0)) target = nullptr;
            if (target) {
                symbol->placeInViewport(
                    size, SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*use));
            }
        }
        if (target) {
            copyRoot = target;
            children = {&copyRoot, 1};
            // The copy takes the use element's place, so its transforms and styles are the use element's.
            moved.emplace(target, use);
        }
    } else {
        auto* switchElement = SVGElement::as<SVGSwitchElement>(element.get());
        childList = switchElement ? switchElement->visibleChildNodes() : element->childNodes();
        if (childList) children = childList->internalArray();
    }

    // Most children draw: the list is made once instead of growing a child at a time.
    layer->reserveSublayers(children.size());
    std::size_t added = 0;
    for (const auto& child : children) {
        // A use element's copy draws wherever it came from (a symbol draws only so).
        if (!drawsInPlace(child) && child != target) continue;
        auto sublayer = build(std::static_pointer_cast<SVGElement>(child));
        if (!sublayer) continue;
        layer->addSublayer(sublayer);
        ++added;
    }
    // After the content, so that every shape has its path for a bounding box.
    applyClipPath(element, *layer);
    moved.reset();
    // A hidden container still draws its children that say visible: what they inherit hides the rest.
    // Only display takes a whole subtree away.
    const bool displayed = element->cascadedValueInScope(Property::display, false) != "none";
    layer->setHidden(!displayed || (added == 0 && !visibilityShows(*element)));
    if (added > 0) {
        if (auto* targetConverter = SVGElement::as<ConverterSVGToCALayer>(target.get())) targetConverter->layoutLayer(*layer);
        layer->setNeedsDisplay();
    }
    return layer;
}

}  // namespace

bool VellumLayerTree::isElementVisible(const SVGElement& element) {
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    return element.cascadedValueInScope(Property::display, false) != "none" &&
           visibilityShows(element);
}

std::shared_ptr<quartz::Layer> VellumLayerTree::newLayerWithElement(const std::shared_ptr<SVGElement>& element,
                                                                    VellumParseResult* problems, bool* refused) {
    if (!element) return nullptr;
    gfx::WorkMeter meter;
    LayerBuild build(problems);
    auto layer = build.build(element);
    const bool refusedForMatching = build.refusedForMatching();
    if (refused) *refused = refusedForMatching || meter.spent();
    // Incomplete, it draws nothing.
    if (meter.spent()) fileRenderPastItsMeter(problems, meter.spentByClock());
    if (refusedForMatching || meter.spent() || !layer) return quartz::Layer::make();
    // Its drawing, wherever it is drawn (a window's layers, a view's tiles), has what the build left of the
    // budget: build and drawing are one render. Filed where the build files, while those problems live.
    std::weak_ptr<VellumParseResult> filed = problems ? problems->weak_from_this() : std::weak_ptr<VellumParseResult>{};
    layer->setWorkBound(std::make_shared<const quartz::WorkBound>(
        meter.left(), [filed](bool byClock) { fileRenderPastItsMeter(filed.lock().get(), byClock); },
        meter.sharedValue()));
    return layer;
}

gfx::Bitmap VellumLayerTree::renderDocument(SVGDocument& document, gfx::Size size, double scale,
                                            VellumParseResult* problems) {
    auto root = document.rootElement();
    if (!root) return {};
    root->setViewport(SVGRectMake(0, 0, static_cast<float>(size.width), static_cast<float>(size.height)));
    // The build joins this meter, so that it and the drawing share one budget (less what the parse took).
    if (problems && problems->workRefused()) return {};
    gfx::WorkMeter meter(problems ? problems->workLeft() : gfx::WorkMeter::defaultBudget);
    bool refused = false;
    auto tree = newLayerWithElement(root, problems, &refused);
    if (refused) return {};
    auto context = gfx::Context::create(size, {.scale = scale});
    if (context) quartz::render(*tree, *context);
    // A canvas past the render's memory is refused as its drawing would be.
    if (meter.spent()) {
        fileRenderPastItsMeter(problems, meter.spentByClock());
        return {};
    }
    if (!context) return {};
    return context->makeImage();
}

}  // namespace vellum
