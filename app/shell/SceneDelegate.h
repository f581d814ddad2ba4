#pragma once

#include <memory>

#include "ui/Scene.h"

class MapViewController;

// Fills the scene's window with the navigation controller holding the home map, tinted system blue,
// and announces each activation so the weather animations restart. An activation also gives a
// season that failed to load another try.
class SceneDelegate final : public ui::SceneDelegate {
public:
    void willConnectTo(ui::Scene& scene, const ui::SceneSession& session) override;
    void sceneDidDisconnect(ui::Scene& scene) override;
    void sceneDidBecomeActive(ui::Scene& scene) override;
    void sceneWillResignActive(ui::Scene& scene) override;
    void sceneWillEnterForeground(ui::Scene& scene) override;
    void sceneDidEnterBackground(ui::Scene& scene) override;

private:
    std::weak_ptr<MapViewController> map_;
};
