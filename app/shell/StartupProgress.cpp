#include "shell/StartupProgress.h"

#include <memory>

#include "data/GlobalStruct.h"
#include "shell/MapViewController.h"
#include "ui/NavigationController.h"
#include "ui/TableView.h"
#include "ui/ViewController.h"

namespace startup {

namespace {

std::shared_ptr<ui::TableView> firstTable(const std::shared_ptr<ui::View>& view) {
    if (auto table = std::dynamic_pointer_cast<ui::TableView>(view)) return table;
    for (const auto& subview : view->subviews())
        if (auto table = firstTable(subview)) return table;
    return nullptr;
}

std::shared_ptr<ui::ViewController> seasonSheet(const ui::Window& window) {
    const auto& root = window.rootViewController();
    return root ? root->presentedViewController() : nullptr;
}

}  // namespace

bool seasonSheetShowsRows(const ui::Window& window) {
    auto sheet = seasonSheet(window);
    if (!sheet || GlobalStruct::races().empty()) return false;
    auto view = sheet->viewIfLoaded();
    if (!view || !view->window()) return false;
    auto table = firstTable(view);
    return table && table->numberOfSections() > 0 && table->numberOfRows(0) > 0 && !table->visibleCells().empty();
}

bool seasonLoadFailed(const ui::Window& window) {
    auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(window.rootViewController());
    if (!navigation || navigation->viewControllers().empty()) return false;
    auto map = std::dynamic_pointer_cast<MapViewController>(navigation->viewControllers().front());
    return map && seasonSheet(window) && !map->isLoading() && GlobalStruct::races().empty();
}

bool isSettled(const ui::Window& window, double time) {
    auto sheet = seasonSheet(window);
    if (sheet && (sheet->isBeingPresented() || sheet->isBeingDismissed())) return false;
    return !window.hasRunningAnimations(time);
}

}  // namespace startup
