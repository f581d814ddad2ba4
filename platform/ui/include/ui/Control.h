#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/View.h"

namespace ui {

// Control events, combinable as bits (the platform's values).
enum class ControlEvent : std::uint32_t {
    touchDown = 1u << 0,
    touchDragInside = 1u << 2,
    touchDragOutside = 1u << 3,
    touchUpInside = 1u << 6,
    touchUpOutside = 1u << 7,
    touchCancel = 1u << 8,
    valueChanged = 1u << 12,
    primaryActionTriggered = 1u << 13,
};
constexpr ControlEvent operator|(ControlEvent a, ControlEvent b) {
    return static_cast<ControlEvent>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr bool contains(ControlEvent set, ControlEvent event) {
    return (static_cast<std::uint32_t>(set) & static_cast<std::uint32_t>(event)) != 0;
}

// Control states, combinable as bits; normal is none of them.
enum class ControlState : std::uint32_t { normal = 0, highlighted = 1, disabled = 2, selected = 4 };
constexpr ControlState operator|(ControlState a, ControlState b) {
    return static_cast<ControlState>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

// A view that tracks a touch and sends actions for events: touch down, touch up inside (released
// within its bounds grown by a 70-point margin, as the platform does), value changed.
class Control : public View {
public:
    using Action = std::function<void(Control& sender)>;
    using ActionId = std::uint64_t;

    Control() = default;
    explicit Control(const Rect& frame) : View(frame) {}

    // The action runs only while `target` lives, as a weakly held target-action pair would.
    ActionId addTarget(std::weak_ptr<void> target, Action action, ControlEvent events);
    ActionId addAction(Action action, ControlEvent events);
    void removeAction(ActionId id);
    void removeAllActions() { actions_.clear(); }
    std::size_t actionCount(ControlEvent event) const;
    // Runs the actions for the event, in the order they were added.
    virtual void sendActions(ControlEvent event);

    // Does what a tap does (the keyboard's Return or space bar on the focused control); nothing
    // while disabled.
    void activate() {
        if (enabled_) didTapInside();
    }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    ControlState state() const;
    bool isTracking() const { return tracking_; }

    void touchesBegan(const std::vector<Touch>& touches, const Event& event) override;
    void touchesMoved(const std::vector<Touch>& touches, const Event& event) override;
    void touchesEnded(const std::vector<Touch>& touches, const Event& event) override;
    void touchesCancelled(const std::vector<Touch>& touches, const Event& event) override;

protected:
    // After enabled, selected or highlighted changed.
    virtual void stateDidChange() { setNeedsDisplay(); }
    // Ends a tap inside: sends touchUpInside and primaryActionTriggered.
    virtual void didTapInside();

private:
    struct Registration {
        ActionId id;
        bool hasTarget;
        std::weak_ptr<void> target;
        Action action;
        ControlEvent events;
    };
    bool isTouchInside(const Touch& touch) const;

    std::vector<Registration> actions_;
    ActionId nextId_ = 1;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
};

}  // namespace ui
