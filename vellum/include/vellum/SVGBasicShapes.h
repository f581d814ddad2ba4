#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "gfx/Path.h"
#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"

namespace vellum {

// What every basic shape shares: a path in the shape's own user coordinates, made when its
// attributes are read, turned into a shape layer with its paint.
class BaseClassForAllSVGBasicShapes : public SVGElement,
                                      public SVGTransformable,
                                      public SVGStylable,
                                      public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;
    // The most elements (moves and closes included) one shape's path keeps, for the memory they hold: 224 MB,
    // and as much again for a copy a layer may make. Time is the work meter's to bound (librsvg takes 1.2 s to
    // draw a polygon of a tenth as many points). The rest of a longer path is dropped with a recoverable error.
    static constexpr std::size_t maximumPathSegments = 4'000'000;

    // Without a path: an assertion report, and an empty layer so the document still draws.
    std::shared_ptr<quartz::Layer> newLayer() override;
    // Null until the attributes are read.
    const gfx::Path* pathForShapeInRelativeCoords() const { return sharedPathForShapeInRelativeCoords().get(); }
    // The same path, shared with the layers that draw it without a copy. Made on first asking (a layer
    // build), so that parsing pays no allocation for it; never changed, as a new path replaces it whole.
    const std::shared_ptr<const gfx::Path>& sharedPathForShapeInRelativeCoords() const;
    void setPathForShapeInRelativeCoords(std::optional<gfx::Path> path) {
        path_ = std::move(path);
        sharedPath_.reset();
        pathBox_.reset();
        movedPath_.reset();
    }
    // The path's tight box (gfx::Path::pathBoundingBox), worked out once for the path it has: every
    // layer build and every clip in object units asks for it.
    gfx::Rect pathBoundingBoxInRelativeCoords() const;
    // The path with `origin` moved to (0, 0), as a stroke drawn in user space takes it: kept for the next
    // layer build, which asks for the same move. Null without a path.
    std::shared_ptr<const gfx::Path> sharedPathMovedTo(gfx::Point origin) const;

protected:
    static gfx::Size percentageReference(const VellumParseResult& result);
    // Holds what a path read from `dataBytes` of text may hold at the most (an element for every two bytes, and
    // room for its list to grow twice over) while it is read: false, with nothing to read, past the account.
    static bool holdWhileReading(std::size_t dataBytes);
    static void letGoAfterReading(std::size_t dataBytes);
    // Cuts the path to `maximumPathSegments`, filing the recoverable error when it was longer, and holds what
    // is kept against the running meter's memory account: path data is counted across the document (8 paths
    // of four million segments held 2 GB). Past the account the path is dropped, and the meter is spent.
    void limitPathSegments(VellumParseResult& result);

private:
    // The path where it is, without sharing it.
    const gfx::Path* currentPath() const { return path_ ? &*path_ : sharedPath_.get(); }

    // The path is in one of the two: as parsed, or shared once asked for.
    mutable std::optional<gfx::Path> path_;
    mutable std::shared_ptr<const gfx::Path> sharedPath_;
    mutable std::optional<gfx::Rect> pathBox_;
    mutable std::shared_ptr<const gfx::Path> movedPath_;
    mutable gfx::Point movedOrigin_;
};

class SVGRectElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    const std::optional<SVGLength>& x() const { return x_; }
    const std::optional<SVGLength>& y() const { return y_; }
    const std::optional<SVGLength>& width() const { return width_; }
    const std::optional<SVGLength>& height() const { return height_; }
    const std::optional<SVGLength>& rx() const { return rx_; }
    const std::optional<SVGLength>& ry() const { return ry_; }

private:
    std::optional<SVGLength> x_, y_, width_, height_, rx_, ry_;
};

class SVGEllipseElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    double cx() const { return cx_; }
    void setCx(double value) { cx_ = value; }
    double cy() const { return cy_; }
    void setCy(double value) { cy_ = value; }
    double rx() const { return rx_; }
    void setRx(double value) { rx_ = value; }
    double ry() const { return ry_; }
    void setRy(double value) { ry_ = value; }

private:
    double cx_ = 0, cy_ = 0, rx_ = 0, ry_ = 0;
};

class SVGCircleElement : public SVGEllipseElement {
public:
    using SVGEllipseElement::SVGEllipseElement;
    // rx when rx and ry agree, else 0.
    double r() const { return rx() == ry() ? rx() : 0; }
};

// A line builds its path when its layer is made.
class SVGLineElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    double x1() const { return x1_; }
    double y1() const { return y1_; }
    double x2() const { return x2_; }
    double y2() const { return y2_; }

private:
    double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

// Always closed; without points an empty path.
class SVGPolygonElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    void parseData(std::string_view points);
};

// Never closed; without points an empty path.
class SVGPolylineElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
};

class SVGPathElement : public BaseClassForAllSVGBasicShapes {
public:
    using BaseClassForAllSVGBasicShapes::BaseClassForAllSVGBasicShapes;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    // Splits path data into commands for the path-data reader; empty data is an empty path.
    void parseData(std::string_view data);
};

}  // namespace vellum
