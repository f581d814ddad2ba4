#include "map/MapView.h"

#include <algorithm>
#include <cmath>

#include "dispatch/Queue.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "ui/Application.h"
#include "ui/RunLoopBridge.h"

namespace map {

namespace {

double uptime() { return foundation::Clock::current()->uptime(); }

double easeInOut(double t) { return t * t * (3 - 2 * t); }

// Centre and zoom part way between two viewports: the centre along the shorter way round the world,
// the zoom evenly in its logarithm so a long zoom does not rush through the close end.
Viewport interpolate(const Viewport& from, const Viewport& to, double t) {
    Viewport result = from;
    double dx = std::remainder(to.centerMapPoint().x - from.centerMapPoint().x, worldSize);
    double dy = to.centerMapPoint().y - from.centerMapPoint().y;
    result.setScale(std::exp(std::lerp(std::log(from.scale()), std::log(to.scale()), t)));
    result.setCenterMapPoint({from.centerMapPoint().x + dx * t, from.centerMapPoint().y + dy * t});
    return result;
}

double distance(ui::Point a, ui::Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

// Forwards the state's questions and reports to the view's delegate, with the view, and keeps the
// view's picture and callout accessory up to date.
class MapView::StateDelegate : public MapDelegate {
public:
    explicit StateDelegate(MapView& view) : view_(view) {}

    std::shared_ptr<AnnotationView> viewForAnnotation(MapState&, const std::shared_ptr<Annotation>& annotation) override {
        auto delegate = view_.delegate_.lock();
        return delegate ? delegate->viewFor(view_, annotation) : nullptr;
    }
    void didSelect(MapState&, const std::shared_ptr<AnnotationView>& view) override {
        view_.selectionDidChange();
        if (auto delegate = view_.delegate_.lock()) delegate->didSelect(view_, view);
    }
    void didDeselect(MapState&, const std::shared_ptr<AnnotationView>& view) override {
        view_.selectionDidChange();
        if (auto delegate = view_.delegate_.lock()) delegate->didDeselect(view_, view);
    }
    std::shared_ptr<OverlayRenderer> rendererForOverlay(MapState&, const std::shared_ptr<Overlay>& overlay) override {
        auto delegate = view_.delegate_.lock();
        return delegate ? delegate->rendererFor(view_, overlay) : nullptr;
    }
    void redraw() { view_.setNeedsDisplay(); }
    void regionDidChange(MapState&, bool animated) override {
        view_.setNeedsDisplay();
        if (!view_.reportingRegionChanges_) return;
        if (auto delegate = view_.delegate_.lock()) delegate->regionDidChange(view_, animated);
    }

private:
    MapView& view_;
};

MapView::MapView() : MapView(ui::Rect{}) {}

MapView::MapView(const ui::Rect& frame) : View(frame), stateDelegate_(std::make_shared<StateDelegate>(*this)) {
    state_.setDelegate(stateDelegate_);
    renderOptions_.calloutText = typesetCalloutText();
    renderOptions_.tiles = std::make_shared<BaseMapTiles>();
    // The coastline is read and simplified off the main thread while the rest of the screen is set
    // up; the first frame then finds it ready.
    dispatch::Queue::global()->async([] { LandShapes::shared(); });
    std::weak_ptr<StateDelegate> redraw = stateDelegate_;
    renderOptions_.tiles->setTilesReadyHandler([redraw] {
        if (auto delegate = redraw.lock()) delegate->redraw();
    });
    foundation::NotificationCenter::defaultCenter().addObserver(
        renderOptions_.tiles, ui::Application::didReceiveMemoryWarningNotification, &BaseMapTiles::removeAll);
    setClipsToBounds(true);
}

MapView::~MapView() = default;

const std::shared_ptr<BaseMapTiles>& MapView::baseMapTiles() const { return renderOptions_.tiles; }

void MapView::setLayoutMargins(const ui::EdgeInsets& margins) {
    View::setLayoutMargins(margins);
    syncGeometry();
    setNeedsDisplay();
}

void MapView::syncGeometry() {
    ui::Size size = bounds().size;
    if (state_.viewport().size() != size) state_.setSize(size);
    if (state_.viewport().layoutMargins() != layoutMargins()) state_.setLayoutMargins(layoutMargins());
}

const Viewport& MapView::viewport() {
    syncGeometry();
    return state_.viewport();
}

CoordinateRegion MapView::region() { return viewport().region(); }

Coordinate MapView::centerCoordinate() { return viewport().centerCoordinate(); }

void MapView::setRegion(const CoordinateRegion& region, bool animated) {
    moveViewport([&](Viewport& target) { target.setRegion(region); }, animated);
}

void MapView::setCenterCoordinate(Coordinate center, bool animated) {
    moveViewport([&](Viewport& target) { target.setCenterCoordinate(center); }, animated);
}

void MapView::moveViewport(const std::function<void(Viewport&)>& change, bool animated) {
    syncGeometry();
    Viewport target = state_.viewport();
    change(target);
    if (animated) {
        animateTo(target);
        return;
    }
    animation_.reset();
    state_.setViewport(target, false);
}

void MapView::animateTo(const Viewport& target) {
    advanceAnimation();
    const Viewport& from = state_.viewport();
    if (from.scale() == target.scale() && from.centerMapPoint() == target.centerMapPoint()) {
        if (animation_) endAnimation(true);
        return;
    }
    // A new animation takes over from wherever the running one has got to; one report at its end.
    animation_ = RegionAnimation{from, target, uptime(), ++animationGeneration_};
    std::weak_ptr<ui::LayoutItem> weak = weak_from_this();
    ui::runLoopBridge()->performAfter(regionAnimationDuration, [weak, generation = animationGeneration_] {
        auto view = std::static_pointer_cast<MapView>(weak.lock());
        if (view && view->animation_ && view->animation_->generation == generation) view->endAnimation(true);
    });
    setNeedsDisplay();
}

void MapView::advanceAnimation() {
    if (!animation_) return;
    double t = std::clamp((uptime() - animation_->startTime) / regionAnimationDuration, 0.0, 1.0);
    reportingRegionChanges_ = false;
    state_.setViewport(interpolate(animation_->from, animation_->to, easeInOut(t)));
    reportingRegionChanges_ = true;
}

void MapView::endAnimation(bool finished) {
    if (!animation_) return;
    if (finished) {
        reportingRegionChanges_ = false;
        state_.setViewport(animation_->to);
        reportingRegionChanges_ = true;
    } else {
        advanceAnimation();
    }
    animation_.reset();
    setNeedsDisplay();
    placeCalloutAccessory();
    if (auto delegate = delegate_.lock()) delegate->regionDidChange(*this, true);
}

void MapView::addAnnotation(std::shared_ptr<Annotation> annotation) {
    state_.addAnnotation(std::move(annotation));
    setNeedsDisplay();
}

void MapView::addAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) {
    state_.addAnnotations(annotations);
    setNeedsDisplay();
}

void MapView::removeAnnotation(const std::shared_ptr<Annotation>& annotation) {
    state_.removeAnnotation(annotation);
    setNeedsDisplay();
}

void MapView::removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) {
    state_.removeAnnotations(annotations);
    setNeedsDisplay();
}

std::shared_ptr<AnnotationView> MapView::viewFor(const std::shared_ptr<Annotation>& annotation) {
    return state_.viewFor(annotation);
}

std::shared_ptr<AnnotationView> MapView::dequeueReusableAnnotationView(const std::string& reuseIdentifier) {
    return state_.dequeueReusableView(reuseIdentifier);
}

void MapView::selectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated) {
    syncGeometry();
    state_.selectAnnotation(annotation, animated);
}

void MapView::deselectAnnotation(const std::shared_ptr<Annotation>& annotation, bool animated) {
    state_.deselectAnnotation(annotation, animated);
}

void MapView::addOverlay(std::shared_ptr<Overlay> overlay, OverlayLevel level) {
    state_.addOverlay(std::move(overlay), level);
    setNeedsDisplay();
}

void MapView::removeOverlay(const std::shared_ptr<Overlay>& overlay) {
    state_.removeOverlay(overlay);
    setNeedsDisplay();
}

std::shared_ptr<OverlayRenderer> MapView::rendererFor(const std::shared_ptr<Overlay>& overlay) {
    return state_.rendererFor(overlay);
}

void MapView::selectionDidChange() {
    std::shared_ptr<ui::View> wanted;
    if (!state_.selectedAnnotations().empty()) {
        auto view = state_.viewFor(state_.selectedAnnotations().front());
        if (view && view->canShowCallout) wanted = view->rightCalloutAccessoryView;
    }
    if (wanted != shownAccessory_) {
        if (shownAccessory_ && shownAccessory_->superview().get() == this) shownAccessory_->removeFromSuperview();
        shownAccessory_ = wanted;
        if (shownAccessory_) addSubview(shownAccessory_);
    }
    placeCalloutAccessory();
    setNeedsDisplay();
}

std::optional<CalloutLayout> MapView::calloutLayout() {
    syncGeometry();
    return map::calloutLayout(state_, renderOptions_.calloutText);
}

void MapView::placeCalloutAccessory() {
    if (!shownAccessory_) return;
    auto layout = calloutLayout();
    bool shown = layout && layout->rightAccessory;
    if (shown && shownAccessory_->frame() != *layout->rightAccessory) shownAccessory_->setFrame(*layout->rightAccessory);
    if (shownAccessory_->isHidden() == shown) shownAccessory_->setHidden(!shown);
}

bool MapView::scrollWheel(ui::Point point, double /*dx*/, double dy) {
    if (dy == 0 || !std::isfinite(dy) || !state_.isZoomEnabled) return false;
    pinch(point, std::pow(2.0, -dy / pointsPerWheelStep / 2));
    return true;
}

void MapView::pinch(ui::Point center, double scale) {
    if (!(scale > 0) || !std::isfinite(scale) || !state_.isZoomEnabled) return;
    syncGeometry();
    endAnimation(false);
    state_.zoom(scale, center);
}

void MapView::tapAt(ui::Point point) {
    // Taps on the bubble itself keep it open.
    if (auto layout = calloutLayout(); layout && layout->bubble.contains(point)) return;
    state_.tap(point);
}

void MapView::draw(gfx::Context& context, const ui::Rect&) {
    syncGeometry();
    advanceAnimation();
    renderMap(context, state_, renderOptions_);
    placeCalloutAccessory();
}

void MapView::layoutSubviews() {
    syncGeometry();
    placeCalloutAccessory();
}

void MapView::touchesBegan(const std::vector<ui::Touch>& touches, const ui::Event&) {
    if (touches.empty()) return;
    endAnimation(false);
    ui::Point point = touches.front().location(this);
    drag_ = Drag{point, point};
}

void MapView::touchesMoved(const std::vector<ui::Touch>& touches, const ui::Event&) {
    if (!drag_ || touches.empty()) return;
    ui::Point point = touches.front().location(this);
    if (!drag_->panning) {
        if (distance(point, drag_->start) < tapSlop) return;
        // Catches up the slop, so the place under the finger stays under it from here on.
        drag_->panning = true;
        drag_->last = drag_->start;
    }
    syncGeometry();
    state_.pan({point.x - drag_->last.x, point.y - drag_->last.y});
    drag_->last = point;
}

void MapView::touchesEnded(const std::vector<ui::Touch>& touches, const ui::Event&) {
    if (!drag_) return;
    bool isTap = !drag_->panning;
    ui::Point point = touches.empty() ? drag_->last : touches.front().location(this);
    drag_.reset();
    if (isTap) tapAt(point);
}

void MapView::touchesCancelled(const std::vector<ui::Touch>&, const ui::Event&) { drag_.reset(); }

}  // namespace map
