#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "ui/Menu.h"
#include "ui/ScrollView.h"

namespace ui {

class Control;
class Window;

// A menu shown as a popup beside the view it was opened from: one row per action (title, optional
// image, a checkmark for actions that are on), scrolling when the rows outgrow the screen. Picking
// a row closes the popup and runs the action's handler; a touch outside, or Escape, closes it with
// nothing picked. From the keyboard the arrows move a highlight and Return or the space bar pick it.
// A popup lives no longer than the view it was opened from: it closes when that view leaves the
// window or the sheet holding it is dismissed. It is the toolkit's menu presenter (ui::presentMenu).
class MenuPopup final : public View {
public:
    static constexpr double rowHeight = 44;
    static constexpr double width = 250;
    static constexpr double margin = 8;

    // Opens a popup over `source`'s window; null when the view is in none.
    static std::shared_ptr<MenuPopup> present(View& source, const std::shared_ptr<Menu>& menu);
    // The popup open in the window, if any (the top-most one).
    static std::shared_ptr<MenuPopup> shown(const Window& window);
    // Closes the window's top-most popup; false when none was open.
    static bool closeTopmost(const Window& window);
    // Closes the window's popups whose source left the window and, given a `root`, those opened from
    // a view inside it.
    static void closeMenusOpenedIn(const Window& window, const View* root);

    const std::shared_ptr<Menu>& menu() const { return menu_; }
    const std::shared_ptr<ScrollView>& list() const { return list_; }
    // The row of `index` in the list's content space.
    Rect rowFrame(std::size_t index) const;
    void close();
    // The view the popup was opened from, while it lives.
    std::shared_ptr<View> source() const { return source_.lock(); }

    // The keyboard's row: none until an arrow moves it on from the checked row, or a menu opened from
    // the keyboard shows its checked row (a step of 0).
    std::optional<std::size_t> highlightedRow() const { return highlighted_; }
    void moveHighlight(int step);
    // Picks the highlighted row as a click would; false when no row is highlighted.
    bool pickHighlighted();

    std::shared_ptr<View> hitTest(Point point, const Event& event) override;
    void touchesEnded(const std::vector<Touch>& touches, const Event& event) override;
    void touchesBegan(const std::vector<Touch>&, const Event&) override {}
    void touchesMoved(const std::vector<Touch>&, const Event&) override {}
    void touchesCancelled(const std::vector<Touch>&, const Event&) override {}

    explicit MenuPopup(std::shared_ptr<Menu> menu);

private:
    void build();
    void place(const Rect& anchor);
    void pick(std::size_t index);
    // The checked row, or else the menu's `openAt`.
    std::optional<std::size_t> openingRow() const;

    std::shared_ptr<Menu> menu_;
    std::weak_ptr<View> source_;
    bool tracksSource_ = false;  // a source owned by no shared_ptr cannot be watched
    std::vector<std::shared_ptr<Control>> rows_;
    std::optional<std::size_t> highlighted_;
    std::shared_ptr<View> panel_ = std::make_shared<View>();
    std::shared_ptr<ScrollView> list_ = std::make_shared<ScrollView>();
};

}  // namespace ui
