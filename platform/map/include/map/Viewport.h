#pragma once

#include <vector>

#include "gfx/Geometry.h"
#include "map/Coordinate.h"
#include "map/Projection.h"

namespace map {

// What part of the world a map of a given size shows, and the conversions between its screen points
// (top-left origin, y down) and coordinates. The layout margins shift the centring: the centre
// coordinate and the region are those of the area inside the margins, while the map still draws
// under the margins. The zoom is a scale in map points per screen point, clamped between the closest
// zoom (minimumScale) and the world's height filling the view; the centre keeps the view within the
// world vertically and wraps round the date line horizontally.
class Viewport {
public:
    // About 0.15 m a point at the equator, the platform's closest zoom.
    static constexpr double minimumScale = 1;

    Viewport() = default;
    explicit Viewport(gfx::Size size, gfx::EdgeInsets layoutMargins = {});

    gfx::Size size() const { return size_; }
    // The centre coordinate stays where it is; the zoom is clamped again for the new size.
    void setSize(gfx::Size size);
    const gfx::EdgeInsets& layoutMargins() const { return layoutMargins_; }
    // The centre coordinate moves to the centre of the new inset area.
    void setLayoutMargins(const gfx::EdgeInsets& margins);
    // The area inside the margins, or the whole view when the margins leave nothing.
    gfx::Rect insetRect() const;

    double scale() const { return scale_; }
    double maximumScale() const;
    // Keeps the centre.
    void setScale(double scale);

    MapPoint centerMapPoint() const { return center_; }
    // Kept within the world vertically, wrapped round it horizontally.
    void setCenterMapPoint(MapPoint center) { setCenter(center); }
    Coordinate centerCoordinate() const;
    void setCenterCoordinate(Coordinate center);

    // The region the inset area shows, centred on the centre coordinate: its latitude span is twice
    // the smaller of the two halves (Mercator makes them unequal), so setRegion(region()) is a no-op.
    CoordinateRegion region() const;
    // Shows at least `region` in the inset area, centred there: the span grows along one axis to
    // match the area's aspect ratio (never shrinks), then the zoom is clamped. Invalid regions are
    // ignored.
    void setRegion(const CoordinateRegion& region);
    // What setRegion would show for `region`.
    CoordinateRegion regionThatFits(const CoordinateRegion& region) const;

    // The whole view's rectangle in map points (may reach beyond the world horizontally).
    MapRect visibleMapRect() const;

    // Offsets in map points (whole worlds) of the copies of the world the view shows, left to right:
    // {0} unless the view reaches past the date line.
    std::vector<double> worldCopyOffsets() const;
    // Screen point of a map point placed in the world copy at `offset`.
    gfx::Point point(MapPoint mapPoint, double offset) const;

    // A coordinate's screen point, in the world copy nearest the centre.
    gfx::Point point(Coordinate coordinate) const;
    // A map point's screen point, in the world copy nearest the centre.
    gfx::Point point(MapPoint mapPoint) const;
    // Screen point to map point with no wrapping (for drawing world copies).
    MapPoint mapPoint(gfx::Point point) const;
    // Screen point to coordinate, longitude wrapped to ±180.
    Coordinate coordinate(gfx::Point point) const;

    // Scales by `factor` (above 1 zooms in) keeping the map point under `anchor` still, within the
    // zoom limits.
    void zoom(double factor, gfx::Point anchor);
    // Moves the content by a drag's translation (the map follows the finger).
    void pan(gfx::Point translation);

    bool operator==(const Viewport&) const = default;

private:
    double clampedScale(double scale) const;
    void setCenter(MapPoint center);

    gfx::Size size_;
    gfx::EdgeInsets layoutMargins_;
    MapPoint center_{worldSize / 2, worldSize / 2};
    double scale_ = worldSize / 256;
};

// Offsets in map points (whole worlds) of the copies of the world a map rectangle reaches, left to
// right.
std::vector<double> worldCopyOffsets(const MapRect& rect);

}  // namespace map
