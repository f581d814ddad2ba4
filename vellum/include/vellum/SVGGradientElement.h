#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Gradient.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"
#include "vellum/SVGRect.h"

namespace vellum {

class SVGGradientLayer;

// A stop of a gradient: offset (0 to 1), colour and opacity; the opacity always sets the alpha.
class SVGGradientStop : public SVGElement, public SVGStylable {
public:
    using SVGElement::SVGElement;
    void loadDefaults() override { stopOpacity_ = 1.0; }
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;

    double offset() const { return offset_; }
    SVGColor stopColor() const { return stopColor_; }
    double stopOpacity() const { return stopOpacity_; }

private:
    SVGColor stopColor_{0, 0, 0, 0};
    double offset_ = 0;
    double stopOpacity_ = 1.0;
};

// What linear and radial gradients share: stops in document order, their colours and (never
// decreasing) locations, units and spread method read through a parent group when absent.
class SVGGradientElement : public SVGElement, public SVGTransformable, public SVGStylable {
public:
    using SVGElement::SVGElement;
    // Stops past this many are skipped while reading (one recoverable error), for the memory their elements
    // hold (about 150 MB): librsvg takes over 2 s to draw a gradient of this many, and the work meter ends
    // the drawing of a gradient of half as many, whose colours Cairo files in 1.2 billion steps.
    static constexpr std::size_t maximumStops = 100'000;

    void addStop(const std::shared_ptr<SVGGradientStop>& stop);
    const std::vector<std::shared_ptr<SVGGradientStop>>& stops() const;
    // Built on first use and kept, once for every gradient that takes these stops by reference; empty
    // without stops.
    const std::vector<gfx::Color>& colors();
    const std::vector<double>& locations();
    // The drawing's gradient of those, built on first use and shared by every layer drawing this element
    // (each copy of it); null without stops.
    const std::shared_ptr<const gfx::Gradient>& gradient();
    // 1 userSpaceOnUse, 2 objectBoundingBox (also when absent), 0 anything else (logged).
    int gradientUnits() const;
    // 1 pad (also when absent), 2 reflect, 3 repeat, 0 anything else (logged).
    unsigned spreadMethod() const;
    // The parent group's value when the parent is a group and this element lacks the attribute.
    std::string getAttributeInheritedIfNil(std::string_view name) const;

    // Resolves the "href" chain once: stops and the geometry attributes this element lacks.
    virtual void synthesizeProperties() {}
    virtual std::shared_ptr<SVGGradientLayer> newGradientLayerForObjectRect(const gfx::Rect& objectRect,
                                                                            SVGRect viewportRect,
                                                                            const gfx::AffineTransform& transform);

protected:
    // Settles this gradient and every one its references reach, once each.
    void synthesizeChain();
    // The attributes that pass only between gradients of one kind.
    virtual std::span<const char* const> geometryAttributes() const { return {}; }
    bool hasSynthesizedProperties_ = false;

private:
    // What this gradient lacks, taken from `referenced`: stops, shared attributes, and geometry when the
    // two are of one kind.
    void inheritFrom(const SVGGradientElement& referenced, bool sameKind);

    // The stops and what is made of them, shared by every gradient of a reference chain that takes them
    // (each link taking a copy made a chain cost its length times the stops).
    struct Stops {
        std::vector<std::shared_ptr<SVGGradientStop>> stops;
        std::optional<std::vector<gfx::Color>> colors;
        std::optional<std::vector<double>> locations;
        std::shared_ptr<const gfx::Gradient> gradient;
    };
    std::shared_ptr<Stops> stops_;
    // Once settled: the nearest gradient of each kind (linear, radial) from this one along its chain, itself
    // included, so a chain reaching it later stops there instead of walking on to the end again.
    std::weak_ptr<SVGGradientElement> nearestOnward_[2];
};

class SVGLinearGradientElement : public SVGGradientElement {
public:
    using SVGGradientElement::SVGGradientElement;
    void synthesizeProperties() override { synthesizeChain(); }
    std::shared_ptr<SVGGradientLayer> newGradientLayerForObjectRect(const gfx::Rect& objectRect, SVGRect viewportRect,
                                                                    const gfx::AffineTransform& transform) override;
    bool hasSynthesizedProperties() const { return hasSynthesizedProperties_; }
    const SVGLength& x1() const { return x1_; }
    const SVGLength& y1() const { return y1_; }
    const SVGLength& x2() const { return x2_; }
    const SVGLength& y2() const { return y2_; }

protected:
    std::span<const char* const> geometryAttributes() const override;

private:
    SVGLength x1_ = SVGLength::svgLengthZero(), y1_ = SVGLength::svgLengthZero();
    SVGLength x2_ = SVGLength::svgLengthZero(), y2_ = SVGLength::svgLengthZero();
};

class SVGRadialGradientElement : public SVGGradientElement {
public:
    using SVGGradientElement::SVGGradientElement;
    void synthesizeProperties() override { synthesizeChain(); }
    std::shared_ptr<SVGGradientLayer> newGradientLayerForObjectRect(const gfx::Rect& objectRect, SVGRect viewportRect,
                                                                    const gfx::AffineTransform& transform) override;
    bool hasSynthesizedProperties() const { return hasSynthesizedProperties_; }
    const SVGLength& cx() const { return cx_; }
    const SVGLength& cy() const { return cy_; }
    const SVGLength& r() const { return r_; }
    const SVGLength& fx() const { return fx_; }
    const SVGLength& fy() const { return fy_; }
    const SVGLength& fr() const { return fr_; }

protected:
    std::span<const char* const> geometryAttributes() const override;

private:
    SVGLength cx_ = SVGLength::svgLengthZero(), cy_ = SVGLength::svgLengthZero(), r_ = SVGLength::svgLengthZero();
    SVGLength fx_ = SVGLength::svgLengthZero(), fy_ = SVGLength::svgLengthZero(), fr_ = SVGLength::svgLengthZero();
};

}  // namespace vellum
