#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/Touch.h"
#include "ui/View.h"

namespace ui {

class Window;
class GestureSession;

// Discrete recognisers (taps) go possible → recognized (= ended) or failed; continuous ones (pans,
// long presses) go possible → began → changed… → ended or cancelled.
enum class GestureRecognizerState { possible, began, changed, ended, cancelled, failed, recognized = ended };

class GestureRecognizer;

class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    // Asked as the recogniser leaves `possible`; false makes it fail.
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    // Whether both may recognise during the same touch; either delegate saying yes is enough.
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) { return false; }
    // Asked when a touch begins in the recogniser's view; false leaves the recogniser out of it.
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, const Touch&) { return true; }
};

// Watches the touches that begin in its view (or the view's subviews) before the views get them,
// through the window's touch filter. When it recognises, the other recognisers of the touch fail
// (unless they may recognise simultaneously), and with cancelsTouchesInView the view the touch
// began in gets touchesCancelled and no further phases. State stays readable after the touch ends
// and returns to `possible` when the next touch begins.
class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer&)>;
    using State = GestureRecognizerState;

    GestureRecognizer() = default;
    explicit GestureRecognizer(Action action) { addAction(std::move(action)); }
    virtual ~GestureRecognizer() = default;
    GestureRecognizer(const GestureRecognizer&) = delete;
    GestureRecognizer& operator=(const GestureRecognizer&) = delete;

    // Actions run on every change to began, changed, ended (recognized) and cancelled. A target's
    // action runs only while the target lives.
    void addTarget(std::weak_ptr<void> target, Action action);
    void addAction(Action action);
    void removeAllActions() { actions_.clear(); }

    State state() const { return state_; }
    std::shared_ptr<View> view() const { return view_.lock(); }
    bool isEnabled() const { return enabled_; }
    // Disabling a recogniser in the middle of a gesture cancels it.
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    std::weak_ptr<GestureRecognizerDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }

    // Where the touch is, in `view`'s space (null: the window's); the last known place after it ended.
    Point location(const View* view) const;
    std::size_t numberOfTouches() const { return touchDown_ ? 1 : 0; }

protected:
    // Subclasses follow the touch here and move the state with setState.
    virtual void touchBegan(const Touch&) {}
    virtual void touchMoved(const Touch&) {}
    virtual void touchEnded(const Touch&) {}
    virtual void touchCancelled(const Touch&);
    // Back to a clean slate before a new touch.
    virtual void reset() {}
    // Taps on an ancestor leave a control's touches to the control.
    virtual bool defersToControls() const { return false; }

    // Leaving `possible` asks shouldBegin and the session; a refusal turns the change into `failed`.
    void setState(State state);
    const std::optional<Touch>& currentTouch() const { return touch_; }

private:
    friend class GestureSession;
    friend void addGestureRecognizer(View& view, const std::shared_ptr<GestureRecognizer>& recognizer);
    friend void removeGestureRecognizer(View& view, const GestureRecognizer& recognizer);
    friend std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers(const View& view);
    friend void forgetGestureRecognizers(const View& view);

    struct Registration {
        bool hasTarget;
        std::weak_ptr<void> target;
        Action action;
    };

    void sendActions();
    bool isActive() const { return state_ == State::began || state_ == State::changed; }
    bool isTracking() const { return state_ == State::possible || isActive(); }

    std::vector<Registration> actions_;
    State state_ = State::possible;
    std::weak_ptr<View> view_;
    std::weak_ptr<GestureSession> session_;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    std::optional<Touch> touch_;
    bool touchDown_ = false;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
};

// A view keeps its recognisers alive; adding one to a view that is in a window makes sure the
// window sends its touches through the recognisers.
void addGestureRecognizer(View& view, const std::shared_ptr<GestureRecognizer>& recognizer);
void removeGestureRecognizer(View& view, const GestureRecognizer& recognizer);
std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers(const View& view);
// Called as a view ends: its recognisers go with it, so no later view at the same address inherits them.
void forgetGestureRecognizers(const View& view);

// Installs the recognisers as the window's touch filter. Hosts call it for their window (the
// headless host does); calling it again changes nothing.
void installGestureHandling(Window& window);

}  // namespace ui
