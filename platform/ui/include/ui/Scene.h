#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace ui {

class Scene;

enum class SceneActivationState { unattached, foregroundActive, foregroundInactive, background };

struct SceneSession {
    static inline const std::string applicationRole = "UIWindowSceneSessionRoleApplication";
    std::string role = applicationRole;
    std::string persistentIdentifier = "scene-1";
};

// What the application delegate answers for a connecting scene.
struct SceneConfiguration {
    std::string name;
    std::string role = SceneSession::applicationRole;
};

// The scene's callbacks, in the order a launch sends them: willConnectTo (which makes the window),
// sceneWillEnterForeground, sceneDidBecomeActive; then, as the app moves, sceneWillResignActive,
// sceneDidEnterBackground and back.
class SceneDelegate {
public:
    virtual ~SceneDelegate() = default;
    virtual void willConnectTo(Scene&, const SceneSession&) {}
    virtual void sceneDidDisconnect(Scene&) {}
    virtual void sceneDidBecomeActive(Scene&) {}
    virtual void sceneWillResignActive(Scene&) {}
    virtual void sceneWillEnterForeground(Scene&) {}
    virtual void sceneDidEnterBackground(Scene&) {}

    // The window the delegate shows; it owns it.
    std::shared_ptr<Window> window;
};

class Scene : public std::enable_shared_from_this<Scene> {
public:
    explicit Scene(SceneSession session, SceneConfiguration configuration)
        : session_(std::move(session)), configuration_(std::move(configuration)) {}
    virtual ~Scene() = default;

    const SceneSession& session() const { return session_; }
    const SceneConfiguration& configuration() const { return configuration_; }
    SceneActivationState activationState() const { return state_; }
    // The scene owns its delegate.
    const std::shared_ptr<SceneDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<SceneDelegate> delegate) { delegate_ = std::move(delegate); }

    // Moves the scene and tells the delegate; the application calls these.
    void activate();
    void resignActive();
    void enterBackground();
    void enterForeground();

private:
    SceneSession session_;
    SceneConfiguration configuration_;
    SceneActivationState state_ = SceneActivationState::unattached;
    std::shared_ptr<SceneDelegate> delegate_;
};

struct StatusBarManager {
    Rect statusBarFrame;
};

// A scene that shows windows on a screen.
class WindowScene final : public Scene {
public:
    WindowScene(SceneSession session, SceneConfiguration configuration, Screen screen)
        : Scene(std::move(session), std::move(configuration)), screen_(screen) {}

    const Screen& screen() const { return screen_; }
    UserInterfaceIdiom userInterfaceIdiom() const { return screen_.idiom; }
    // The windows made visible in this scene, oldest first.
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const;
    // The status bar across the top: as tall as the top safe area (47 points on the phone).
    std::optional<StatusBarManager> statusBarManager() const;

private:
    friend class Window;
    void addWindow(const std::shared_ptr<Window>& window);

    Screen screen_;
    std::vector<std::weak_ptr<Window>> windows_;
};

}  // namespace ui
