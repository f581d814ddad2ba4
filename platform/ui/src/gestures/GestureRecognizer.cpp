#include "ui/GestureRecognizer.h"

#include <algorithm>
#include <unordered_map>

#include "ui/Control.h"
#include "ui/Window.h"

namespace ui {

namespace {

// A view's recognisers. Views may add recognisers in their constructors, before a shared_ptr owns
// them, so the weak pointer is bound on the first look-up from a live view.
struct Attachment {
    std::weak_ptr<View> view;
    bool bound = false;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
};

std::unordered_map<const View*, Attachment>& attachments() {
    // Never destroyed: views held by other statics end after it otherwise.
    static auto* map = new std::unordered_map<const View*, Attachment>;
    return *map;
}

void pruneDeadViews() {
    std::erase_if(attachments(), [](const auto& entry) { return entry.second.bound && entry.second.view.expired(); });
}

bool bothMayRecognize(GestureRecognizer& a, GestureRecognizer& b) {
    auto first = a.delegate().lock();
    auto second = b.delegate().lock();
    return (first && first->gestureRecognizerShouldRecognizeSimultaneously(a, b)) ||
           (second && second->gestureRecognizerShouldRecognizeSimultaneously(b, a));
}

bool controlBetween(const std::shared_ptr<View>& hit, const View* ancestor) {
    for (auto view = hit; view && view.get() != ancestor; view = view->superview())
        if (dynamic_cast<Control*>(view.get())) return true;
    return false;
}

}  // namespace

// The recognisers of one touch, from touch down to touch up.
class GestureSession {
public:
    std::shared_ptr<View> hitView;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    Touch lastTouch;
    Event lastEvent;
    bool viewCancelled = false;

    bool mayRecognize(GestureRecognizer& recognizer) {
        return std::none_of(recognizers.begin(), recognizers.end(), [&](const auto& other) {
            return other.get() != &recognizer && other->isActive() && !bothMayRecognize(recognizer, *other);
        });
    }

    void didRecognize(GestureRecognizer& recognizer) {
        for (const auto& other : recognizers)
            if (other.get() != &recognizer && other->state_ == GestureRecognizerState::possible &&
                !bothMayRecognize(recognizer, *other))
                other->state_ = GestureRecognizerState::failed;
        if (recognizer.cancelsTouchesInView() && !viewCancelled) {
            viewCancelled = true;
            if (!hitView) return;
            Touch cancelled = lastTouch;
            cancelled.phase = TouchPhase::cancelled;
            hitView->touchesCancelled({cancelled}, lastEvent);
        }
    }

    static std::shared_ptr<GestureSession>& current() {
        static std::shared_ptr<GestureSession> session;
        return session;
    }

    static void start(Window& window, const Touch& touch, const Event& event) {
        pruneDeadViews();
        auto session = std::make_shared<GestureSession>();
        session->hitView = window.hitTest(window.convertPointFrom(touch.locationInWindow, nullptr), event);
        for (auto view = session->hitView; view; view = view->superview()) {
            for (const auto& recognizer : gestureRecognizers(*view)) {
                if (!recognizer->isEnabled()) continue;
                if (recognizer->defersToControls() && controlBetween(session->hitView, view.get())) continue;
                auto delegate = recognizer->delegate().lock();
                if (delegate && !delegate->gestureRecognizerShouldReceiveTouch(*recognizer, touch)) continue;
                recognizer->state_ = GestureRecognizerState::possible;
                recognizer->touch_.reset();
                recognizer->reset();
                recognizer->session_ = session;
                session->recognizers.push_back(recognizer);
            }
        }
        current() = session;
    }

    // Feeds the recognisers; true when the views must not see the touch.
    static bool deliver(const Touch& touch, const Event& event) {
        std::shared_ptr<GestureSession> session = current();
        if (!session) return false;
        session->lastTouch = touch;
        session->lastEvent = event;
        bool lifted = touch.phase == TouchPhase::ended || touch.phase == TouchPhase::cancelled;
        for (const auto& recognizer : session->recognizers) {
            if (!recognizer->isTracking()) continue;
            recognizer->touch_ = touch;
            recognizer->touchDown_ = !lifted;
            switch (touch.phase) {
                case TouchPhase::began: recognizer->touchBegan(touch); break;
                case TouchPhase::moved:
                case TouchPhase::stationary: recognizer->touchMoved(touch); break;
                case TouchPhase::ended: recognizer->touchEnded(touch); break;
                case TouchPhase::cancelled: recognizer->touchCancelled(touch); break;
            }
        }
        if (lifted) {
            for (const auto& recognizer : session->recognizers) {
                recognizer->touchDown_ = false;
                if (recognizer->state_ == GestureRecognizerState::possible) recognizer->state_ = GestureRecognizerState::failed;
            }
            if (current() == session) current().reset();
        }
        return session->viewCancelled;
    }
};

void GestureRecognizer::addTarget(std::weak_ptr<void> target, Action action) {
    actions_.push_back({true, std::move(target), std::move(action)});
}

void GestureRecognizer::addAction(Action action) { actions_.push_back({false, {}, std::move(action)}); }

void GestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && isActive()) setState(State::cancelled);
}

Point GestureRecognizer::location(const View* view) const { return touch_ ? touch_->location(view) : Point{}; }

void GestureRecognizer::touchCancelled(const Touch&) {
    if (isActive()) setState(State::cancelled);
    else if (state_ == State::possible) state_ = State::failed;
}

void GestureRecognizer::setState(State state) {
    if (state == state_ && state != State::changed) return;
    if (state_ == State::possible && (state == State::began || state == State::ended)) {
        auto delegate = delegate_.lock();
        auto session = session_.lock();
        if ((delegate && !delegate->gestureRecognizerShouldBegin(*this)) || (session && !session->mayRecognize(*this))) {
            state_ = State::failed;
            return;
        }
        state_ = state;
        if (session) session->didRecognize(*this);
    } else {
        state_ = state;
    }
    if (state != State::possible && state != State::failed) sendActions();
}

void GestureRecognizer::sendActions() {
    // An action may release the recogniser or change its actions.
    auto keep = weak_from_this().lock();
    std::vector<Registration> registered = actions_;
    for (const auto& registration : registered) {
        auto target = registration.target.lock();
        if (registration.hasTarget && !target) continue;
        registration.action(*this);
    }
}

void addGestureRecognizer(View& view, const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto previous = recognizer->view()) removeGestureRecognizer(*previous, *recognizer);
    Attachment& attachment = attachments()[&view];
    if (!attachment.bound) {
        attachment.view = std::static_pointer_cast<View>(view.weak_from_this().lock());
        attachment.bound = !attachment.view.expired();
    }
    attachment.recognizers.push_back(recognizer);
    recognizer->view_ = attachment.view;
    if (auto window = view.window()) installGestureHandling(*window);
}

void removeGestureRecognizer(View& view, const GestureRecognizer& recognizer) {
    auto found = attachments().find(&view);
    if (found == attachments().end()) return;
    std::erase_if(found->second.recognizers, [&](const auto& r) { return r.get() == &recognizer; });
}

std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers(const View& view) {
    auto found = attachments().find(&view);
    if (found == attachments().end()) return {};
    Attachment& attachment = found->second;
    if (!attachment.bound) {
        auto self = std::static_pointer_cast<const View>(view.weak_from_this().lock());
        if (self) {
            attachment.view = std::const_pointer_cast<View>(self);
            attachment.bound = true;
            for (const auto& recognizer : attachment.recognizers) recognizer->view_ = attachment.view;
        }
    } else if (attachment.view.expired()) {
        attachments().erase(found);
        return {};
    }
    return attachment.recognizers;
}

void forgetGestureRecognizers(const View& view) {
    auto found = attachments().find(&view);
    if (found == attachments().end()) return;
    // Moved out first: a recogniser released here may end a view that forgets its own.
    auto recognizers = std::move(found->second.recognizers);
    attachments().erase(found);
    for (const auto& recognizer : recognizers) recognizer->view_.reset();
}

void installGestureHandling(Window& window) {
    std::weak_ptr<View> weak = window.shared();
    window.setTouchFilter([weak](const Touch& touch, const Event& event) {
        auto window = std::static_pointer_cast<Window>(weak.lock());
        if (!window) return false;
        if (touch.phase == TouchPhase::began) GestureSession::start(*window, touch, event);
        return GestureSession::deliver(touch, event);
    });
}

}  // namespace ui
