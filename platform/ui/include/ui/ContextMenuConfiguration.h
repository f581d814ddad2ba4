#pragma once

#include <any>
#include <functional>
#include <memory>
#include <vector>

#include "ui/Menu.h"

namespace ui {

class View;

// What a context menu shows: an identifier the owner recognises it by (a table puts the row's index
// path there), an optional preview (none: the view the menu is for previews itself) and the actions.
struct ContextMenuConfiguration {
    std::any identifier;
    // Screens hand their preview controller's view here.
    std::function<std::shared_ptr<View>()> previewProvider;
    // Given the system's suggested actions (none here), the menu to show; none shows an empty menu.
    std::function<std::shared_ptr<Menu>(const std::vector<MenuAction>& suggested)> actionProvider;

    std::shared_ptr<Menu> makeMenu() const;
};

// Shows a context menu: the view it is for (and previews when the configuration has no preview),
// the configuration, and the menu its action provider made. Installed by whoever draws context
// menus; without one, the menu goes to the plain menu presenter (setMenuPresenter).
using ContextMenuPresenter =
    std::function<void(View& source, const ContextMenuConfiguration& configuration, const std::shared_ptr<Menu>& menu)>;
void setContextMenuPresenter(ContextMenuPresenter presenter);
void presentContextMenu(View& source, const ContextMenuConfiguration& configuration);

}  // namespace ui
