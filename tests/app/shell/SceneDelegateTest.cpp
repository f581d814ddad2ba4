#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "InProcessHosts.h"
#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "dispatch/RunLoop.h"
#include "foundation/NotificationCenter.h"
#include "net/ProtocolRegistry.h"
#include "shell/AppDelegate.h"
#include "shell/AppNotifications.h"
#include "shell/MapViewController.h"
#include "shell/SceneDelegate.h"
#include "shell/SloppySwipingNav.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

constexpr const char* resultsHost = "results.scene.test";
constexpr const char* liveHost = "live.scene.test";

// The results API and the live-timing tree, unreachable (503) until `online` is set.
class Services {
public:
    std::atomic<bool> online = false;

private:
    const std::string season =
        R"({"MRData":{"RaceTable":{"Races":[{"season":"2023","round":"1","url":"","raceName":"Bahrain Grand Prix",)"
        R"("Circuit":{"circuitId":"bahrain","url":"","circuitName":"Bahrain International Circuit","Location":)"
        R"({"lat":"26.0325","long":"50.5106","locality":"Sakhir","country":"Bahrain"}},"date":"2023-03-05","time":"15:00:00Z"}]}}})";
    const std::string index = R"({"Year":2023,"Meetings":[]})";
    InProcessHosts hosts_{ServiceHosts{.resultsAPI = resultsHost, .liveTiming = liveHost, .polls = ""},
                          [this](const net::Request& request) {
                              std::string path = request.url->path();
                              std::string body = path == "/api/f1/current.json"     ? season
                                                 : path == "/static/2023/Index.json" ? index
                                                                                      : "";
                              int status = online && !body.empty() ? 200 : 503;
                              return InProcessHosts::answer(request, status, status == 200 ? body : "");
                          }};
};

class SceneLifeCycle : public ::testing::Test {
protected:
    void SetUp() override {
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
        token = foundation::NotificationCenter::defaultCenter().addObserver(
            notifications::reloadWeatherAnimations, [this](const foundation::Notification&) { ++weatherReloads; });
    }
    void TearDown() override {
        // The application keeps its scene and window: let the map and its sheet go now, so they do
        // not answer later tests' notifications.
        std::weak_ptr<MapViewController> launched = map();
        // Its sheet's reads hold the sheet until they end: one still under way would reach the next
        // test's hosts.
        std::weak_ptr<ui::ViewController> sheet = launched.expired() ? nullptr : launched.lock()->seasonSheet();
        if (host.window()) host.window()->setRootViewController(nullptr);
        host.renderIfNeeded();
        dispatch::RunLoop::main()->runUntil([&] { return launched.expired() && sheet.expired(); }, 30);
        EXPECT_TRUE(launched.expired()) << "the launched map outlived its test";
        EXPECT_TRUE(sheet.expired()) << "the season sheet's reads outlived the test";
        // Nor does the scene's window stay the key window: a window made key and dropped leaves none.
        std::make_shared<ui::Window>()->makeKeyAndVisible();
        foundation::NotificationCenter::defaultCenter().removeObserver(token);
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
    }

    void launch() {
        ui::Application::shared().launch([] { return std::make_shared<AppDelegate>(); },
                                         [] { return std::make_shared<SceneDelegate>(); }, host);
    }
    std::shared_ptr<SloppySwipingNav> navigation() const {
        return std::dynamic_pointer_cast<SloppySwipingNav>(host.window()->rootViewController());
    }
    std::shared_ptr<MapViewController> map() const {
        auto nav = navigation();
        return nav && !nav->viewControllers().empty()
                   ? std::dynamic_pointer_cast<MapViewController>(nav->viewControllers().front())
                   : nullptr;
    }
    // Turns the loop (real time: the loads run on other threads) until `done`, for at most a minute.
    bool turnUntil(const std::function<bool()>& done) {
        auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > give_up) return false;
            host.renderIfNeeded();
            dispatch::RunLoop::main()->runUntil(done, 0.05);
        }
        host.renderIfNeeded();
        return true;
    }

    Services services;
    ui::HeadlessHost host;
    int weatherReloads = 0;
    foundation::ObserverToken token;
};

TEST_F(SceneLifeCycle, theSceneShowsTheMapAloneInASwipingNavigationUnderASystemBlueTint) {
    launch();
    const auto& application = ui::Application::shared();
    ASSERT_EQ(application.connectedScenes().size(), 1u);
    EXPECT_EQ(application.connectedScenes().front()->configuration().name, "Default Configuration");
    EXPECT_EQ(application.connectedScenes().front()->configuration().role, ui::SceneSession::applicationRole);
    EXPECT_EQ(host.window(), application.connectedScenes().front()->delegate()->window);
    EXPECT_TRUE(host.window()->isKeyWindow());
    EXPECT_EQ(host.window()->tintColor(), gfx::Color::systemBlue());
    ASSERT_TRUE(navigation());
    EXPECT_EQ(navigation()->viewControllers().size(), 1u);
    ASSERT_TRUE(map());
    EXPECT_TRUE(map()->isViewLoaded()) << "the map starts its load as the window shows it";
}

TEST_F(SceneLifeCycle, eachActivationPostsReloadWeatherAnimationsOnceAndLeavingPostsNothing) {
    launch();
    EXPECT_EQ(weatherReloads, 1);
    ui::Application::shared().enterBackground();
    EXPECT_EQ(weatherReloads, 1);
    ui::Application::shared().enterForeground();
    EXPECT_EQ(weatherReloads, 2);
    ui::Application::shared().resignActive();
    EXPECT_EQ(weatherReloads, 2);
    ui::Application::shared().becomeActive();
    EXPECT_EQ(weatherReloads, 3);
}

TEST_F(SceneLifeCycle, aSeasonThatFailedToLoadIsLoadedAgainOnTheNextActivationAndOnlyThen) {
    launch();
    ASSERT_TRUE(turnUntil([&] { return map()->seasonSheet() && !map()->isLoading(); }))
        << "the failed first load still presents the sheet";
    EXPECT_TRUE(GlobalStruct::races().empty());

    services.online = true;
    ui::Application::shared().enterBackground();
    EXPECT_FALSE(map()->isLoading()) << "going to the background asks for nothing";
    ui::Application::shared().enterForeground();
    EXPECT_TRUE(map()->isLoading());
    ASSERT_TRUE(turnUntil([&] { return !map()->isLoading(); }));
    ASSERT_EQ(GlobalStruct::races().size(), 1u);
    EXPECT_EQ(GlobalStruct::races().front().raceName, "Bahrain Grand Prix");

    ui::Application::shared().enterBackground();
    ui::Application::shared().enterForeground();
    EXPECT_FALSE(map()->isLoading()) << "a shown season is not loaded again";
}

TEST(SceneDelegateConnection, aSceneWithoutWindowsIsLeftEmpty) {
    SceneDelegate delegate;
    ui::Scene scene(ui::SceneSession{}, ui::SceneConfiguration{"Default Configuration"});
    delegate.willConnectTo(scene, scene.session());
    EXPECT_EQ(delegate.window, nullptr);
}

TEST(AppDelegateLaunch, launchingSucceedsWithNothingElseDone) {
    AppDelegate delegate;
    auto& application = ui::Application::shared();
    EXPECT_TRUE(delegate.didFinishLaunching(application));
    ui::SceneSession session{.role = "a role"};
    auto configuration = delegate.configurationForConnecting(application, session);
    EXPECT_EQ(configuration.name, "Default Configuration");
    EXPECT_EQ(configuration.role, "a role");
}

}  // namespace
