#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGElementInstance.h"
#include "vellum/SVGLength.h"

namespace vellum {

// A use element: a placed copy of the element its reference names. The reference is a plain "href",
// else "href" in the XLink namespace, as "#id" or "url(#id)"; it is resolved on first asking, so it may
// name an element further on in the document. A symbol it names becomes a viewport of its width and
// height.
class SVGUseElement : public SVGElement, public SVGTransformable, public SVGStylable, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;

    // Also places the copy at (x, y), within the use element's transform.
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    // A plain layer; its layout is the referenced element's.
    std::shared_ptr<quartz::Layer> newLayer() override;
    void layoutLayer(quartz::Layer& layer) override;

    // The identifier the reference names, if it is a same-document one.
    std::optional<std::string> referencedIdentifier() const;
    // The instance tree of the referenced element; null when it cannot be resolved (no such element, a
    // reference that is not "#id", or one to this element or an ancestor, which would contain itself).
    std::shared_ptr<SVGElementInstance> instanceRoot();
    // Each identifier's first element in document order, for as long as the tree under `top` stays as it
    // is (the tree owns them: an index that did would keep them, and itself, alive). Asked by a view.
    struct IdentifierHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using ElementsByIdentifier = std::unordered_map<std::string, Element*, IdentifierHash, std::equal_to<>>;
    static ElementsByIdentifier elementsByIdentifier(const std::shared_ptr<Node>& top);
    // Resolves the reference, making at most `remainingInstances` instances and taking what it made
    // from it. False (and nothing made, the budget spent) when the copy would need more: the use
    // element then stays without an instance tree. With `identifiers` (the parser resolves every use
    // element at once) the reference is looked up there instead of by a walk of the document.
    bool resolveInstanceRoot(std::size_t& remainingInstances, const ElementsByIdentifier* identifiers = nullptr);

    const std::optional<SVGLength>& x() const { return x_; }
    const std::optional<SVGLength>& y() const { return y_; }
    const std::optional<SVGLength>& width() const { return width_; }
    const std::optional<SVGLength>& height() const { return height_; }

    static std::shared_ptr<SVGElementInstance> convertSVGElementToElementInstanceTree(
        const std::shared_ptr<SVGElement>& element, const std::shared_ptr<SVGUseElement>& outermostUseElement);

private:
    std::optional<SVGLength> x_, y_, width_, height_;
    std::shared_ptr<SVGElementInstance> instanceRoot_;
    bool resolved_ = false;
};

}  // namespace vellum
