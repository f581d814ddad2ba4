#include "ui/Control.h"

#include <algorithm>

#include "ui/Menu.h"
#include "ui/MenuPopup.h"

namespace ui {

namespace {

// How far outside its bounds a touch still counts as inside a control.
constexpr double touchSlop = 70;

MenuPresenter& installedPresenter() {
    static MenuPresenter presenter;
    return presenter;
}

}  // namespace

void setMenuPresenter(MenuPresenter presenter) { installedPresenter() = std::move(presenter); }

void presentMenu(View& source, const std::shared_ptr<Menu>& menu) {
    if (!menu) return;
    if (installedPresenter())
        installedPresenter()(source, menu);
    else
        MenuPopup::present(source, menu);
}

Control::ActionId Control::addTarget(std::weak_ptr<void> target, Action action, ControlEvent events) {
    actions_.push_back({nextId_, true, std::move(target), std::move(action), events});
    return nextId_++;
}

Control::ActionId Control::addAction(Action action, ControlEvent events) {
    actions_.push_back({nextId_, false, {}, std::move(action), events});
    return nextId_++;
}

void Control::removeAction(ActionId id) {
    std::erase_if(actions_, [id](const Registration& r) { return r.id == id; });
}

std::size_t Control::actionCount(ControlEvent event) const {
    return std::count_if(actions_.begin(), actions_.end(), [event](const Registration& r) {
        return contains(r.events, event) && (!r.hasTarget || !r.target.expired());
    });
}

void Control::sendActions(ControlEvent event) {
    // Actions may add or remove actions, or release the control: run a copy with the control kept.
    std::shared_ptr<View> keep = shared();
    std::vector<Registration> registered = actions_;
    for (const auto& registration : registered) {
        if (!contains(registration.events, event)) continue;
        std::shared_ptr<void> target = registration.target.lock();
        if (registration.hasTarget && !target) continue;
        registration.action(*this);
    }
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    stateDidChange();
}

void Control::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

ControlState Control::state() const {
    auto bits = static_cast<std::uint32_t>(ControlState::normal);
    if (highlighted_) bits |= static_cast<std::uint32_t>(ControlState::highlighted);
    if (!enabled_) bits |= static_cast<std::uint32_t>(ControlState::disabled);
    if (selected_) bits |= static_cast<std::uint32_t>(ControlState::selected);
    return static_cast<ControlState>(bits);
}

bool Control::isTouchInside(const Touch& touch) const {
    return bounds().insetBy(-touchSlop, -touchSlop).contains(touch.location(this));
}

void Control::touchesBegan(const std::vector<Touch>&, const Event&) {
    if (!enabled_) return;
    tracking_ = true;
    setHighlighted(true);
    sendActions(ControlEvent::touchDown);
}

void Control::touchesMoved(const std::vector<Touch>& touches, const Event&) {
    if (!tracking_ || touches.empty()) return;
    bool inside = isTouchInside(touches.front());
    setHighlighted(inside);
    sendActions(inside ? ControlEvent::touchDragInside : ControlEvent::touchDragOutside);
}

void Control::touchesEnded(const std::vector<Touch>& touches, const Event&) {
    if (!tracking_ || touches.empty()) return;
    tracking_ = false;
    setHighlighted(false);
    if (isTouchInside(touches.front()))
        didTapInside();
    else
        sendActions(ControlEvent::touchUpOutside);
}

void Control::touchesCancelled(const std::vector<Touch>&, const Event&) {
    if (!tracking_) return;
    tracking_ = false;
    setHighlighted(false);
    sendActions(ControlEvent::touchCancel);
}

void Control::didTapInside() {
    sendActions(ControlEvent::touchUpInside);
    sendActions(ControlEvent::primaryActionTriggered);
}

}  // namespace ui
