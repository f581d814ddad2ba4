#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"

#include "ui/IndexPath.h"
#include "ui/View.h"

namespace ui {

class Control;
class TableView;
class ViewController;
class WindowScene;

enum class UserInterfaceIdiom { phone, pad };

// The display a window is on: its size in points, its pixels per point and the kind of device.
struct Screen {
    Rect bounds{0, 0, 390, 844};
    double scale = 2;
    UserInterfaceIdiom idiom = UserInterfaceIdiom::phone;

    // The key window's screen, or a 390 x 844 phone at scale 2 without one.
    static Screen main();
};

// The root of a view tree, placed on a screen. It coalesces the tree's layout and drawing requests
// into one render pass at the end of the run-loop turn, which whoever shows the window (the host)
// receives through its render handler.
class Window : public View {
public:
    explicit Window(Screen screen = {});
    // A window on the scene's screen; it joins the scene's windows when it is made visible.
    explicit Window(const std::shared_ptr<WindowScene>& scene);

    std::shared_ptr<Window> sharedWindow() { return std::static_pointer_cast<Window>(shared()); }

    const Screen& screen() const { return screen_; }
    void setScreen(const Screen& screen);
    // Status bar at the top, home indicator at the bottom: 47 and 34 on a 390 x 844 phone.
    EdgeInsets windowSafeAreaInsets() const { return safeAreaInsets_; }
    void setWindowSafeAreaInsets(const EdgeInsets& insets);

    std::shared_ptr<WindowScene> windowScene() const { return windowScene_.lock(); }

    void makeKeyAndVisible();
    bool isKeyWindow() const;
    static std::shared_ptr<Window> keyWindow();

    // The controller whose view fills the window. Its view loads when the window is made visible
    // (or at once on a visible window) and appears then.
    const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
    void setRootViewController(std::shared_ptr<ViewController> controller);
    bool isVisible() const { return visible_; }
    // Adds a view on top of everything and keeps it the window's size (presentations, menus).
    void addFillingSubview(const std::shared_ptr<View>& view);

    // Asks for one render pass at the end of this run-loop turn; further requests in the same turn
    // join it.
    void setNeedsRender();
    bool needsRender() const { return needsRender_; }
    // Lays out and calls the render handler now if a pass is pending.
    void renderIfNeeded();
    // Called by each render pass after layout, with the window laid out.
    void setRenderHandler(std::function<void(Window&)> handler) { renderHandler_ = std::move(handler); }
    std::size_t renderPassCount() const { return renderPasses_; }

    // Sees every touch before the views do (gesture recognisers plug in here); true keeps the touch
    // from the views.
    using TouchFilter = std::function<bool(const Touch&, const Event&)>;
    void setTouchFilter(TouchFilter filter) { touchFilter_ = std::move(filter); }
    // Delivers one touch phase: hit testing on `began`, then to the view the touch began in.
    void sendTouch(Touch& touch, const Event& event);
    // Offers a wheel motion at a window point to the view there, then to its ancestors, until one
    // takes it. True when one did.
    bool sendScrollWheel(Point point, double dx, double dy, const Event& event);
    // A desktop keyboard's keys. While a menu is open they are its own: the rows move its highlight,
    // `open` and `activate` pick the highlighted row, `cancel` closes it (the top-most only). Else the
    // list keys act on the frontmost scroll view: the first one shown (not hidden, not transparent)
    // in the top-most presented controller's view. Lines are a wheel notch (40 points), pages the
    // visible height less a line; a table's selection moves row by row, kept in view, and `open`
    // tells its delegate as a tap would. `nextControl` and `previousControl` move the focus round
    // the enabled controls of that controller's view in reading order (the buttons inside a
    // table's rows in row order, rows scrolled in as needed); the focused one is ringed, and `open`
    // and `activate` press it. True when something took the key.
    enum class KeyCommand {
        lineUp, lineDown, pageUp, pageDown, home, end, nextRow, previousRow, open,
        nextControl, previousControl, activate, cancel
    };
    bool sendKeyCommand(KeyCommand command);
    // The control the keyboard is on, while it can take a press: shown, enabled and in the top-most
    // presented controller's view, or reachable beside it on the screen beneath a presentation that
    // stays (modal in presentation, as the map's season sheet). A touch or a row chosen by the keys
    // takes the focus away.
    std::shared_ptr<Control> focusedControl() const;
    void setFocusedControl(const std::shared_ptr<Control>& control);
    // Where the keyboard is: the focused control, or else the focused row of the frontmost list. A
    // presentation keeps the place it was opened from and puts the keyboard back there when it ends
    // (`restoreKeyboardPlace`), unless the keyboard is on something again by then or the place left.
    struct KeyboardPlace {
        std::weak_ptr<Control> control;
        std::weak_ptr<TableView> table;
        std::optional<IndexPath> row;
    };
    KeyboardPlace keyboardPlace();
    // Where a presentation begun now was opened from: while a tap is delivered, the control or list
    // row it ends on (a sheet opened with the pointer gives the keyboard back there too); else the
    // keyboard's place.
    KeyboardPlace placeOpenedFrom();
    void restoreKeyboardPlace(const KeyboardPlace& place);

    void layoutSubviews() override;

    // The tree drawn as it stands at uptime `time` (animations included, finished ones dropped after),
    // at the screen's scale, over `background` (transparent without one). Empty if no context.
    gfx::Bitmap drawFrame(double time, const std::optional<gfx::Color>& background);

    // Whether any layer animation, playing image or spinner in the tree still moves at uptime `time`.
    bool hasRunningAnimations(double time) const;

private:
    Window* asWindow() override { return this; }
    const Window* asWindow() const override { return this; }

    Screen screen_;
    EdgeInsets safeAreaInsets_;
    void installRootView();
    // Whether the keyboard may rest on `control` (focusedControl's rule).
    bool canFocus(const Control& control) const;
    // Puts the focus ring round the focused control, or hides it (each render pass).
    void placeFocusRing();
    // The control a touch on `view` presses, or else the list row it is in; none when neither.
    static std::optional<KeyboardPlace> placeOfTap(const std::shared_ptr<View>& view);

    std::weak_ptr<Control> focused_;
    std::shared_ptr<View> focusRing_;
    // The control or row a tap ends on, while its end is delivered.
    std::optional<KeyboardPlace> tapped_;

    std::shared_ptr<ViewController> rootViewController_;
    std::vector<std::weak_ptr<View>> fillingSubviews_;
    std::weak_ptr<WindowScene> windowScene_;
    bool visible_ = false;
    bool needsRender_ = false;
    bool renderScheduled_ = false;
    std::size_t renderPasses_ = 0;
    std::function<void(Window&)> renderHandler_;
    TouchFilter touchFilter_;
};

// The insets of a phone screen of that size: 47 / 34 points for the 390 x 844 class, none otherwise.
EdgeInsets defaultSafeAreaInsets(Size screenSize);

}  // namespace ui
