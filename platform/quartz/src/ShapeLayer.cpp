#include "quartz/ShapeLayer.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

namespace quartz {

namespace {

struct Polyline {
    std::vector<gfx::Point> points;
    bool closed = false;
};

double distance(gfx::Point a, gfx::Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

// Cuts curves into lines of about `tolerance` length, keeping whether each subpath was closed.
std::vector<Polyline> polylines(const gfx::Path& path, double tolerance) {
    std::vector<Polyline> lines;
    gfx::Point current;
    auto addCurve = [&](gfx::Point p1, gfx::Point p2, gfx::Point end) {
        double estimate = distance(current, p1) + distance(p1, p2) + distance(p2, end);
        int steps = std::clamp(int(std::ceil(estimate / tolerance)), 1, 1000);
        for (int step = 1; step <= steps; ++step) {
            double t = double(step) / steps, u = 1 - t;
            double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            lines.back().points.push_back(
                {a * current.x + b * p1.x + c * p2.x + d * end.x, a * current.y + b * p1.y + c * p2.y + d * end.y});
        }
    };
    for (const gfx::PathElement& element : path.elements()) {
        const auto& p = element.points;
        using Kind = gfx::PathElement::Kind;
        if (element.kind == Kind::moveTo || lines.empty() || lines.back().closed) {
            gfx::Point start = element.kind == Kind::moveTo ? p[0] : current;
            lines.push_back({{start}, false});
            current = start;
            if (element.kind == Kind::moveTo) continue;
        }
        switch (element.kind) {
            case Kind::moveTo: break;
            case Kind::lineTo: lines.back().points.push_back(p[0]); break;
            case Kind::quadCurveTo: {
                auto controls = gfx::cubicControls(current, p[0], p[1]);
                addCurve(controls[0], controls[1], p[1]);
                break;
            }
            case Kind::curveTo: addCurve(p[0], p[1], p[2]); break;
            case Kind::closeSubpath:
                lines.back().closed = true;
                lines.back().points.push_back(lines.back().points.front());
                break;
        }
        current = lines.back().points.back();
    }
    return lines;
}

}  // namespace

gfx::Path trimmedPath(const gfx::Path& path, double start, double end, double tolerance) {
    start = std::clamp(start, 0.0, 1.0);
    end = std::clamp(end, 0.0, 1.0);
    gfx::Path result;
    if (end <= start) return result;
    std::vector<Polyline> lines = polylines(path, std::max(tolerance, 1e-3));
    double total = 0;
    for (const Polyline& line : lines)
        for (std::size_t i = 1; i < line.points.size(); ++i) total += distance(line.points[i - 1], line.points[i]);
    if (total <= 0) return result;
    double from = start * total, to = end * total, walked = 0;
    for (const Polyline& line : lines) {
        double lineStart = walked;
        bool open = false;
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            gfx::Point a = line.points[i - 1], b = line.points[i];
            double length = distance(a, b), segmentEnd = walked + length;
            if (segmentEnd > from && walked < to && length > 0) {
                auto at = [&](double position) {
                    double t = std::clamp((position - walked) / length, 0.0, 1.0);
                    return gfx::Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
                };
                if (!open) {
                    result.moveTo(at(std::max(from, walked)));
                    open = true;
                }
                result.lineTo(at(std::min(to, segmentEnd)));
            }
            walked = segmentEnd;
        }
        if (open && line.closed && from <= lineStart && to >= walked) result.closeSubpath();
    }
    return result;
}

ShapeLayer::ShapeLayer(const ShapeLayer& other)
    : Layer(other),
      path_(other.path_),
      pathTransform_(other.pathTransform_),
      fillColor_(other.fillColor_),
      fillRule_(other.fillRule_),
      strokeColor_(other.strokeColor_),
      lineWidth_(other.lineWidth_),
      stroke_(other.stroke_ ? std::make_unique<Stroke>(*other.stroke_) : nullptr) {}

std::shared_ptr<Layer> ShapeLayer::copyLayer() const { return std::shared_ptr<Layer>(new ShapeLayer(*this)); }

void ShapeLayer::setPath(std::optional<gfx::Path> path) {
    path_ = path ? std::make_shared<const gfx::Path>(std::move(*path)) : nullptr;
    pathTransform_ = {};
}

void ShapeLayer::setSharedPath(std::shared_ptr<const gfx::Path> path, const gfx::AffineTransform& transform) {
    path_ = std::move(path);
    pathTransform_ = transform;
}

std::optional<gfx::Path> ShapeLayer::placedPath() const {
    if (!path_) return std::nullopt;
    return pathTransform_.isIdentity() ? *path_ : path_->transformed(pathTransform_);
}

bool ShapeLayer::drawsThroughTransform(const gfx::AffineTransform& t) {
    const double determinant = t.a * t.d - t.b * t.c;
    return determinant != 0 && std::isfinite(determinant) && std::isfinite(t.tx) && std::isfinite(t.ty);
}

bool ShapeLayer::strokesThroughTransform(const gfx::AffineTransform& t) {
    return t.b == 0 && t.c == 0 && std::abs(t.a) == std::abs(t.d) && drawsThroughTransform(t);
}

void ShapeLayer::draw(gfx::Context& context) const {
    Layer::draw(context);
    if (!path_ || path_->isEmpty()) return;
    const bool placed = !pathTransform_.isIdentity();
    // Placed point by point only where the context cannot take the transform, and for a stroke, whose
    // width is in bounds space.
    std::optional<gfx::Path> inBounds;
    const auto pathInBounds = [&]() -> const gfx::Path& {
        if (!placed) return *path_;
        if (!inBounds) inBounds = placedPath();
        return *inBounds;
    };
    if (fillColor_ && fillColor_->alpha > 0) {
        context.setFillColor(*fillColor_);
        if (placed && drawsThroughTransform(pathTransform_)) {
            context.fill(*path_, fillRule_, pathTransform_);
        } else {
            context.fill(pathInBounds(), fillRule_);
        }
    }
    if (!strokeColor_ || strokeColor_->alpha <= 0 || lineWidth_ <= 0) return;
    context.setStrokeColor(*strokeColor_);
    const Stroke& style = stroke();
    const bool whole = style.start <= 0 && style.end >= 1;
    // The line style stays set after the stroke, the last thing drawn here, as the colours do: the caller's
    // saved state undoes it.
    if (whole && placed && strokesThroughTransform(pathTransform_)) {
        setLineStyle(context, std::abs(pathTransform_.a));
        context.stroke(*path_, pathTransform_);
        return;
    }
    setLineStyle(context, 1);
    if (whole) {
        context.stroke(pathInBounds());
        return;
    }
    // Flatten finely enough for the pixels the stroke lands on.
    gfx::AffineTransform device = context.deviceTransform();
    double pixelsPerPoint = std::sqrt(std::abs(device.a * device.d - device.b * device.c));
    context.stroke(trimmedPath(pathInBounds(), style.start, style.end, 0.5 / std::max(pixelsPerPoint, 1e-3)));
}

void ShapeLayer::setLineStyle(gfx::Context& context, double scale) const {
    // The width and dashes in the space the path is stroked in: placed by a transform of that scale.
    const Stroke& style = stroke();
    context.setLineCap(style.cap);
    context.setLineJoin(style.join);
    context.setMiterLimit(style.miterLimit);
    context.setLineWidth(lineWidth_ / scale);
    std::vector<double> dashes = style.dashes;
    for (double& dash : dashes) dash /= scale;
    context.setLineDash(style.dashPhase / scale, dashes);
}

bool ShapeLayer::setAsGradientShape(gfx::Context& context, const gfx::AffineTransform& placement) const {
    using Kind = OwnDrawing::Kind;
    const OwnDrawing own = ownDrawing();
    if (!path_ || path_->isEmpty()) return false;
    if (own.kind == Kind::fill && own.color.alpha >= 1) {
        context.setGradientShape(path_, pathTransform_.concatenating(placement), false, fillRule_);
        return true;
    }
    const Stroke& style = stroke();
    if (own.kind != Kind::single || !strokeColor_ || !(strokeColor_->alpha >= 1) || style.start > 0 || style.end < 1)
        return false;
    if (pathTransform_.isIdentity() || strokesThroughTransform(pathTransform_)) {
        setLineStyle(context, pathTransform_.isIdentity() ? 1 : std::abs(pathTransform_.a));
        context.setGradientShape(path_, pathTransform_.concatenating(placement), true);
        return true;
    }
    setLineStyle(context, 1);
    context.setGradientShape(std::make_shared<const gfx::Path>(*placedPath()), placement, true);
    return true;
}

Layer::OwnDrawing ShapeLayer::shapeDrawing() const {
    using Kind = OwnDrawing::Kind;
    OwnDrawing own = delegateDrawing();
    if (own.kind != Kind::nothing) return own;
    if (!path_ || path_->isEmpty()) return own;
    bool fills = fillColor_ && fillColor_->alpha > 0;
    bool strokes = strokeColor_ && strokeColor_->alpha > 0 && lineWidth_ > 0;
    if (fills && strokes) return OwnDrawing::of(Kind::several);
    if (strokes) return OwnDrawing::of(Kind::single);
    if (fills) return {Kind::fill, path_.get(), fillRule_, *fillColor_, pathTransform_};
    return own;
}

Layer::OwnDrawing ShapeLayer::ownDrawing() const {
    if (typeid(*this) != typeid(ShapeLayer)) return {};
    return shapeDrawing();
}

gfx::Rect ShapeLayer::drawingBounds() const {
    gfx::Rect area = bounds();
    if (!path_ || path_->isEmpty()) return area;
    gfx::Rect shape = pathTransform_.isIdentity() ? path_->boundingBox() : path_->boundingBox(pathTransform_);
    if (strokeColor_ && lineWidth_ > 0) {
        // Miter joins can reach miterLimit half-widths out.
        double reach = lineWidth_ / 2 * (lineJoin() == gfx::LineJoin::miter ? std::max(miterLimit(), 1.0) : 1.5);
        shape = shape.insetBy(-reach, -reach);
    }
    return area.unionWith(shape);
}

std::optional<AnimationValue> ShapeLayer::animatableValue(const std::string& keyPath) const {
    if (keyPath == "strokeStart") return strokeStart();
    if (keyPath == "strokeEnd") return strokeEnd();
    if (keyPath == "lineWidth") return lineWidth_;
    return Layer::animatableValue(keyPath);
}

bool ShapeLayer::setAnimatableValue(const std::string& keyPath, const AnimationValue& value) {
    const auto field = keyPath == "strokeStart" ? &Stroke::start : keyPath == "strokeEnd" ? &Stroke::end : nullptr;
    if (!field && keyPath != "lineWidth") return Layer::setAnimatableValue(keyPath, value);
    const double* number = std::get_if<double>(&value);
    if (!number) return false;
    if (field)
        changeStroke(field, *number);
    else
        lineWidth_ = *number;
    return true;
}

}  // namespace quartz
