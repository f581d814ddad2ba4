#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "map/MapRenderer.h"
#include "map/MapState.h"
#include "ui/View.h"

namespace map {

class MapView;

// What the map view asks of and tells its owner; as MapDelegate, with the view instead of the state.
class MapViewDelegate {
public:
    virtual ~MapViewDelegate() = default;

    virtual std::shared_ptr<AnnotationView> viewFor(MapView&, const std::shared_ptr<Annotation>&) { return nullptr; }
    virtual void didSelect(MapView&, const std::shared_ptr<AnnotationView>&) {}
    virtual void didDeselect(MapView&, const std::shared_ptr<AnnotationView>&) {}
    virtual std::shared_ptr<OverlayRenderer> rendererFor(MapView&, const std::shared_ptr<Overlay>&) { return nullptr; }
    // Once per change: at once for immediate changes and each drag or zoom step, at the end of an
    // animated one (or when a touch interrupts it).
    virtual void regionDidChange(MapView&, bool /*animated*/) {}
};

// The platform's map types by value. Every type draws our base map (there is no imagery).
enum class MapType { standard = 0, satellite = 1, hybrid = 2, satelliteFlyover = 3, hybridFlyover = 4, mutedStandard = 5 };

// A map on screen: a view over a MapState that draws it with renderMap for its bounds and layout
// margins (the region is centred in the area inside the margins), pans by drags, zooms by the
// window host's wheel and pinch entries, selects pins by taps and animates region changes with the
// run loop.
class MapView : public ui::View {
public:
    static constexpr double regionAnimationDuration = 0.35;
    // A touch that moves less than this is a tap.
    static constexpr double tapSlop = 8;

    MapView();
    explicit MapView(const ui::Rect& frame);
    ~MapView() override;

    void setDelegate(std::weak_ptr<MapViewDelegate> delegate) { delegate_ = std::move(delegate); }

    MapType mapType() const { return mapType_; }
    void setMapType(MapType type) { mapType_ = type; }
    // Kept for the caller; no compass is ever drawn.
    bool showsCompass() const { return showsCompass_; }
    void setShowsCompass(bool shows) { showsCompass_ = shows; }
    bool isZoomEnabled() const { return state_.isZoomEnabled; }
    void setZoomEnabled(bool enabled) { state_.isZoomEnabled = enabled; }
    bool isScrollEnabled() const { return state_.isScrollEnabled; }
    void setScrollEnabled(bool enabled) { state_.isScrollEnabled = enabled; }

    // Hides the layout item's setter so the map re-centres at once; the margins are also picked up
    // at the next layout or draw if set through a base reference.
    void setLayoutMargins(const ui::EdgeInsets& margins);

    // The viewport of the current bounds and margins (mid-animation while one runs).
    const Viewport& viewport();
    CoordinateRegion region();
    Coordinate centerCoordinate();
    // Animated changes move over regionAnimationDuration and report regionDidChange at the end.
    void setRegion(const CoordinateRegion& region, bool animated = false);
    void setCenterCoordinate(Coordinate center, bool animated = false);
    bool isAnimatingRegion() const { return animation_.has_value(); }

    const std::vector<std::shared_ptr<Annotation>>& annotations() const { return state_.annotations(); }
    void addAnnotation(std::shared_ptr<Annotation> annotation);
    void addAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations);
    void removeAnnotation(const std::shared_ptr<Annotation>& annotation);
    void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations);
    std::shared_ptr<AnnotationView> viewFor(const std::shared_ptr<Annotation>& annotation);
    std::shared_ptr<AnnotationView> dequeueReusableAnnotationView(const std::string& reuseIdentifier);
    const std::vector<std::shared_ptr<Annotation>>& selectedAnnotations() const { return state_.selectedAnnotations(); }
    void selectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated = false);
    void deselectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated = false);

    // The selected annotation's callout as drawn, in this view's space.
    std::optional<CalloutLayout> calloutLayout();

    void addOverlay(std::shared_ptr<Overlay> overlay, OverlayLevel level = OverlayLevel::aboveLabels);
    void removeOverlay(const std::shared_ptr<Overlay>& overlay);
    std::vector<std::shared_ptr<Overlay>> overlays() const { return state_.overlays(); }
    std::shared_ptr<OverlayRenderer> rendererFor(const std::shared_ptr<Overlay>& overlay);

    // Entries for the window host, with points in this view's space. The wheel zooms about the
    // pointer: each notch away from the user (dy of -pointsPerWheelStep) by 2^(1/2) closer; `dx` is not
    // used. A pinch step zooms by `scale` (the change since the last step) about its centre.
    bool scrollWheel(ui::Point point, double dx, double dy) override;
    void pinch(ui::Point center, double scale);

    void draw(gfx::Context& context, const ui::Rect& rect) override;
    void layoutSubviews() override;
    void touchesBegan(const std::vector<ui::Touch>& touches, const ui::Event& event) override;
    void touchesMoved(const std::vector<ui::Touch>& touches, const ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch>& touches, const ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch>& touches, const ui::Event& event) override;
    bool isAnimatingContent() const override { return animation_.has_value(); }

    // The base map's tiles, dropped on memory warnings; a redraw follows when tiles drawn in the
    // background are ready.
    const std::shared_ptr<BaseMapTiles>& baseMapTiles() const;

private:
    class StateDelegate;
    friend class StateDelegate;

    struct RegionAnimation {
        Viewport from;
        Viewport to;
        double startTime = 0;
        std::uint64_t generation = 0;
    };
    struct Drag {
        ui::Point start;
        ui::Point last;
        bool panning = false;
    };

    void syncGeometry();
    void moveViewport(const std::function<void(Viewport&)>& change, bool animated);
    void animateTo(const Viewport& target);
    void advanceAnimation();
    // Stops an animation where it is (finished: at its target) and reports the region change.
    void endAnimation(bool finished);
    void selectionDidChange();
    void placeCalloutAccessory();
    void tapAt(ui::Point point);

    std::weak_ptr<MapViewDelegate> delegate_;
    std::shared_ptr<StateDelegate> stateDelegate_;
    MapState state_;
    MapRenderOptions renderOptions_;
    MapType mapType_ = MapType::standard;
    bool showsCompass_ = true;
    std::optional<RegionAnimation> animation_;
    std::uint64_t animationGeneration_ = 0;
    // Region changes made by animation frames are reported once at the end.
    bool reportingRegionChanges_ = true;
    std::optional<Drag> drag_;
    std::shared_ptr<ui::View> shownAccessory_;
};

}  // namespace map
