#include "map/Viewport.h"

#include <algorithm>
#include <cmath>

namespace map {

namespace {

double wrapX(double x) {
    double wrapped = std::fmod(x, worldSize);
    return wrapped < 0 ? wrapped + worldSize : wrapped;
}

// x moved by whole worlds to lie within half a world of `reference`.
double nearestCopy(double x, double reference) {
    return x - std::round((x - reference) / worldSize) * worldSize;
}

}  // namespace

Viewport::Viewport(gfx::Size size, gfx::EdgeInsets layoutMargins) : size_(size), layoutMargins_(layoutMargins) {
    setScale(scale_);
}

void Viewport::setSize(gfx::Size size) {
    Coordinate center = centerCoordinate();
    size_ = size;
    scale_ = clampedScale(scale_);
    setCenterCoordinate(center);
}

void Viewport::setLayoutMargins(const gfx::EdgeInsets& margins) {
    Coordinate center = centerCoordinate();
    layoutMargins_ = margins;
    setCenterCoordinate(center);
}

gfx::Rect Viewport::insetRect() const {
    gfx::Rect bounds{0, 0, size_.width, size_.height};
    gfx::Rect inset = bounds.inset(layoutMargins_);
    return inset.isEmpty() ? bounds : inset;
}

double Viewport::maximumScale() const {
    return size_.height > 0 ? std::max(minimumScale, worldSize / size_.height) : worldSize / 256;
}

double Viewport::clampedScale(double scale) const {
    if (!std::isfinite(scale)) return maximumScale();
    return std::clamp(scale, minimumScale, maximumScale());
}

void Viewport::setScale(double scale) {
    scale_ = clampedScale(scale);
    setCenter(center_);
}

void Viewport::setCenter(MapPoint center) {
    if (!std::isfinite(center.x) || !std::isfinite(center.y)) return;
    // The inset area's centre sits off the view's centre; keep the whole view within the world.
    gfx::Rect inset = insetRect();
    double above = inset.midY() * scale_;
    double below = (size_.height - inset.midY()) * scale_;
    double y = center.y;
    if (above + below >= worldSize) {
        y = (worldSize - below + above) / 2;
    } else {
        y = std::clamp(y, above, worldSize - below);
    }
    center_ = {wrapX(center.x), y};
}

Coordinate Viewport::centerCoordinate() const {
    Coordinate center = map::coordinate(center_);
    center.longitude = wrapLongitude(center.longitude);
    return center;
}

void Viewport::setCenterCoordinate(Coordinate center) {
    if (!center.isValid()) return;
    setCenter(map::mapPoint(center));
}

CoordinateRegion Viewport::region() const {
    gfx::Rect inset = insetRect();
    double halfWidth = inset.width() / 2 * scale_, halfHeight = inset.height() / 2 * scale_;
    Coordinate center = centerCoordinate();
    double north = map::coordinate({center_.x, center_.y - halfHeight}).latitude - center.latitude;
    double south = center.latitude - map::coordinate({center_.x, center_.y + halfHeight}).latitude;
    // The smaller half, doubled: fitting this region again gives the same view, where the full
    // extent (unequal halves under Mercator) would zoom out a little on every round trip.
    return {center, {2 * std::min(north, south), 2 * halfWidth / worldSize * 360}};
}

CoordinateRegion Viewport::regionThatFits(const CoordinateRegion& region) const {
    Viewport fitted = *this;
    fitted.setRegion(region);
    return fitted.region();
}

void Viewport::setRegion(const CoordinateRegion& region) {
    if (!region.center.isValid() || !std::isfinite(region.span.latitudeDelta) ||
        !std::isfinite(region.span.longitudeDelta)) {
        return;
    }
    // The centre coordinate goes to the inset area's centre; Mercator makes the region's two
    // halves unequal in height, so the larger half decides, and nothing asked for is cut off.
    MapRect rect = map::mapRect(region);
    MapPoint center = map::mapPoint(region.center);
    double halfHeight = std::max(center.y - rect.minY(), rect.maxY() - center.y);
    gfx::Rect inset = insetRect();
    double scale = 0;
    if (inset.width() > 0) scale = std::max(scale, std::abs(rect.size.width) / inset.width());
    if (inset.height() > 0) scale = std::max(scale, 2 * halfHeight / inset.height());
    scale_ = clampedScale(scale);
    setCenter(center);
}

MapRect Viewport::visibleMapRect() const {
    MapPoint topLeft = mapPoint(gfx::Point{0, 0});
    return {topLeft, {size_.width * scale_, size_.height * scale_}};
}

std::vector<double> Viewport::worldCopyOffsets() const { return map::worldCopyOffsets(visibleMapRect()); }

std::vector<double> worldCopyOffsets(const MapRect& rect) {
    std::vector<double> offsets;
    for (double k = std::floor(rect.minX() / worldSize); k * worldSize < rect.maxX(); ++k) {
        offsets.push_back(k * worldSize);
    }
    return offsets;
}

gfx::Point Viewport::point(MapPoint mapPoint, double offset) const {
    gfx::Rect inset = insetRect();
    return {inset.midX() + (mapPoint.x + offset - center_.x) / scale_, inset.midY() + (mapPoint.y - center_.y) / scale_};
}

gfx::Point Viewport::point(Coordinate coordinate) const { return point(map::mapPoint(coordinate)); }

gfx::Point Viewport::point(MapPoint mapPoint) const {
    gfx::Rect inset = insetRect();
    double x = nearestCopy(mapPoint.x, center_.x);
    return {inset.midX() + (x - center_.x) / scale_, inset.midY() + (mapPoint.y - center_.y) / scale_};
}

MapPoint Viewport::mapPoint(gfx::Point point) const {
    gfx::Rect inset = insetRect();
    return {center_.x + (point.x - inset.midX()) * scale_, center_.y + (point.y - inset.midY()) * scale_};
}

Coordinate Viewport::coordinate(gfx::Point point) const {
    Coordinate result = map::coordinate(mapPoint(point));
    result.longitude = wrapLongitude(result.longitude);
    return result;
}

void Viewport::zoom(double factor, gfx::Point anchor) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    MapPoint anchored = mapPoint(anchor);
    scale_ = clampedScale(scale_ / factor);
    gfx::Rect inset = insetRect();
    setCenter({anchored.x - (anchor.x - inset.midX()) * scale_, anchored.y - (anchor.y - inset.midY()) * scale_});
}

void Viewport::pan(gfx::Point translation) {
    setCenter({center_.x - translation.x * scale_, center_.y - translation.y * scale_});
}

}  // namespace map
