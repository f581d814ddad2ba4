#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "quartz/Layer.h"
#include "ui/Geometry.h"
#include "ui/LayoutItem.h"
#include "ui/Touch.h"
#include "ui/ViewAnimationOptions.h"

namespace ui {

class ViewController;
class Window;

// A rectangle of the screen backed by a layer: geometry, appearance, a subtree, layout and touches.
// Views are reference types (std::make_shared<View>()), used on the main thread only. The view's
// geometry lives in its layer (frame = the layer's frame, bounds, center = position), so the two
// never disagree.
class View : public LayoutItem {
public:
    View();
    explicit View(const Rect& frame);
    ~View() override;

    // This view as a shared pointer of its own type (views live in shared_ptrs).
    std::shared_ptr<View> shared() { return std::static_pointer_cast<View>(shared_from_this()); }
    std::shared_ptr<const View> shared() const { return std::static_pointer_cast<const View>(shared_from_this()); }

    // Geometry. The frame is in the superview's space, the bounds in the view's own.
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    Rect bounds() const;
    void setBounds(const Rect& bounds);
    Point center() const;
    void setCenter(Point center);
    gfx::AffineTransform transform() const;
    void setTransform(const gfx::AffineTransform& transform);

    // The tree. Adding a view that has a superview moves it.
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    std::shared_ptr<View> superview() const;
    std::shared_ptr<Window> window() const { return window_.lock(); }
    void addSubview(const std::shared_ptr<View>& view);
    // Indices past the end append.
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    // A sibling that is not a subview appends.
    void insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void removeFromSuperview();
    bool isDescendant(const View& ancestor) const;
    // This view or the first descendant (depth first) with the tag.
    std::shared_ptr<View> viewWithTag(int tag);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Appearance, kept in the layer.
    std::optional<gfx::Color> backgroundColor() const;
    void setBackgroundColor(std::optional<gfx::Color> color);
    double alpha() const;
    void setAlpha(double alpha);
    // A hidden view keeps its place in layout (stack views leave it out).
    bool isHidden() const override;
    void setHidden(bool hidden);
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    // Corner radius, border and shadow are set here.
    const std::shared_ptr<quartz::Layer>& layer() const { return layer_; }

    // The view's own tint, or the nearest ancestor's, or the system blue at the top of the tree.
    gfx::Color tintColor() const;
    void setTintColor(std::optional<gfx::Color> color);
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

    // Layout. layoutIfNeeded runs the constraint pass of the whole tree (incremental: it costs little
    // when nothing changed) and then layoutSubviews of every view marked since the last pass.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    // Content whose natural size changed (a label's text) asks for a new pass with this.
    void invalidateIntrinsicContentSize();
    // The size the view would like within `size`; the current size unless a kind knows better.
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();
    // The size the subtree's constraints give at the target width, height as small as they allow.
    Size systemLayoutSizeFitting(Size targetSize);
    // The part of the view the window's status bar and home indicator do not cover, as insets.
    EdgeInsets safeAreaInsets() const;
    std::string layoutName() const override;
    void setLayoutName(std::string name) { layoutName_ = std::move(name); }

    std::shared_ptr<LayoutItem> superitem() const override { return superview(); }
    std::vector<std::shared_ptr<LayoutItem>> subitems() const override;

    // Drawing: draw() paints the view's content in bounds space above its background, on every render.
    void setNeedsDisplay();
    virtual void draw(gfx::Context& context, const Rect& rect);

    // Touches and hit testing. `point` is in this view's space.
    virtual std::shared_ptr<View> hitTest(Point point, const Event& event);
    virtual bool pointInside(Point point, const Event& event) const;
    // The default passes the touches up to the superview, as a responder chain would.
    virtual void touchesBegan(const std::vector<Touch>& touches, const Event& event);
    virtual void touchesMoved(const std::vector<Touch>& touches, const Event& event);
    virtual void touchesEnded(const std::vector<Touch>& touches, const Event& event);
    virtual void touchesCancelled(const std::vector<Touch>& touches, const Event& event);
    // The mouse wheel over `point` (this view's space) asks to move content by (dx, dy) points of
    // content offset: positive dy toward the bottom, one wheel notch being pointsPerWheelStep.
    // True when the view used it; otherwise the window offers it to the superview.
    static constexpr double pointsPerWheelStep = 40;
    virtual bool scrollWheel(Point point, double dx, double dy);

    // Conversion between the spaces of views of one tree; a null view means the window's space.
    Point convertPointTo(Point point, const View* view) const;
    Point convertPointFrom(Point point, const View* view) const;
    Rect convertRectTo(const Rect& rect, const View* view) const;
    Rect convertRectFrom(const Rect& rect, const View* view) const;

    // Animations of the properties changed inside `animations`: alpha, frame, bounds, center,
    // transform and background colour animate from their old values; the model values are final at
    // once. The completion runs after delay + duration through the run loop, with true.
    static void animate(double duration, double delay, ViewAnimationOptions options,
                        const std::function<void()>& animations,
                        std::function<void(bool finished)> completion = nullptr);
    static void animate(double duration, const std::function<void()>& animations,
                        std::function<void(bool finished)> completion = nullptr);
    // The same with a spring: damping ratio 1 settles without overshoot, lower ratios oscillate;
    // the initial velocity is in units of the whole change per second.
    static void animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                                  ViewAnimationOptions options, const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion = nullptr);
    // Changes the view's content inside `animations` with a transition between its old and new
    // picture (cross dissolve, flips).
    static void transition(const std::shared_ptr<View>& view, double duration, ViewAnimationOptions options,
                           const std::function<void()>& animations,
                           std::function<void(bool finished)> completion = nullptr);
    static void performWithoutAnimation(const std::function<void()>& actions);
    static bool areAnimationsEnabled();

    // Whether the view shows something that moves without model changes (a playing image, a
    // spinner), so the host keeps drawing frames.
    virtual bool isAnimatingContent() const { return false; }

protected:
    // Hooks run after the view moved, with the new window or superview already set.
    virtual void didMoveToWindow() {}
    virtual void didMoveToSuperview() {}
    virtual void willRemoveSubview(const std::shared_ptr<View>&) {}
    virtual void didAddSubview(const std::shared_ptr<View>&) {}
    // A subview was hidden or shown (stack views re-arrange).
    virtual void subviewVisibilityDidChange(View&) {}
    virtual void tintColorDidChange() {}
    // Marks the window for a render pass at the end of this run-loop turn.
    void setNeedsRender() const;
    virtual Window* asWindow() { return nullptr; }
    virtual const Window* asWindow() const { return nullptr; }

private:
    friend class Window;
    friend class ViewController;
    friend class ViewLayoutPass;

    void attachSubview(const std::shared_ptr<View>& view, std::size_t index);
    void frameDidChange();
    void setWindowRecursively(const std::shared_ptr<Window>& window);
    void notifyTintChanged();
    void recordAnimatedChange(const char* property);

    std::shared_ptr<quartz::Layer> layer_;
    std::vector<std::shared_ptr<View>> subviews_;
    // The superview owns this view, and clears the pointer when it ends first.
    View* superview_ = nullptr;
    std::weak_ptr<Window> window_;
    // The controller whose view this is; told around layoutSubviews.
    std::weak_ptr<ViewController> viewController_;
    std::optional<gfx::Color> tintColor_;
    bool userInteractionEnabled_ = true;
    bool needsLayout_ = true;
    Size lastLaidOutSize_{-1, -1};
    int tag_ = 0;
    std::string layoutName_;
};

}  // namespace ui
