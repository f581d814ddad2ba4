#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "ui/Application.h"
#include "ui/NavigationController.h"

namespace ui {
namespace {

using Log = std::shared_ptr<std::vector<std::string>>;

struct RecordingAppDelegate : ApplicationDelegate {
    Log log;
    explicit RecordingAppDelegate(Log log) : log(std::move(log)) {}
    bool didFinishLaunching(Application&) override {
        log->push_back("app.didFinishLaunching");
        return true;
    }
    SceneConfiguration configurationForConnecting(Application& application, const SceneSession& session) override {
        log->push_back("app.configurationForConnecting");
        return ApplicationDelegate::configurationForConnecting(application, session);
    }
    void didReceiveMemoryWarning(Application&) override { log->push_back("app.memoryWarning"); }
    void willTerminate(Application&) override { log->push_back("app.willTerminate"); }
};

// Records, as it loads, whether its window was already key.
struct MapController : ViewController {
    Log log;
    explicit MapController(Log log) : log(std::move(log)) {}
    void viewDidLoad() override {
        auto key = Window::keyWindow();
        log->push_back(std::string("map.load, key window ") + (key && key->rootViewController() ? "set" : "unset"));
    }
};

struct RecordingSceneDelegate : SceneDelegate {
    Log log;
    explicit RecordingSceneDelegate(Log log) : log(std::move(log)) {}
    void willConnectTo(Scene& scene, const SceneSession&) override {
        log->push_back("scene.willConnectTo " + scene.configuration().name);
        auto windowScene = std::static_pointer_cast<WindowScene>(scene.shared_from_this());
        window = std::make_shared<Window>(windowScene);
        window->setRootViewController(std::make_shared<NavigationController>(std::make_shared<MapController>(log)));
        window->makeKeyAndVisible();
    }
    void sceneWillEnterForeground(Scene&) override { log->push_back("scene.willEnterForeground"); }
    void sceneDidBecomeActive(Scene&) override { log->push_back("scene.didBecomeActive"); }
    void sceneWillResignActive(Scene&) override { log->push_back("scene.willResignActive"); }
    void sceneDidEnterBackground(Scene&) override { log->push_back("scene.didEnterBackground"); }
};

class Launch : public ::testing::Test, protected testing::ControllerTest {
protected:
    void SetUp() override {
        for (const char* name : {"UIApplicationDidBecomeActiveNotification", "UIApplicationDidEnterBackgroundNotification",
                                 "UIApplicationDidReceiveMemoryWarningNotification",
                                 "UIApplicationWillTerminateNotification"})
            tokens.push_back(foundation::NotificationCenter::defaultCenter().addObserver(
                foundation::Notification::Name{name},
                [this](const foundation::Notification& note) { log->push_back("posted " + note.name.rawValue); }));
        Application::shared().launch([this] { return std::make_shared<RecordingAppDelegate>(log); },
                                     [this] { return std::make_shared<RecordingSceneDelegate>(log); }, host);
    }
    void TearDown() override {
        for (auto token : tokens) foundation::NotificationCenter::defaultCenter().removeObserver(token);
    }

    std::vector<foundation::ObserverToken> tokens;
};

TEST_F(Launch, delegatesAreCalledInOrderAndTheWindowIsKeyBeforeTheRootViewLoads) {
    EXPECT_EQ(*log, (std::vector<std::string>{"app.didFinishLaunching", "app.configurationForConnecting",
                                              "scene.willConnectTo Default Configuration",
                                              "map.load, key window set", "scene.willEnterForeground",
                                              "scene.didBecomeActive",
                                              "posted UIApplicationDidBecomeActiveNotification"}));
    auto scene = std::dynamic_pointer_cast<WindowScene>(Application::shared().connectedScenes().at(0));
    ASSERT_TRUE(scene);
    EXPECT_EQ(host.window(), scene->keyWindow());
    EXPECT_EQ(Application::shared().keyWindow(), host.window());
    EXPECT_DOUBLE_EQ(scene->statusBarManager()->statusBarFrame.size.height, 47);
    EXPECT_EQ(scene->activationState(), SceneActivationState::foregroundActive);
    host.renderIfNeeded();
    EXPECT_EQ(host.pixel({10, 10}).has_value(), true);
}

TEST_F(Launch, backgroundForegroundMemoryWarningsAndTerminationReachDelegatesAndObservers) {
    log->clear();
    Application::shared().enterBackground();
    Application::shared().enterBackground();  // already there: nothing more
    EXPECT_EQ(*log, (std::vector<std::string>{"scene.willResignActive", "scene.didEnterBackground",
                                              "posted UIApplicationDidEnterBackgroundNotification"}));
    log->clear();
    Application::shared().enterForeground();
    EXPECT_EQ(*log, (std::vector<std::string>{"scene.willEnterForeground", "scene.didBecomeActive",
                                              "posted UIApplicationDidBecomeActiveNotification"}));
    log->clear();
    Application::shared().receiveMemoryWarning();
    Application::shared().terminate();
    EXPECT_EQ(*log, (std::vector<std::string>{"app.memoryWarning", "posted UIApplicationDidReceiveMemoryWarningNotification",
                                              "app.willTerminate", "posted UIApplicationWillTerminateNotification"}));
}

TEST_F(Launch, losingFocusOnlyResignsAndTheBackgroundAfterItDoesNotResignTwice) {
    log->clear();
    Application::shared().resignActive();
    Application::shared().resignActive();
    EXPECT_EQ(Application::shared().applicationState(), ApplicationState::inactive);
    Application::shared().becomeActive();
    EXPECT_EQ(*log, (std::vector<std::string>{"scene.willResignActive", "scene.didBecomeActive",
                                              "posted UIApplicationDidBecomeActiveNotification"}));
    log->clear();
    Application::shared().resignActive();
    Application::shared().enterBackground();
    Application::shared().becomeActive();  // only the foreground comes back from the background
    EXPECT_EQ(*log, (std::vector<std::string>{"scene.willResignActive", "scene.didEnterBackground",
                                              "posted UIApplicationDidEnterBackgroundNotification"}));
    EXPECT_EQ(Application::shared().applicationState(), ApplicationState::background);
}

}  // namespace
}  // namespace ui
