#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Image.h"

namespace ui {

class View;

enum class MenuElementState { off, on, mixed };

// One choice of a menu; its handler runs with the action when the user picks it.
struct MenuAction {
    std::string title;
    std::shared_ptr<gfx::Image> image;
    MenuElementState state = MenuElementState::off;
    std::function<void(const MenuAction&)> handler;
};

// A titled list of actions, shown by a button or a context menu.
struct Menu {
    std::string title;
    std::vector<MenuAction> children;
    // The row a long list opens at (and the keyboard starts from) when no action is on.
    std::optional<std::size_t> openAt;
};

// Shows a menu for a view. The toolkit's own is the MenuPopup; a test may install another, and null
// puts the popup back.
using MenuPresenter = std::function<void(View& source, const std::shared_ptr<Menu>& menu)>;
void setMenuPresenter(MenuPresenter presenter);
void presentMenu(View& source, const std::shared_ptr<Menu>& menu);

}  // namespace ui
