#include "shell/SceneDelegate.h"

#include "foundation/NotificationCenter.h"
#include "gfx/Color.h"
#include "shell/AppNotifications.h"
#include "shell/MapViewController.h"
#include "shell/SeasonViewController.h"
#include "shell/SloppySwipingNav.h"

void SceneDelegate::willConnectTo(ui::Scene& scene, const ui::SceneSession&) {
    auto* windowScene = dynamic_cast<ui::WindowScene*>(&scene);
    if (!windowScene) return;
    // No scene configuration hands us a window, so the delegate makes the scene's and shows it.
    if (!window) {
        window = std::make_shared<ui::Window>(std::static_pointer_cast<ui::WindowScene>(windowScene->shared_from_this()));
    }
    window->setTintColor(gfx::Color::systemBlue());
    auto map = std::make_shared<MapViewController>();
    map->setSeasonSheetFactory([] { return std::make_shared<SeasonViewController>(); });
    map_ = map;
    window->setRootViewController(std::make_shared<SloppySwipingNav>(map));
    window->makeKeyAndVisible();
}

void SceneDelegate::sceneDidDisconnect(ui::Scene&) {}

void SceneDelegate::sceneDidBecomeActive(ui::Scene&) {
    foundation::NotificationCenter::defaultCenter().post(notifications::reloadWeatherAnimations);
    // A first load that failed (offline at start) is tried again when the user comes back; the map
    // ignores this while a season is shown or a load runs.
    if (auto map = map_.lock()) map->retryIfSeasonMissing();
}

void SceneDelegate::sceneWillResignActive(ui::Scene&) {}

void SceneDelegate::sceneWillEnterForeground(ui::Scene&) {}

void SceneDelegate::sceneDidEnterBackground(ui::Scene&) {}
