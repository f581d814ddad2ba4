#pragma once

#include <memory>

#include "ui/Menu.h"
#include "ui/ScrollView.h"

namespace ui {

class Window;

// A menu shown as a popup beside the view it was opened from: one row per action (title, optional
// image, a checkmark for actions that are on), scrolling when the rows outgrow the screen. Picking
// a row closes the popup and runs the action's handler; a touch outside closes it with nothing
// picked. It is the toolkit's menu presenter (ui::presentMenu).
class MenuPopup final : public View {
public:
    static constexpr double rowHeight = 44;
    static constexpr double width = 250;
    static constexpr double margin = 8;

    // Opens a popup over `source`'s window; null when the view is in none.
    static std::shared_ptr<MenuPopup> present(View& source, const std::shared_ptr<Menu>& menu);
    // The popup open in the window, if any.
    static std::shared_ptr<MenuPopup> shown(const Window& window);

    const std::shared_ptr<Menu>& menu() const { return menu_; }
    const std::shared_ptr<ScrollView>& list() const { return list_; }
    // The row of `index` in the list's content space.
    Rect rowFrame(std::size_t index) const;
    void close();

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

    std::shared_ptr<Menu> menu_;
    std::shared_ptr<View> panel_ = std::make_shared<View>();
    std::shared_ptr<ScrollView> list_ = std::make_shared<ScrollView>();
};

}  // namespace ui
