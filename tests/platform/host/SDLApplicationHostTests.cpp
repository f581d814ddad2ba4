#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <sstream>

#include "ScriptedRun.h"
#include "SyntheticEvents.h"
#include "VirtualDisplay.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "gfx/Image.h"
#include "host/SDLApplicationHost.h"
#include "ui/Button.h"
#include "ui/SheetPresentationController.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/ViewController.h"

namespace {

using Log = std::shared_ptr<std::vector<std::string>>;
using namespace hosttest;

constexpr const char* windowTitle = "application-host-tests";
constexpr gfx::Color rootColour = gfx::Color::rgb(32, 96, 192);
constexpr gfx::Color sheetColour = gfx::Color::rgb(240, 160, 32);
constexpr ui::Rect buttonFrame{20, 60, 160, 44};
constexpr ui::Rect tableFrame{0, 110, 390, 160};
// Above a medium sheet, clear of the table and the sheet's shadow; well inside the sheet.
constexpr ui::Point aboveTheSheet{300, 300};
constexpr ui::Point insideTheSheet{195, 650};
constexpr ui::Point nearTheBottom{40, 820};

struct Rows : ui::TableViewDataSource {
    int numberOfRows(ui::TableView&, int) override { return 50; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override {
        auto cell = table.dequeueReusableCell("Row", indexPath);
        cell->textLabel()->setText("row " + std::to_string(indexPath.row));
        return cell;
    }
};

// The app under test: a button that presents a coloured page sheet at the medium detent, and a table.
class RootController : public ui::ViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(rootColour);
        button->setFrame(buttonFrame);
        button->setTitle("Show the sheet", ui::ControlState::normal);
        button->addAction([this](ui::Control&) { presentSheet(); }, ui::ControlEvent::touchUpInside);
        table->setFrame(tableFrame);
        table->setRowHeight(44);
        table->registerClass<ui::TableViewCell>("Row");
        table->setDataSource(rows);
        view()->addSubview(button);
        view()->addSubview(table);
    }

    void presentSheet() {
        auto sheet = std::make_shared<ui::ViewController>();
        sheet->view()->setBackgroundColor(sheetColour);
        sheet->setModalPresentationStyle(ui::ModalPresentationStyle::pageSheet);
        auto presentation = sheet->sheetPresentationController();
        presentation->setDetents({ui::SheetDetent::medium()});
        // Undimmed, so the root keeps its exact colour above the sheet.
        presentation->setLargestUndimmedDetentIdentifier(ui::SheetDetent::mediumIdentifier);
        present(sheet, true, [this] { ++presentationsCompleted; });
    }

    std::shared_ptr<ui::Button> button = std::make_shared<ui::Button>(ui::ButtonType::system);
    std::shared_ptr<ui::TableView> table = std::make_shared<ui::TableView>();
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    int presentationsCompleted = 0;
};

struct AppDelegate : ui::ApplicationDelegate {
    Log log;
    explicit AppDelegate(Log log) : log(std::move(log)) {}
    void willResignActive(ui::Application&) override { log->push_back("app.willResignActive"); }
    void didBecomeActive(ui::Application&) override { log->push_back("app.didBecomeActive"); }
    void willTerminate(ui::Application&) override { log->push_back("app.willTerminate"); }
};

struct SceneDelegate : ui::SceneDelegate {
    Log log;
    std::shared_ptr<RootController> root;
    SceneDelegate(Log log, std::shared_ptr<RootController> root) : log(std::move(log)), root(std::move(root)) {}
    void willConnectTo(ui::Scene& scene, const ui::SceneSession&) override {
        window = std::make_shared<ui::Window>(std::static_pointer_cast<ui::WindowScene>(scene.shared_from_this()));
        window->setRootViewController(root);
        window->makeKeyAndVisible();
    }
    void sceneWillResignActive(ui::Scene&) override { log->push_back("scene.willResignActive"); }
    void sceneDidEnterBackground(ui::Scene&) override { log->push_back("scene.didEnterBackground"); }
    void sceneWillEnterForeground(ui::Scene&) override { log->push_back("scene.willEnterForeground"); }
    void sceneDidBecomeActive(ui::Scene&) override { log->push_back("scene.didBecomeActive"); }
};

ui::Point centre(const ui::Rect& rect) { return {rect.midX(), rect.midY()}; }

// Window pixels of a point: the tests open the window unzoomed, two pixels to the point.
int pixel(double points) { return static_cast<int>(points * 2); }

void click(ui::Point point) {
    for (auto type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) pushMouseButton(type, SDL_BUTTON_LEFT, pixel(point.x), pixel(point.y));
}

void wheelTowardTheUser(ui::Point point) {
    push(SDL_MOUSEWHEEL, [&](SDL_Event& event) {
        event.wheel.y = -1;
        event.wheel.preciseY = -1;
        event.wheel.mouseX = pixel(point.x);
        event.wheel.mouseY = pixel(point.y);
    });
}

gfx::Color colourAt(const gfx::Bitmap& shot, ui::Point point) {
    return gfx::Color::fromPremultipliedPixel(shot.pixel(pixel(point.x), pixel(point.y)));
}

bool sameColour(gfx::Color a, gfx::Color b) {
    return std::abs(a.red - b.red) < 0.02 && std::abs(a.green - b.green) < 0.02 && std::abs(a.blue - b.blue) < 0.02;
}

std::string describe(gfx::Color colour) {
    std::ostringstream text;
    text << "rgb(" << std::lround(colour.red * 255) << ", " << std::lround(colour.green * 255) << ", "
         << std::lround(colour.blue * 255) << ")";
    return text.str();
}

#define EXPECT_COLOUR(actual, expected) EXPECT_TRUE(sameColour(actual, expected)) << describe(actual)

class SDLApplicationHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = hosttest::prepareDisplay(); !reason.empty()) GTEST_SKIP() << reason;
        host::WindowOptions options;
        options.title = windowTitle;
        auto opened = host::SDLApplicationHost::open(options);
        ASSERT_TRUE(opened) << opened.error();
        host = std::move(*opened);
    }

    int runApplication() {
        return ui::applicationMain([this] { return std::make_shared<AppDelegate>(log); },
                                   [this] { return std::make_shared<SceneDelegate>(log, root); }, *host);
    }

    bool showsTheRoot() const { return sameColour(colourAt(host->windowHost()->screenshot(), aboveTheSheet), rootColour); }

    Log log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<RootController> root = std::make_shared<RootController>();
    std::unique_ptr<host::SDLApplicationHost> host;
};

TEST_F(SDLApplicationHostTest, clickPresentsASheetTheWindowShowsBelowTheRootAndEscapeDismissesIt) {
    gfx::Bitmap withSheet;
    auto script = Script::start({
        {"the root on screen", [&] { return showsTheRoot(); }, [&] { click(centre(buttonFrame)); }},
        {"the sheet settled",
         [&] {
             return root->presentationsCompleted == 1 &&
                    !host->window()->hasRunningAnimations(foundation::Clock::current()->uptime());
         },
         nullptr},
        {"the sheet on screen", [] { return true; },
         [&] {
             withSheet = host->windowHost()->screenshot();
             pushKey(SDLK_ESCAPE);
         }},
        {"the sheet dismissed", [&] { return !root->presentedViewController(); },
         [] { EXPECT_TRUE(hosttest::requestClose(windowTitle)); }},
    });

    EXPECT_EQ(runApplication(), 0);

    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    ASSERT_EQ((std::pair{withSheet.width, withSheet.height}), (std::pair{780, 1688}));
    EXPECT_COLOUR(colourAt(withSheet, aboveTheSheet), rootColour);
    EXPECT_COLOUR(colourAt(withSheet, insideTheSheet), sheetColour);
    EXPECT_COLOUR(colourAt(withSheet, nearTheBottom), sheetColour);
    EXPECT_TRUE(host->windowHost()->isTerminating());
    EXPECT_EQ(log->back(), "app.willTerminate");
}

TEST_F(SDLApplicationHostTest, controlWClosesTheSheetAndControlQQuits) {
    auto pushControl = [](SDL_Keycode key) {
        push(SDL_KEYDOWN, [&](SDL_Event& event) {
            event.key.keysym.sym = key;
            event.key.keysym.mod = KMOD_LCTRL;
        });
    };
    auto script = Script::start({
        {"the root on screen", [&] { return showsTheRoot(); }, [&] { click(centre(buttonFrame)); }},
        {"the sheet settled", [&] { return root->presentationsCompleted == 1 && !root->presentedViewController()->isBeingPresented(); },
         [&] { pushControl(SDLK_w); }},
        {"the sheet closed", [&] { return !root->presentedViewController(); }, [&] { pushControl(SDLK_q); }},
    });

    EXPECT_EQ(runApplication(), 0);

    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_TRUE(host->windowHost()->isTerminating());
    EXPECT_EQ(log->back(), "app.willTerminate");
}

TEST_F(SDLApplicationHostTest, wheelScrollsTheTableUnderThePointerAndFocusAndMinimisingReachTheDelegates) {
    auto script = Script::start({
        {"the root on screen", [&] { return showsTheRoot(); },
         [&] {
             wheelTowardTheUser(centre(buttonFrame));  // nothing there scrolls
             wheelTowardTheUser(centre(tableFrame));
             log->clear();
             pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
             pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
             pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
         }},
        {"back in the foreground", [&] { return std::ranges::count(*log, "app.didBecomeActive") == 1; },
         [] { push(SDL_QUIT, [](SDL_Event&) {}); }},
    });

    EXPECT_EQ(runApplication(), 0);

    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_EQ(root->table->contentOffset(), (ui::Point{0, ui::View::pointsPerWheelStep}));
    EXPECT_EQ(*log, (std::vector<std::string>{"scene.willResignActive", "app.willResignActive", "scene.didEnterBackground",
                                              "scene.willEnterForeground", "scene.didBecomeActive",
                                              "app.didBecomeActive", "app.willTerminate"}));
}

// The list keys reach the frontmost list through the window: pages scroll it, End and Home reach its
// ends, the space bar pages down (Shift+Space up), the arrows move its selection; Tab reaches the
// button and Return presses it.
TEST_F(SDLApplicationHostTest, listKeysScrollTheTableArrowsSelectARowAndTabAndReturnPressTheButton) {
    auto pushShifted = [](SDL_Keycode key) {
        push(SDL_KEYDOWN, [&](SDL_Event& event) {
            event.key.keysym.sym = key;
            event.key.keysym.mod = KMOD_LSHIFT;
        });
    };
    std::vector<double> offsets;
    auto script = Script::start({
        {"the root on screen", [&] { return showsTheRoot(); },
         [&] {
             pushKey(SDLK_PAGEDOWN);
             pushKey(SDLK_PAGEDOWN);
         }},
        {"scrolled by two pages", [&] { return root->table->contentOffset().y == 120 + 120; },
         [&] {
             pushKey(SDLK_END);
         }},
        {"at the end", [&] { return root->table->contentOffset().y == root->table->maximumContentOffset().y; },
         [&] {
             pushShifted(SDLK_SPACE);
         }},
        {"a page back", [&] { return root->table->contentOffset().y == root->table->maximumContentOffset().y - 120; },
         [&] {
             pushKey(SDLK_HOME);
             pushKey(SDLK_DOWN);
             pushKey(SDLK_DOWN);
         }},
        {"the second row selected", [&] { return root->table->indexPathForSelectedRow() == ui::IndexPath{0, 1}; },
         [&] {
             EXPECT_EQ(root->table->contentOffset().y, 0);
             pushKey(SDLK_TAB);
             pushKey(SDLK_RETURN);
         }},
        {"the sheet the button presents", [&] { return root->presentationsCompleted == 1; },
         [] { push(SDL_QUIT, [](SDL_Event&) {}); }},
    });

    EXPECT_EQ(runApplication(), 0);
    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_EQ(root->table->indexPathForSelectedRow(), (ui::IndexPath{0, 1}));
}

std::filesystem::path temporaryPng(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".png");
}

gfx::Bitmap readPng(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), {}};
    auto image = gfx::Image::fromData(foundation::Data::fromString(bytes));
    return image && image->bitmap() ? *image->bitmap() : gfx::Bitmap{};
}

TEST_F(SDLApplicationHostTest, screenshotFromTheEnvironmentWritesTheWindowAndTerminates) {
    auto path = temporaryPng("application-host-screenshot");
    unsetenv("SORVANE_SCREENSHOT_AFTER");
    unsetenv("SORVANE_SCREENSHOT_PATH");
    EXPECT_EQ(host->screenshotFromEnvironment(), false);
    setenv("SORVANE_SCREENSHOT_PATH", path.c_str(), 1);
    EXPECT_NE(host->screenshotFromEnvironment().error().find("SORVANE_SCREENSHOT_AFTER"), std::string::npos);
    setenv("SORVANE_SCREENSHOT_AFTER", "soon", 1);
    EXPECT_FALSE(host->screenshotFromEnvironment());
    setenv("SORVANE_SCREENSHOT_AFTER", "0.5", 1);
    EXPECT_EQ(host->screenshotFromEnvironment(), true);
    unsetenv("SORVANE_SCREENSHOT_AFTER");
    unsetenv("SORVANE_SCREENSHOT_PATH");

    EXPECT_EQ(runApplication(), 0);

    EXPECT_FALSE(host->screenshotError());
    gfx::Bitmap shot = readPng(path);
    std::filesystem::remove(path);
    ASSERT_EQ((std::pair{shot.width, shot.height}), (std::pair{780, 1688}));
    EXPECT_COLOUR(colourAt(shot, aboveTheSheet), rootColour);
    EXPECT_EQ(log->back(), "app.willTerminate");
}

TEST_F(SDLApplicationHostTest, screenshotThatCannotBeWrittenIsReportedAndStillTerminates) {
    host->screenshotAfter(0, "/nonexistent-folder/screenshot.png");
    EXPECT_EQ(runApplication(), 0);
    ASSERT_TRUE(host->screenshotError());
    EXPECT_NE(host->screenshotError()->find("nonexistent-folder"), std::string::npos) << *host->screenshotError();
    EXPECT_EQ(log->back(), "app.willTerminate");
}

// A script whose step never gets ready names it before ctest's time-out ends the process, whatever
// budget it asked for.
TEST(ScriptedRun, aStuckStepIsNamedWithinHalfOfTheTestsTimeOut) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 0);
    foundation::Clock::setCurrent(clock);
    auto script = Script::start({{"the step that never gets ready", [] { return false; }, nullptr}}, 24 * 3600);
    clock->advance(SORVANE_TEST_TIMEOUT_SECONDS / 2.0);
    bool stopped = dispatch::RunLoop::main()->runUntil([&] { return script->timedOut(); }, 5);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(script->unfinishedStep(), "the step that never gets ready");
    // The watchdog stopped the main loop; the next run takes the stop and returns, as the app's would.
    if (stopped) dispatch::RunLoop::main()->run();
    foundation::Clock::setCurrent(nullptr);
}

}  // namespace
