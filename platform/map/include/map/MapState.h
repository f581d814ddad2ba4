#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "map/Annotation.h"
#include "map/AnnotationView.h"
#include "map/Overlay.h"
#include "map/OverlayRenderer.h"
#include "map/Viewport.h"

namespace map {

class MapState;

// What the map asks of and tells its owner. Every method has a default: no custom view (the default
// marker), no renderer (the overlay is not drawn), and no reaction.
class MapDelegate {
public:
    virtual ~MapDelegate() = default;

    // Called once per annotation when its view is first needed; not called for the user location.
    virtual std::shared_ptr<AnnotationView> viewForAnnotation(MapState&, const std::shared_ptr<Annotation>&) {
        return nullptr;
    }
    virtual void didSelect(MapState&, const std::shared_ptr<AnnotationView>&) {}
    virtual void didDeselect(MapState&, const std::shared_ptr<AnnotationView>&) {}
    // Called once per overlay when it is first drawn.
    virtual std::shared_ptr<OverlayRenderer> rendererForOverlay(MapState&, const std::shared_ptr<Overlay>&) {
        return nullptr;
    }
    virtual void regionDidChange(MapState&, bool /*animated*/) {}
};

// Everything a map view shows and how it answers, without the view: the viewport, the annotations
// and their views, the selection and the overlays. A view wraps one, forwards its size, margins,
// taps and gestures here, and draws it with renderMap.
class MapState {
public:
    void setDelegate(std::weak_ptr<MapDelegate> delegate) { delegate_ = std::move(delegate); }

    const Viewport& viewport() const { return viewport_; }
    void setSize(gfx::Size size);
    void setLayoutMargins(const gfx::EdgeInsets& margins);
    CoordinateRegion region() const { return viewport_.region(); }
    Coordinate centerCoordinate() const { return viewport_.centerCoordinate(); }
    // Changes are applied at once; `animated` is passed on to regionDidChange.
    void setRegion(const CoordinateRegion& region, bool animated = false);
    void setCenterCoordinate(Coordinate center, bool animated = false);
    // Replaces centre and zoom at once (a view's animation frames); size and margins stay this map's.
    void setViewport(const Viewport& viewport, bool animated = false);

    // Gestures: pinch or wheel zoom about a point, and drags. Ignored while disabled.
    bool isZoomEnabled = true;
    bool isScrollEnabled = true;
    void zoom(double factor, gfx::Point anchor);
    void pan(gfx::Point translation);

    // In the order added, which is the drawing order (the selected one is drawn last).
    const std::vector<std::shared_ptr<Annotation>>& annotations() const { return annotations_; }
    // Adding an annotation already on the map does nothing.
    void addAnnotation(std::shared_ptr<Annotation> annotation);
    void addAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations);
    // A removed annotation is deselected, and its view kept for reuse.
    void removeAnnotation(const std::shared_ptr<Annotation>& annotation);
    void removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations);

    // The annotation's view, asking the delegate the first time; null for the user location and for
    // annotations not on the map.
    std::shared_ptr<AnnotationView> viewFor(const std::shared_ptr<Annotation>& annotation);
    // The annotation's view if it has one, else made as viewFor() does only when the annotation's point
    // lies within viewReach() points of `area`: what is drawn or touched makes views for the
    // annotations near it, so a map of thousands of pins makes only those in sight.
    std::shared_ptr<AnnotationView> viewNear(const std::shared_ptr<Annotation>& annotation, const gfx::Rect& area);
    // How far from its point any view made so far reaches, or annotationReach before the first: views
    // are usually alike, and a margin wider than they reach makes views for pins out of sight.
    double viewReach() const { return viewReach_.value_or(annotationReach); }
    static constexpr double annotationReach = 128;
    // A view set aside when its annotation was removed, or null.
    std::shared_ptr<AnnotationView> dequeueReusableView(const std::string& reuseIdentifier);

    // At most one annotation is selected.
    const std::vector<std::shared_ptr<Annotation>>& selectedAnnotations() const { return selected_; }
    // Selecting the selected annotation again reports nothing; selecting another deselects the first
    // (reported) before reporting the new one. Annotations without a view cannot be selected.
    void selectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated = false);
    void deselectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated = false);

    // The topmost annotation whose image covers the point (the selected one first, then the latest
    // added), or null.
    std::shared_ptr<Annotation> annotationAt(gfx::Point point);
    // A tap: selects the annotation under the point, or deselects when there is none.
    void tap(gfx::Point point);

    void addOverlay(std::shared_ptr<Overlay> overlay, OverlayLevel level = OverlayLevel::aboveLabels);
    void removeOverlay(const std::shared_ptr<Overlay>& overlay);
    // Drawing order: the above-roads overlays, then the above-labels ones, each in the order added.
    std::vector<std::shared_ptr<Overlay>> overlays() const;
    std::vector<std::shared_ptr<Overlay>> overlays(OverlayLevel level) const;
    // The overlay's renderer, asking the delegate the first time; null when it gives none.
    std::shared_ptr<OverlayRenderer> rendererFor(const std::shared_ptr<Overlay>& overlay);

    // The annotations in drawing order, the selected one last.
    std::vector<std::shared_ptr<Annotation>> annotationsInDrawingOrder() const;

private:
    template <typename Change>
    void changeViewport(Change change, bool animated);
    // Deselects a removed annotation and sets its view aside; the caller takes it out of annotations_.
    void forget(const std::shared_ptr<Annotation>& annotation);

    std::weak_ptr<MapDelegate> delegate_;
    Viewport viewport_;
    std::vector<std::shared_ptr<Annotation>> annotations_;
    // The same annotations, so asking whether one is on the map does not walk a season of pins.
    std::unordered_set<const Annotation*> onMap_;
    std::map<const Annotation*, std::shared_ptr<AnnotationView>> views_;
    std::optional<double> viewReach_;
    void noteReach(const AnnotationView& view);
    std::multimap<std::string, std::shared_ptr<AnnotationView>> reusableViews_;
    std::vector<std::shared_ptr<Annotation>> selected_;
    struct PlacedOverlay {
        std::shared_ptr<Overlay> overlay;
        OverlayLevel level;
        std::shared_ptr<OverlayRenderer> renderer;
        bool rendererAsked = false;
    };
    std::vector<PlacedOverlay> overlays_;
};

// The marker shown for annotations the delegate gives no view: a red dot with a white ring.
std::shared_ptr<gfx::Image> defaultMarkerImage();

}  // namespace map
