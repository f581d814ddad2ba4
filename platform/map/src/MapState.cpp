#include "map/MapState.h"

#include <algorithm>

#include "gfx/Context.h"

namespace map {

gfx::Rect AnnotationView::frame(gfx::Point anchor) const {
    gfx::Image::Size size = image ? image->size() : gfx::Image::Size{};
    return {anchor.x + centerOffset.x - size.width / 2, anchor.y + centerOffset.y - size.height / 2, size.width,
            size.height};
}

template <typename Change>
void MapState::changeViewport(Change change, bool animated) {
    Viewport before = viewport_;
    change(viewport_);
    if (viewport_ == before) return;
    if (auto delegate = delegate_.lock()) delegate->regionDidChange(*this, animated);
}

void MapState::setSize(gfx::Size size) {
    changeViewport([&](Viewport& viewport) { viewport.setSize(size); }, false);
}

void MapState::setLayoutMargins(const gfx::EdgeInsets& margins) {
    changeViewport([&](Viewport& viewport) { viewport.setLayoutMargins(margins); }, false);
}

void MapState::setRegion(const CoordinateRegion& region, bool animated) {
    changeViewport([&](Viewport& viewport) { viewport.setRegion(region); }, animated);
}

void MapState::setCenterCoordinate(Coordinate center, bool animated) {
    changeViewport([&](Viewport& viewport) { viewport.setCenterCoordinate(center); }, animated);
}

void MapState::setViewport(const Viewport& viewport, bool animated) {
    changeViewport(
        [&](Viewport& current) {
            current.setScale(viewport.scale());
            current.setCenterMapPoint(viewport.centerMapPoint());
        },
        animated);
}

void MapState::zoom(double factor, gfx::Point anchor) {
    if (!isZoomEnabled) return;
    changeViewport([&](Viewport& viewport) { viewport.zoom(factor, anchor); }, false);
}

void MapState::pan(gfx::Point translation) {
    if (!isScrollEnabled) return;
    changeViewport([&](Viewport& viewport) { viewport.pan(translation); }, false);
}

void MapState::addAnnotation(std::shared_ptr<Annotation> annotation) {
    if (!annotation || !onMap_.insert(annotation.get()).second) return;
    annotations_.push_back(std::move(annotation));
}

void MapState::addAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) {
    for (const auto& annotation : annotations) addAnnotation(annotation);
}

void MapState::forget(const std::shared_ptr<Annotation>& annotation) {
    deselectAnnotation(annotation);
    onMap_.erase(annotation.get());
    auto view = views_.find(annotation.get());
    if (view == views_.end()) return;
    if (view->second) {
        view->second->setAnnotation(nullptr);
        reusableViews_.emplace(view->second->reuseIdentifier(), view->second);
    }
    views_.erase(view);
}

void MapState::removeAnnotation(const std::shared_ptr<Annotation>& annotation) {
    if (!annotation || !onMap_.contains(annotation.get())) return;
    forget(annotation);
    annotations_.erase(std::ranges::find(annotations_, annotation));
}

void MapState::removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& annotations) {
    // Taken out of the list in one pass, not one search and shift each. A copy: callers pass
    // annotations() itself to remove everything.
    std::vector<std::shared_ptr<Annotation>> removing = annotations;
    std::unordered_set<const Annotation*> removed;
    for (const auto& annotation : removing) {
        if (!annotation || !onMap_.contains(annotation.get())) continue;
        forget(annotation);
        removed.insert(annotation.get());
    }
    std::erase_if(annotations_, [&](const std::shared_ptr<Annotation>& annotation) {
        return removed.contains(annotation.get()) && !onMap_.contains(annotation.get());
    });
}

std::shared_ptr<AnnotationView> MapState::viewFor(const std::shared_ptr<Annotation>& annotation) {
    if (!annotation || annotation->isUserLocation()) return nullptr;
    if (!onMap_.contains(annotation.get())) return nullptr;
    auto found = views_.find(annotation.get());
    if (found != views_.end()) return found->second;
    std::shared_ptr<AnnotationView> view;
    if (auto delegate = delegate_.lock()) view = delegate->viewForAnnotation(*this, annotation);
    if (!view) {
        view = std::make_shared<AnnotationView>(annotation, "");
        view->image = defaultMarkerImage();
    }
    view->setAnnotation(annotation);
    views_[annotation.get()] = view;
    noteReach(*view);
    return view;
}

void MapState::noteReach(const AnnotationView& view) {
    gfx::Rect frame = view.frame({0, 0});
    double reach = std::max({-frame.minX(), frame.maxX(), -frame.minY(), frame.maxY(), 0.0});
    viewReach_ = std::max(viewReach_.value_or(0), reach);
}

std::shared_ptr<AnnotationView> MapState::viewNear(const std::shared_ptr<Annotation>& annotation, const gfx::Rect& area) {
    if (!annotation) return nullptr;
    if (auto found = views_.find(annotation.get()); found != views_.end()) {
        // Its image may have changed since it was made.
        if (found->second) noteReach(*found->second);
        return found->second;
    }
    if (!area.insetBy(-viewReach(), -viewReach()).contains(viewport_.point(annotation->coordinate()))) return nullptr;
    return viewFor(annotation);
}

std::shared_ptr<AnnotationView> MapState::dequeueReusableView(const std::string& reuseIdentifier) {
    auto found = reusableViews_.find(reuseIdentifier);
    if (found == reusableViews_.end()) return nullptr;
    auto view = found->second;
    reusableViews_.erase(found);
    view->selected_ = false;
    return view;
}

void MapState::selectAnnotation(const std::shared_ptr<Annotation>& annotation, bool /*animated*/) {
    if (!selected_.empty() && selected_.front() == annotation) return;
    auto view = viewFor(annotation);
    if (!view) return;
    if (!selected_.empty()) deselectAnnotation(selected_.front());
    selected_ = {annotation};
    view->selected_ = true;
    if (auto delegate = delegate_.lock()) delegate->didSelect(*this, view);
}

void MapState::deselectAnnotation(const std::shared_ptr<Annotation>& annotation, bool /*animated*/) {
    if (selected_.empty() || selected_.front() != annotation) return;
    selected_.clear();
    auto found = views_.find(annotation.get());
    if (found == views_.end()) return;
    found->second->selected_ = false;
    if (auto delegate = delegate_.lock()) delegate->didDeselect(*this, found->second);
}

std::vector<std::shared_ptr<Annotation>> MapState::annotationsInDrawingOrder() const {
    std::vector<std::shared_ptr<Annotation>> ordered;
    ordered.reserve(annotations_.size());
    for (const auto& annotation : annotations_) {
        if (selected_.empty() || annotation != selected_.front()) ordered.push_back(annotation);
    }
    if (!selected_.empty()) ordered.push_back(selected_.front());
    return ordered;
}

std::shared_ptr<Annotation> MapState::annotationAt(gfx::Point point) {
    auto ordered = annotationsInDrawingOrder();
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
        auto view = viewNear(*it, {point, {0, 0}});
        if (!view || !view->image) continue;
        if (view->frame(viewport_.point((*it)->coordinate())).contains(point)) return *it;
    }
    return nullptr;
}

void MapState::tap(gfx::Point point) {
    if (auto hit = annotationAt(point)) {
        selectAnnotation(hit, true);
    } else if (!selected_.empty()) {
        deselectAnnotation(selected_.front(), true);
    }
}

void MapState::addOverlay(std::shared_ptr<Overlay> overlay, OverlayLevel level) {
    if (!overlay) return;
    removeOverlay(overlay);
    overlays_.push_back({std::move(overlay), level, nullptr, false});
}

void MapState::removeOverlay(const std::shared_ptr<Overlay>& overlay) {
    std::erase_if(overlays_, [&](const PlacedOverlay& placed) { return placed.overlay == overlay; });
}

std::vector<std::shared_ptr<Overlay>> MapState::overlays(OverlayLevel level) const {
    std::vector<std::shared_ptr<Overlay>> result;
    for (const PlacedOverlay& placed : overlays_) {
        if (placed.level == level) result.push_back(placed.overlay);
    }
    return result;
}

std::vector<std::shared_ptr<Overlay>> MapState::overlays() const {
    std::vector<std::shared_ptr<Overlay>> result = overlays(OverlayLevel::aboveRoads);
    std::ranges::copy(overlays(OverlayLevel::aboveLabels), std::back_inserter(result));
    return result;
}

std::shared_ptr<OverlayRenderer> MapState::rendererFor(const std::shared_ptr<Overlay>& overlay) {
    auto found = std::ranges::find_if(overlays_, [&](const PlacedOverlay& placed) { return placed.overlay == overlay; });
    if (found == overlays_.end()) return nullptr;
    if (!found->rendererAsked) {
        found->rendererAsked = true;
        if (auto delegate = delegate_.lock()) found->renderer = delegate->rendererForOverlay(*this, overlay);
    }
    return found->renderer;
}

std::shared_ptr<gfx::Image> defaultMarkerImage() {
    static const std::shared_ptr<gfx::Image> image = [] {
        constexpr double scale = 2, diameter = 22;
        auto context = gfx::Context::create(gfx::Size{diameter, diameter}, {.scale = scale});
        gfx::Path dot;
        dot.addEllipse({2, 2, diameter - 4, diameter - 4});
        context->setFillColor(gfx::Color::systemRed());
        context->fill(dot);
        context->setStrokeColor(gfx::Color::white());
        context->setLineWidth(2);
        context->stroke(dot);
        return gfx::Image::fromBitmap(context->makeImage(), scale);
    }();
    return image;
}

}  // namespace map
