#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"
#include "vellum/SVGMatrix.h"
#include "vellum/SVGPreserveAspectRatio.h"
#include "vellum/SVGRect.h"
#include "vellum/SVGUseElement.h"

namespace vellum {

class CSSStyleDeclaration;
class SVGAngle;
class SVGMatrix;
class SVGTransform;
class StyleSheetList;
class VellumSource;

// The view a fragment identifier asks for ("#svgView(...)"). Nothing in the library makes one: it is the
// type of the root element's `currentView`, which stays null.
class SVGViewSpec {};

// What fits a view box into a viewport: the svg and image elements.
class SVGFitToViewBox {
public:
    virtual ~SVGFitToViewBox() = default;
    const std::shared_ptr<SVGAnimatedPreserveAspectRatio>& preserveAspectRatio() const { return preserveAspectRatio_; }
    void setPreserveAspectRatio(std::shared_ptr<SVGAnimatedPreserveAspectRatio> value) {
        preserveAspectRatio_ = std::move(value);
    }

private:
    std::shared_ptr<SVGAnimatedPreserveAspectRatio> preserveAspectRatio_ = std::make_shared<SVGAnimatedPreserveAspectRatio>();
};

// The svg element: the document's geometry (x, y, width, height, view box, aspect ratio), the
// viewport percentages resolve against, and the style sheets of its part of the document.
class SVGSVGElement : public SVGElement, public SVGFitToViewBox, public SVGStylable, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;

    // A group layer whose frame is the viewport (empty without one).
    std::shared_ptr<quartz::Layer> newLayer() override;
    // A nested viewport's layer covers its rectangle and clips its content to it.
    void layoutLayer(quartz::Layer& layer) override;

    void loadDefaults() override;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;

    // Among the descendants.
    std::shared_ptr<Element> getElementById(std::string_view identifier);
    // What every reference by identifier (url(), href) finds: the first element of that id in document order,
    // this one included. Within a layer build it is read from an index made once for the build (the tree's
    // child lists stay as they are meanwhile), so a reference costs the same whether it finds anything or
    // not; outside one it is searched for.
    std::shared_ptr<Element> elementWithIdentifier(std::string_view identifier) const;
    // The first direct child of that class; grandchildren are not searched.
    template <class T>
    std::shared_ptr<T> findFirstElementOfClass() const {
        for (const auto& child : *childNodes()) {
            if (auto found = std::dynamic_pointer_cast<T>(child)) return found;
        }
        return nullptr;
    }

    // Width over height in pixels, 0 without a height; view-box width over height, 0 without a view box.
    double aspectRatioFromWidthPerHeight() const;
    double aspectRatioFromViewBox() const;

    SVGLength createSVGLength() const { return SVGLength::svgLengthZero(); }
    float createSVGNumber() const { return 0; }
    SVGRect createSVGRect() const { return SVGRectMake(0, 0, 0, 0); }

    // Unsupported: each fails the assertion handler with "Not implemented yet".
    std::shared_ptr<CSSStyleDeclaration> getOverrideStyle(const std::shared_ptr<Element>& element,
                                                          std::string_view pseudoElement);
    std::uint32_t suspendRedraw(std::uint32_t maxWaitMilliseconds);
    void unsuspendRedraw(std::uint32_t suspendHandle);
    void unsuspendRedrawAll();
    void forceRedraw();
    void pauseAnimations();
    void unpauseAnimations();
    bool animationsPaused();
    float getCurrentTime();
    void setCurrentTime(float seconds);
    std::shared_ptr<NodeList> getIntersectionList(SVGRect rect, const std::shared_ptr<SVGElement>& referenceElement);
    std::shared_ptr<NodeList> getEnclosureList(SVGRect rect, const std::shared_ptr<SVGElement>& referenceElement);
    bool checkIntersection(const std::shared_ptr<SVGElement>& element, SVGRect rect);
    bool checkEnclosure(const std::shared_ptr<SVGElement>& element, SVGRect rect);
    void deselectAll();
    std::shared_ptr<SVGAngle> createSVGAngle();
    std::shared_ptr<SVGPoint> createSVGPoint();
    std::shared_ptr<SVGMatrix> createSVGMatrix();
    std::shared_ptr<SVGTransform> createSVGTransform();
    std::shared_ptr<SVGTransform> createSVGTransformFromMatrix(const SVGMatrix& matrix);

    const std::optional<SVGLength>& x() const { return x_; }
    void setX(std::optional<SVGLength> length) { x_ = std::move(length); }
    const std::optional<SVGLength>& y() const { return y_; }
    void setY(std::optional<SVGLength> length) { y_ = std::move(length); }
    const std::optional<SVGLength>& width() const { return width_; }
    void setWidth(std::optional<SVGLength> length) { width_ = std::move(length); }
    const std::optional<SVGLength>& height() const { return height_; }
    void setHeight(std::optional<SVGLength> length) { height_ = std::move(length); }
    const std::shared_ptr<VellumSource>& source() const { return source_; }
    void setSource(std::shared_ptr<VellumSource> source) { source_ = std::move(source); }
    const std::shared_ptr<StyleSheetList>& styleSheets() const { return styleSheets_; }
    void setStyleSheets(std::shared_ptr<StyleSheetList> sheets) { styleSheets_ = std::move(sheets); }
    SVGRect viewport() const { return viewport_; }
    void setViewport(SVGRect viewport) { viewport_ = viewport; }
    SVGRect viewBox() const { return viewBox_; }
    void setViewBox(SVGRect viewBox) { viewBox_ = viewBox; }
    SVGRect requestedViewport() const { return requestedViewport_; }
    void setRequestedViewport(SVGRect viewport) { requestedViewport_ = viewport; }
    bool useCurrentView() const { return useCurrentView_; }
    void setUseCurrentView(bool use) { useCurrentView_ = use; }
    float currentScale() const { return currentScale_; }
    void setCurrentScale(float scale) { currentScale_ = scale; }
    const std::string& contentScriptType() const { return contentScriptType_; }
    void setContentScriptType(std::string type) { contentScriptType_ = std::move(type); }
    const std::string& contentStyleType() const { return contentStyleType_; }
    void setContentStyleType(std::string type) { contentStyleType_ = std::move(type); }
    float pixelUnitToMillimeterX() const { return pixelUnitToMillimeterX_; }
    void setPixelUnitToMillimeterX(float value) { pixelUnitToMillimeterX_ = value; }
    float pixelUnitToMillimeterY() const { return pixelUnitToMillimeterY_; }
    void setPixelUnitToMillimeterY(float value) { pixelUnitToMillimeterY_ = value; }
    float screenPixelToMillimeterX() const { return screenPixelToMillimeterX_; }
    void setScreenPixelToMillimeterX(float value) { screenPixelToMillimeterX_ = value; }
    float screenPixelToMillimeterY() const { return screenPixelToMillimeterY_; }
    void setScreenPixelToMillimeterY(float value) { screenPixelToMillimeterY_ = value; }
    const std::shared_ptr<SVGViewSpec>& currentView() const { return currentView_; }
    void setCurrentView(std::shared_ptr<SVGViewSpec> view) { currentView_ = std::move(view); }
    const std::shared_ptr<SVGPoint>& currentTranslate() const { return currentTranslate_; }
    void setCurrentTranslate(std::shared_ptr<SVGPoint> translate) { currentTranslate_ = std::move(translate); }

private:
    bool useCurrentView_ = false;
    float pixelUnitToMillimeterX_ = 0;
    float pixelUnitToMillimeterY_ = 0;
    float screenPixelToMillimeterX_ = 0;
    float screenPixelToMillimeterY_ = 0;
    float currentScale_ = 0;
    std::optional<SVGLength> x_;
    std::optional<SVGLength> y_;
    std::optional<SVGLength> width_;
    std::optional<SVGLength> height_;
    std::string contentScriptType_;
    std::string contentStyleType_;
    std::shared_ptr<SVGViewSpec> currentView_;
    std::shared_ptr<SVGPoint> currentTranslate_;
    std::shared_ptr<VellumSource> source_;
    std::shared_ptr<StyleSheetList> styleSheets_;
    SVGRect viewport_ = SVGRectUninitialized();
    SVGRect viewBox_ = SVGRectUninitialized();
    SVGRect requestedViewport_ = SVGRectUninitialized();
    // elementWithIdentifier's index, and the build and the count of tree changes it was made for. Its
    // elements are held weakly: one freed since is never reached through it.
    mutable std::uint64_t identifiersScope_ = 0;
    mutable std::uint64_t identifiersTreeChanges_ = 0;
    mutable std::unordered_map<std::string, std::weak_ptr<Node>, SVGUseElement::IdentifierHash, std::equal_to<>>
        identifiers_;
};

}  // namespace vellum
