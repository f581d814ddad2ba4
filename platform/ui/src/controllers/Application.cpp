#include "ui/Application.h"
#include "ui/MemoryPressureMonitor.h"

namespace ui {

void Scene::activate() {
    if (state_ == SceneActivationState::foregroundActive) return;
    state_ = SceneActivationState::foregroundActive;
    if (delegate_) delegate_->sceneDidBecomeActive(*this);
}

void Scene::resignActive() {
    if (state_ != SceneActivationState::foregroundActive) return;
    state_ = SceneActivationState::foregroundInactive;
    if (delegate_) delegate_->sceneWillResignActive(*this);
}

void Scene::enterBackground() {
    resignActive();
    if (state_ == SceneActivationState::background) return;
    state_ = SceneActivationState::background;
    if (delegate_) delegate_->sceneDidEnterBackground(*this);
}

void Scene::enterForeground() {
    if (state_ != SceneActivationState::background && state_ != SceneActivationState::unattached) return;
    state_ = SceneActivationState::foregroundInactive;
    if (delegate_) delegate_->sceneWillEnterForeground(*this);
}

std::vector<std::shared_ptr<Window>> WindowScene::windows() const {
    std::vector<std::shared_ptr<Window>> shown;
    for (const auto& held : windows_)
        if (auto window = held.lock()) shown.push_back(window);
    return shown;
}

std::shared_ptr<Window> WindowScene::keyWindow() const {
    for (const auto& window : windows())
        if (window->isKeyWindow()) return window;
    return nullptr;
}

std::optional<StatusBarManager> WindowScene::statusBarManager() const {
    double height = defaultSafeAreaInsets(screen_.bounds.size).top;
    if (auto window = keyWindow()) height = window->windowSafeAreaInsets().top;
    return StatusBarManager{{0, 0, screen_.bounds.size.width, height}};
}

void WindowScene::addWindow(const std::shared_ptr<Window>& window) {
    std::erase_if(windows_, [](const std::weak_ptr<Window>& held) { return held.expired(); });
    for (const auto& held : windows_)
        if (held.lock() == window) return;
    windows_.push_back(window);
}

Application& Application::shared() {
    static Application application;
    return application;
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> all;
    for (const auto& scene : scenes_)
        if (auto windowScene = std::dynamic_pointer_cast<WindowScene>(scene))
            for (auto& window : windowScene->windows()) all.push_back(std::move(window));
    return all;
}

void Application::post(const foundation::Notification::Name& name) {
    foundation::NotificationCenter::defaultCenter().post(name);
}

void Application::launch(const AppDelegateFactory& appDelegate, const SceneDelegateFactory& sceneDelegate,
                         ApplicationHost& host) {
    scenes_.clear();
    host_ = &host;
    state_ = ApplicationState::inactive;
    delegate_ = appDelegate ? appDelegate() : std::make_shared<ApplicationDelegate>();
    delegate_->didFinishLaunching(*this);
    post(didFinishLaunchingNotification);

    SceneSession session;
    SceneConfiguration configuration = delegate_->configurationForConnecting(*this, session);
    auto scene = std::make_shared<WindowScene>(session, configuration, host.screen());
    scene->setDelegate(sceneDelegate ? sceneDelegate() : std::make_shared<SceneDelegate>());
    scenes_.push_back(scene);
    scene->delegate()->willConnectTo(*scene, session);

    std::shared_ptr<Window> window = scene->keyWindow();
    if (!window) window = scene->delegate()->window;
    if (window) host.show(window);

    scene->enterForeground();
    post(willEnterForegroundNotification);
    scene->activate();
    state_ = ApplicationState::active;
    delegate_->didBecomeActive(*this);
    post(didBecomeActiveNotification);
}

void Application::resignActive() {
    if (state_ != ApplicationState::active) return;
    for (const auto& scene : scenes_) scene->resignActive();
    state_ = ApplicationState::inactive;
    if (delegate_) delegate_->willResignActive(*this);
    post(willResignActiveNotification);
}

void Application::becomeActive() {
    if (state_ != ApplicationState::inactive) return;
    for (const auto& scene : scenes_) scene->activate();
    state_ = ApplicationState::active;
    if (delegate_) delegate_->didBecomeActive(*this);
    post(didBecomeActiveNotification);
}

void Application::enterBackground() {
    if (state_ == ApplicationState::background) return;
    resignActive();
    for (const auto& scene : scenes_) scene->enterBackground();
    state_ = ApplicationState::background;
    if (delegate_) delegate_->didEnterBackground(*this);
    post(didEnterBackgroundNotification);
}

void Application::enterForeground() {
    if (state_ != ApplicationState::background) return;
    for (const auto& scene : scenes_) scene->enterForeground();
    state_ = ApplicationState::inactive;
    if (delegate_) delegate_->willEnterForeground(*this);
    post(willEnterForegroundNotification);
    becomeActive();
}

void Application::receiveMemoryWarning() {
    if (delegate_) delegate_->didReceiveMemoryWarning(*this);
    post(didReceiveMemoryWarningNotification);
}

void Application::terminate() {
    if (delegate_) delegate_->willTerminate(*this);
    post(willTerminateNotification);
    if (host_) host_->stop();
}

int applicationMain(const Application::AppDelegateFactory& appDelegate,
                    const Application::SceneDelegateFactory& sceneDelegate, ApplicationHost& host) {
    Application::shared().launch(appDelegate, sceneDelegate, host);
    MemoryPressureMonitor memoryPressure;
    memoryPressure.start();
    host.run();
    return 0;
}

}  // namespace ui
