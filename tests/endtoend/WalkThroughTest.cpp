// The home screen used as a person would, in a real window under Xvfb: synthetic mouse, wheel and key
// input pushed through the SDL host into the app on the offline season. After every step the
// window's own pixels must show the season sheet whole, at the detent it should rest at.

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ScriptedRun.h"
#include "SyntheticEvents.h"
#include "VirtualDisplay.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/EventPickerCell.h"
#include "cells/LapPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RemindersCell.h"
#include "cells/StateCell.h"
#include "cells/TicketsCell.h"
#include "live/LapsViewController.h"
#include "standings-news/StandingsViewController.h"
#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "host/PngFile.h"
#include "host/SDLApplicationHost.h"
#include "live/LiveViewController.h"
#include "offline/OfflineSeason.h"
#include "reminders/UserNotificationCenter.h"
#include "shell/AppDelegate.h"
#include "shell/MapViewController.h"
#include "shell/RaceScreen.h"
#include "shell/SceneDelegate.h"
#include "shell/SeasonViewController.h"
#include "shell/StartupFailure.h"
#include "shell/StartupProgress.h"
#include "standings-news/NewsViewController.h"
#include "ui/MenuPopup.h"
#include "ui/NavigationController.h"
#include "ui/SheetPresentationController.h"
#include "weekend/FutureDetailsViewController.h"
#include "weekend/PastDetailsViewController.h"

namespace {

using namespace hosttest;

constexpr const char* windowTitle = "sorvane-walk-through";
// Tops of the season sheet at its detents on the 390 x 844 phone.
constexpr double smallTop = 844 - 254;
constexpr double mediumTop = 422;
constexpr double largeTop = 57;

int pixels(double points) { return static_cast<int>(points * 2); }

struct Rgb {
    int r, g, b;
};

Rgb rgbAt(const gfx::Bitmap& shot, double x, double y) {
    std::uint32_t argb = shot.pixel(pixels(x), pixels(y));
    return {static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff), static_cast<int>(argb & 0xff)};
}

bool isWhite(Rgb p) { return p.r >= 250 && p.g >= 250 && p.b >= 250; }
bool isInk(Rgb p) { return p.r < 90 && p.g < 90 && p.b < 90; }
// The base map's sea or land.
bool isMap(Rgb p) {
    auto near = [&](int r, int g, int b) { return std::abs(p.r - r) < 6 && std::abs(p.g - g) < 6 && std::abs(p.b - b) < 6; };
    return near(0xAA, 0xD3, 0xDF) || near(0xF2, 0xEF, 0xE9);
}

void click(ui::Point point) {
    for (auto type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP})
        pushMouseButton(type, SDL_BUTTON_LEFT, pixels(point.x), pixels(point.y));
}

// A drag that comes to rest before it lets go, so the release carries no flick: SDL stamps pushed
// events with the moment of the push, and the button goes up a quarter of a second after the last
// move.
int releasesPending = 0;

void mouseDrag(ui::Point from, ui::Point to, int steps = 12) {
    ++releasesPending;
    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, pixels(from.x), pixels(from.y));
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        pushMouseMotion(pixels(from.x + (to.x - from.x) * t), pixels(from.y + (to.y - from.y) * t));
    }
    dispatch::Queue::main()->asyncAfter(0.25, [to] {
        pushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, pixels(to.x), pixels(to.y));
        --releasesPending;
    });
}

// Wheel notches over a point; positive moves the content up (toward the list's end).
void wheel(ui::Point point, int notches) {
    push(SDL_MOUSEWHEEL, [&](SDL_Event& event) {
        event.wheel.y = -notches;
        event.wheel.preciseY = static_cast<float>(-notches);
        event.wheel.mouseX = pixels(point.x);
        event.wheel.mouseY = pixels(point.y);
    });
}

ui::Point centreInWindow(const ui::View& view, ui::Rect rect) {
    ui::Rect shown = view.convertRectTo(rect, nullptr);
    return {shown.midX(), shown.midY()};
}

class WalkThrough : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto problem = prepareDisplay(); !problem.empty()) GTEST_SKIP() << problem;
        ServiceHosts::setCurrent(ServiceHosts{});
        OfflineSettings settings;
        settings.dataDirectory = OfflineSettings::defaultDataDirectory();
        auto started = OfflineSeason::start(settings);
        ASSERT_TRUE(started) << started.error();
        season = std::move(*started);
        host::WindowOptions options;
        options.title = windowTitle;
        auto opened = host::SDLApplicationHost::open(options);
        ASSERT_TRUE(opened) << opened.error();
        host = std::move(*opened);
        if (const char* folder = std::getenv("SORVANE_WALK_THROUGH_SHOTS")) shotFolder = folder;
        // No reminder pending, whatever an earlier walk of this process set: each walk has a store of
        // its own, and what falls due is recorded, never sent to the desktop.
        static int walks = 0;
        reminders::UserNotificationCenter::setCurrent(reminders::UserNotificationCenter::make(
            {.storeFile = foundation::FileManager::defaultManager()->documentsDirectory() /
                          ("walk-" + std::to_string(++walks)) / "pending.json",
             .presenter = std::make_shared<reminders::RecordingNotificationPresenter>()}));
    }
    void TearDown() override {
        reminders::UserNotificationCenter::setCurrent(nullptr);
        if (!host) return;
        if (auto window = host->window()) window->setRootViewController(nullptr);
        host.reset();
        season.stop();
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
    }

    std::shared_ptr<MapViewController> map() const {
        auto window = host->window();
        auto navigation = window ? std::dynamic_pointer_cast<ui::NavigationController>(window->rootViewController()) : nullptr;
        return navigation ? std::dynamic_pointer_cast<MapViewController>(navigation->viewControllers().front()) : nullptr;
    }
    std::shared_ptr<SeasonViewController> sheet() const {
        auto shown = map();
        return shown ? std::dynamic_pointer_cast<SeasonViewController>(shown->seasonSheet()) : nullptr;
    }
    std::shared_ptr<ui::ViewController> overSheet() const {
        auto shown = sheet();
        return shown ? shown->presentedViewController() : nullptr;
    }
    // Nothing moves once the window's pending layout and animations are committed.
    bool settled() const {
        auto window = host->window();
        if (!window || releasesPending > 0) return false;
        window->renderIfNeeded();
        if (!startup::isSettled(*window, foundation::Clock::current()->uptime())) return false;
        auto over = overSheet();
        return !over || (!over->isBeingPresented() && !over->isBeingDismissed());
    }

    // From the home screen to a tap on the season's first race, at the top of the list.
    std::vector<Script::Step> stepsToTheFirstRace() {
        return {
            {"the home screen", [this] { return homeShown(); }, [] { wheel({195, 780}, -10); }},
            {"the first rows", [this] { return sheet()->tableView->contentOffset().y <= 0.5 && settled(); },
             [this] {
                 auto table = sheet()->tableView;
                 click(centreInWindow(*table, table->rectForRow({0, 0})));
             }},
        };
    }

    // The window's own pixels, drawn and presented as the screenshot mode does; kept as <step>.png
    // in the shots folder when one is named.
    gfx::Bitmap windowShot(const std::string& step = {}) {
        auto window = host->window();
        window->renderIfNeeded();
        host->windowHost()->present(window->drawFrame(foundation::Clock::current()->uptime(), gfx::Color::white()));
        gfx::Bitmap shot = host->windowHost()->screenshot();
        if (!shotFolder.empty() && !step.empty()) (void)host::writePng(shot, std::filesystem::path(shotFolder) / (step + ".png"));
        return shot;
    }

    // The window's pixels show the season sheet whole at `top`: white from edge to edge just below
    // its top, map (not white) just above it, the title's ink in the header, white at the bottom.
    void expectSheetWholeAt(double top, const std::string& step) {
        gfx::Bitmap shot = windowShot(step);
        SCOPED_TRACE(step);
        ASSERT_EQ(shot.width, 780);
        ASSERT_EQ(shot.height, 1688);
        int whiteBelow = 0, whiteAbove = 0, samples = 0;
        for (double x = 20; x <= 370; x += 10, ++samples) {
            whiteBelow += isWhite(rgbAt(shot, x, top + 6));
            whiteAbove += isWhite(rgbAt(shot, x, top - 4));
        }
        EXPECT_EQ(whiteBelow, samples) << "the sheet's top edge is not at " << top << " across the window";
        EXPECT_LT(whiteAbove, samples / 2) << "the sheet reaches above " << top;
        int ink = 0;
        for (double y = top + 22; y < top + 48; y += 1)
            for (double x = 18; x < 190; x += 2) ink += isInk(rgbAt(shot, x, y));
        EXPECT_GT(ink, 40) << "no title in the sheet's header";
        int mapAtBottom = 0;
        for (double x = 20; x <= 370; x += 4) mapAtBottom += isMap(rgbAt(shot, x, 843));
        EXPECT_EQ(mapAtBottom, 0) << "the map shows below the sheet";  // beside its rounded corners
        auto presentation = sheet()->sheetPresentationController();
        EXPECT_DOUBLE_EQ(presentation->presentedView()->frame().minY(), top);
        EXPECT_DOUBLE_EQ(presentation->presentedView()->frame().width(), 390);
    }

    // The row of `index` lies wholly inside the list's visible part.
    void expectRowInView(int index, const std::string& step) {
        auto table = sheet()->tableView;
        ui::Rect row = table->rectForRow({0, index});
        ui::Rect shown = table->bounds();
        EXPECT_GE(row.minY(), shown.minY() - 0.5) << step;
        EXPECT_LE(row.maxY(), shown.maxY() + 0.5) << step;
    }

    ui::Point pinPoint(int raceIndex) const {
        const auto& races = GlobalStruct::races();
        auto mapView = map()->mapView();
        for (const auto& pin : mapView->annotations()) {
            if (pin->title() != races[static_cast<std::size_t>(raceIndex)].raceName) continue;
            gfx::Point point = mapView->viewport().point(pin->coordinate());
            return mapView->convertPointTo(point, nullptr);
        }
        return {};
    }

    void pickYear(const std::string& year) { pickEntry(year); }
    void pickEntry(const std::string& title) {
        auto popup = ui::MenuPopup::shown(*host->window());
        ASSERT_TRUE(popup);
        const auto& children = popup->menu()->children;
        for (std::size_t index = 0; index < children.size(); ++index)
            if (children[index].title == title) click(centreInWindow(*popup->list(), popup->rowFrame(index)));
    }
    // The season's clock from `instant` on, as SORVANE_NOW sets it.
    static void startClockAt(const char* instant) {
        foundation::Clock::setCurrent(std::make_shared<foundation::OffsetClock>(*instantFromISO8601(instant)));
    }
    bool homeShown() const { return host->window() && startup::seasonSheetShowsRows(*host->window()) && settled(); }
    // Walks the app through `steps`, then home and out, within `seconds`.
    void walk(std::vector<Script::Step> steps, double seconds) {
        steps.push_back({"home", [this] { return !overSheet() && settled(); }, [] { push(SDL_QUIT, [](SDL_Event&) {}); }});
        auto script = Script::start(std::move(steps), seconds);
        EXPECT_EQ(ui::applicationMain([] { return std::make_shared<AppDelegate>(); },
                                      [] { return std::make_shared<SceneDelegate>(); }, *host),
                  0);
        EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep() << " (" << stateSeen() << ")";
    }
    // What a stuck walk saw: the sheet over the season sheet and whether it moves, the pointer's
    // pending release, the race screen flag and the season's list.
    std::string stateSeen() const {
        std::string seen;
        auto over = overSheet();
        seen += over ? "over the sheet: " + over->description() + (over->isBeingPresented() ? " (being presented)" : "") +
                           (over->isBeingDismissed() ? " (being dismissed)" : "")
                     : "nothing over the sheet";
        seen += ", releases pending " + std::to_string(releasesPending);
        seen += ", details on screen " + std::to_string(GlobalStruct::detailsOnScreen());
        if (auto shown = sheet()) {
            auto selected = shown->tableView->indexPathForSelectedRow();
            seen += ", list offset " + std::to_string(shown->tableView->contentOffset().y) + ", selected row " +
                    (selected ? std::to_string(selected->row) : std::string("none"));
        }
        return seen;
    }
    static std::shared_ptr<StateCell> stateRowOf(ui::TableView& table) {
        return std::dynamic_pointer_cast<StateCell>(table.cellForRow({2, 0}));
    }

    OfflineSeason season;
    std::unique_ptr<host::SDLApplicationHost> host;
    std::string shotFolder;
};

TEST_F(WalkThrough, theSeasonSheetStaysWholeThroughRacesNewsDetentsPinsAndYears) {
    int firstPin = 0, secondPin = 0;
    ui::Rect calloutBefore;
    auto script = Script::start(
        {
            {"the home screen", [&] { return host->window() && startup::seasonSheetShowsRows(*host->window()) && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "01-home");
                 wheel({195, 780}, -10);  // back to the season's first races
             }},
            {"the first rows", [&] { return sheet()->tableView->contentOffset().y <= 0.5 && settled(); },
             [&] {
                 auto table = sheet()->tableView;
                 click(centreInWindow(*table, table->rectForRow({0, 0})));
             }},
            {"a finished race", [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()) && settled(); },
             [&] { pushKey(SDLK_ESCAPE); }},
            {"the race gone", [&] { return !overSheet() && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "02-race-escaped");
                 click(centreInWindow(*sheet()->newsButton, sheet()->newsButton->bounds()));
             }},
            {"the news", [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()) && settled(); },
             [&] { mouseDrag({195, 200}, {195, 830}); }},
            {"the news gone", [&] { return !overSheet() && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "03-news-swiped");
                 mouseDrag({195, smallTop + 8}, {195, mediumTop + 8});
             }},
            {"the medium detent", [&] { return settled() && map()->mapView()->layoutMargins().bottom == 422; },
             [&] {
                 expectSheetWholeAt(mediumTop, "04-medium");
                 mouseDrag({195, mediumTop + 8}, {195, largeTop + 8});
             }},
            {"the large detent", [&] { return settled() && GlobalStruct::sheetIsLarge(); },
             [&] {
                 expectSheetWholeAt(largeTop, "05-large");
                 mouseDrag({195, largeTop + 8}, {195, smallTop + 8});
             }},
            {"the small detent again", [&] { return settled() && map()->mapView()->layoutMargins().bottom == 225; },
             [&] {
                 expectSheetWholeAt(smallTop, "06-small");
                 // The season's last race, far down the list from the race under way.
                 firstPin = static_cast<int>(GlobalStruct::races().size()) - 1;
                 click(pinPoint(firstPin));
             }},
            {"the first pin's race", [&] { return settled() && !map()->mapView()->isAnimatingRegion() && !sheet()->tableView->isDecelerating(); },
             [&] {
                 expectSheetWholeAt(smallTop, "07-first-pin");
                 expectRowInView(firstPin, "first pin");
                 secondPin = 1;  // Jeddah, near the list's start
                 click(pinPoint(secondPin));
             }},
            {"the second pin's race", [&] { return settled() && !map()->mapView()->isAnimatingRegion(); },
             [&] {
                 expectSheetWholeAt(smallTop, "08-second-pin");
                 expectRowInView(secondPin, "second pin");
                 auto callout = map()->mapView()->calloutLayout();
                 ASSERT_TRUE(callout);
                 calloutBefore = callout->bubble;
                 mouseDrag({60, 200}, {60 + 120, 200 + 90});  // pan the map under the callout
             }},
            {"the map panned", [&] { return settled() && map()->mapView()->calloutLayout() &&
                                            map()->mapView()->calloutLayout()->bubble.minY() > calloutBefore.minY() + 45; },
             [&] {
                 expectSheetWholeAt(smallTop, "09-panned");
                 ui::Rect bubble = map()->mapView()->calloutLayout()->bubble;
                 ui::Point pin = pinPoint(secondPin);
                 EXPECT_NEAR(map()->mapView()->calloutLayout()->tip.x, pin.x, 1);
                 EXPECT_NEAR(bubble.minY(), calloutBefore.minY() + 90, 1);
                 // The window shows the bubble where its pin went, and map where it was.
                 gfx::Bitmap shot = host->windowHost()->screenshot();
                 EXPECT_TRUE(isWhite(rgbAt(shot, bubble.minX() + 6, bubble.maxY() - 4)));
                 EXPECT_TRUE(isMap(rgbAt(shot, calloutBefore.minX() + 6, calloutBefore.minY() + 4)));
                 click(centreInWindow(*sheet()->yearButton, sheet()->yearButton->bounds()));
             }},
            {"the year menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickYear("2022"); }},
            {"the 2022 season", [&] { return GlobalStruct::racesSeason() == "2022" && !map()->isLoading() && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "10-2022");
                 EXPECT_EQ(sheet()->navTitle->text(), "2022 Races");
                 click(centreInWindow(*sheet()->yearButton, sheet()->yearButton->bounds()));
             }},
            {"the year menu again", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickYear("2023"); }},
            {"the 2023 season", [&] { return GlobalStruct::racesSeason() == "2023" && !map()->isLoading() && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "11-2023");
                 EXPECT_EQ(sheet()->navTitle->text(), "2023 Races");
                 push(SDL_QUIT, [](SDL_Event&) {});
             }},
        },
        110);

    int status = ui::applicationMain([] { return std::make_shared<AppDelegate>(); },
                                     [] { return std::make_shared<SceneDelegate>(); }, *host);
    EXPECT_EQ(status, 0);
    if (script->timedOut() && sheet()) {
        auto presentation = sheet()->sheetPresentationController();
        std::printf("detent %s, card top %g, margin %g, large %d\n", presentation->currentDetentIdentifier().c_str(),
                    presentation->presentedView()->frame().minY(), map()->mapView()->layoutMargins().bottom,
                    GlobalStruct::sheetIsLarge());
    }
    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_EQ(script->unfinishedStep(), "");
}

// Lists keep their shape, driven from the keyboard: a finished race's list taken to its end and back
// (End and Home) shows its first result row exactly as it first showed it; then the live race,
// scrolled below its running order, holds still through ten refreshes, offset and pixels alike.
TEST_F(WalkThrough, listsKeepTheirShapeThroughScrollingKeysAndLiveRefreshes) {
    std::vector<ui::Rect> firstFrames;
    double liveOffset = 0, liveHeight = 0, nextRefreshAt = 0, heightAtEnd = 0;
    int refreshes = 0;
    gfx::Bitmap liveShot;
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    // Settled but for the weather card's turning fans, which never stop.
    auto still = [&] {
        auto over = overSheet();
        return releasesPending == 0 && over && !over->isBeingPresented() && !over->isBeingDismissed();
    };
    auto live = [&] { return std::dynamic_pointer_cast<LiveViewController>(overSheet()); };
    auto rowFrames = [&]() -> std::vector<ui::Rect> {
        auto cell = std::dynamic_pointer_cast<DriverCell>(race()->tableView[0]->cellForRow({2, 0}));
        if (!cell) return {};
        std::vector<ui::Rect> frames{race()->tableView[0]->rectForRow({2, 0})};
        for (const auto& view : std::vector<std::shared_ptr<ui::View>>{cell->status, cell->driver, cell->constructor,
                                                                       cell->fastestLap, cell->position,
                                                                       cell->fromGridPosition, cell->driverImage})
            frames.push_back(view->frame());
        return frames;
    };
    // The live sheet's upper part, below its top edge: the rows the refreshes must leave alone. Its
    // edges are left out: the map shows beside its rounded corners, and may still sharpen its tiles.
    auto samePixels = [](const gfx::Bitmap& a, const gfx::Bitmap& b) {
        int differing = 0;
        for (int y = pixels(mediumTop + 10); y < pixels(mediumTop + 200); ++y)
            for (int x = pixels(10); x < a.width - pixels(10); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
        return differing;
    };
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    steps.insert(steps.end(), {
        {"a finished race", [&] { return race() && !race()->raceResults.empty() && !rowFrames().empty() && settled(); },
         [&] {
             firstFrames = rowFrames();
             heightAtEnd = race()->tableView[0]->contentSize().height;
             pushKey(SDLK_END);
         }},
        {"its list's end", [&] {
             auto table = race()->tableView[0];
             // Rows that arrive after End was pressed lengthen the list (a loaded machine is slow to read
             // them): End again, as a person would.
             if (still() && table->contentSize().height != heightAtEnd) {
                 heightAtEnd = table->contentSize().height;
                 pushKey(SDLK_END);
                 return false;
             }
             return still() && table->contentOffset().y > 0 && table->contentOffset().y == table->maximumContentOffset().y;
         },
         [&] {
             (void)windowShot();
             pushKey(SDLK_HOME);
         }},
        {"back at its top", [&] { return still() && race()->tableView[0]->contentOffset().y <= 0.5 && !rowFrames().empty(); },
         [&] {
             EXPECT_EQ(rowFrames(), firstFrames) << "the first result row changed shape";
             pushKey(SDLK_ESCAPE);
         }},
        {"the race gone", [&] { return !overSheet() && settled(); },
         [&] { sheet()->tableView->scrollToRow({0, 3}, ui::TableViewScrollPosition::top, false); }},
        {"round 4 in view", [&] { return settled(); },
         [&] {
             auto table = sheet()->tableView;
             click(centreInWindow(*table, table->rectForRow({0, 3})));  // under way
         }},
        // Its reads in: the weather's row grows from "Loading" to its card's shape once it is answered.
        {"the live race", [&] {
             return live() && !live()->raceResults.empty() && (!live()->weather.empty() || live()->weatherCouldNotLoad) &&
                    still();
         },
         [&] {
             live()->tableView[0]->scrollToRow({LiveViewController::weekendSection, 0}, ui::TableViewScrollPosition::top, false);
         }},
        {"below the running order", [&] { return still(); },
         [&] {
             auto table = live()->tableView[0];
             liveOffset = table->contentOffset().y;
             liveHeight = table->contentSize().height;
             liveShot = windowShot();
             if (!shotFolder.empty()) (void)host::writePng(liveShot, std::filesystem::path(shotFolder) / "12-live-scrolled.png");
             nextRefreshAt = foundation::Clock::current()->uptime() + 2.6;
         }},
    });
    for (int refresh = 1; refresh <= 10; ++refresh) {
        steps.push_back({"live refresh " + std::to_string(refresh),
                         [&] { return foundation::Clock::current()->uptime() >= nextRefreshAt && still(); },
                         [&] {
                             ++refreshes;
                             auto table = live()->tableView[0];
                             EXPECT_EQ(table->contentOffset().y, liveOffset) << "refresh " << refreshes;
                             EXPECT_EQ(table->contentSize().height, liveHeight) << "refresh " << refreshes;
                             EXPECT_EQ(samePixels(windowShot(), liveShot), 0) << "refresh " << refreshes;
                             nextRefreshAt = foundation::Clock::current()->uptime() + 2.6;
                         }});
    }
    // Home again before the end, as a person leaves it: the next run starts where this one ended.
    steps.push_back({"the live race left", [] { return true; }, [] { pushKey(SDLK_ESCAPE); }});
    steps.push_back({"home", [&] { return !overSheet() && settled(); }, [] { push(SDL_QUIT, [](SDL_Event&) {}); }});
    auto script = Script::start(std::move(steps), 150);

    int status = ui::applicationMain([] { return std::make_shared<AppDelegate>(); },
                                     [] { return std::make_shared<SceneDelegate>(); }, *host);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_EQ(refreshes, 10);
}

// After the season's end its standings are the final table, under the last race; before its start the
// standings wait for the first race and the news holds nothing yet.
TEST_F(WalkThrough, theSeasonsStandingsAndNewsFollowItsClock) {
    startClockAt("2023-12-01T12:00:00Z");
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    walk(
        {
            {"the standings read", [&] { return homeShown() && !sheet()->driverStandings.empty(); },
             [&] { click(centreInWindow(*sheet()->standingsButton, sheet()->standingsButton->bounds())); }},
            {"the standings", [&] { return standings() && !standings()->driverStandings.empty() && settled(); },
             [&] {
                 (void)windowShot("13-standings-after-the-season");
                 auto header = std::dynamic_pointer_cast<DetailHeaderCell>(standings()->tableView[0]->cellForRow({0, 0}));
                 ASSERT_TRUE(header);
                 EXPECT_EQ(header->race->text(), "Abu Dhabi Grand Prix");
                 EXPECT_EQ(standings()->driverStandings.front().points, "575");
                 pushKey(SDLK_ESCAPE);
             }},
        },
        60);
}

TEST_F(WalkThrough, beforeTheSeasonTheNewsHoldsNothingYet) {
    startClockAt("2023-02-01T12:00:00Z");
    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    double waitUntil = 0;
    walk(
        {
            {"the home screen", [&] { return homeShown(); },
             [&] { waitUntil = foundation::Clock::current()->uptime() + 2; }},
            // The feeds are read in the background: time enough for all five.
            {"the feeds read", [&] { return foundation::Clock::current()->uptime() >= waitUntil; },
             [&] { click(centreInWindow(*sheet()->newsButton, sheet()->newsButton->bounds())); }},
            {"the news", [&] { return news() && settled(); },
             [&] {
                 (void)windowShot("14-news-before-the-season");
                 for (const auto* feed : {&news()->newsArticles, &news()->newsArticles2, &news()->newsArticles3,
                                          &news()->newsArticles4, &news()->newsArticles5})
                     EXPECT_TRUE(feed->empty()) << feed->front().title;
                 auto state = stateRowOf(*news()->tableView[0]);
                 ASSERT_TRUE(state);
                 EXPECT_EQ(state->title->text(), "FIA articles");
                 EXPECT_TRUE(state->detail->text() == "The feed has none right now." || state->detail->text() == "None to show yet.")
                     << state->detail->text();
                 pushKey(SDLK_ESCAPE);
             }},
        },
        60);
}

// Bahrain's pit stops are not in the offline season, nor are most of its laps: each sheet says so, and a
// lap picked from the menu that the season lacks is shown as not recorded, never as the lap shown before.
TEST_F(WalkThrough, aFinishedRacesSheetsSayWhatCouldNotBeLoaded) {
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    auto laps = [&] { return race() ? std::dynamic_pointer_cast<LapsViewController>(race()->presentedViewController()) : nullptr; };
    auto sheetSettled = [&] { return laps() && !laps()->isBeingPresented() && releasesPending == 0; };
    auto breakdown = [&] { return std::dynamic_pointer_cast<RaceBreakdownCell>(race()->tableView[0]->cellForRow({6, 0})); };
    auto picker = [&] { return std::dynamic_pointer_cast<LapPickerCell>(laps()->tableView[0]->cellForRow({1, 0})); };
    // The sheet's list says it is no part of the offline season; then it goes.
    auto notOffline = [&](ui::TableView& table, const std::string& title) {
        auto state = stateRowOf(table);
        ASSERT_TRUE(state);
        EXPECT_EQ(state->title->text(), title);
        EXPECT_EQ(state->detail->text(), "Not recorded in the offline season");
        race()->dismiss(true);
    };
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    steps.insert(steps.end(),
        {
            {"Bahrain", [&] { return race() && !race()->raceResults.empty() && race()->pitStopsCouldNotLoad && settled(); },
             [&] { race()->tableView[0]->scrollToRow({6, 0}, ui::TableViewScrollPosition::top, false); }},
            {"its breakdown card", [&] { return breakdown() && settled(); },
             [&] { click(centreInWindow(*breakdown()->pitStop, breakdown()->pitStop->bounds())); }},
            {"the pit stops", [&] { return sheetSettled() && laps()->showsPitStops(); },
             [&] {
                 (void)windowShot("15-pit-stops-not-offline");
                 notOffline(*laps()->tableView[1], "Pit stops");
             }},
            {"the pit stops gone", [&] { return !laps() && settled(); },
             [&] { click(centreInWindow(*breakdown()->lap, breakdown()->lap->bounds())); }},
            {"the laps", [&] { return sheetSettled() && !laps()->showsPitStops() && picker(); },
             [&] { click(centreInWindow(*picker()->lap, picker()->lap->bounds())); }},
            {"the lap menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickEntry("9"); }},
            {"lap 9", [&] { return picker() && picker()->lap->title(ui::ControlState::normal) == "9" && sheetSettled(); },
             [&] {
                 (void)windowShot("16-lap-9-not-offline");
                 notOffline(*laps()->tableView[0], "Times of lap 9");
             }},
            {"the laps gone", [&] { return !laps() && settled(); }, [&] { pushKey(SDLK_ESCAPE); }},
        });
    walk(std::move(steps), 90);
}

// A race screen opens at the medium detent and is dragged by its header to the large one, as the
// platform's sheets are; the arrows then ring the row they move to, Ctrl+W closes the screen and Ctrl+Q quits.
TEST_F(WalkThrough, aRaceScreenGrowsByItsHeaderShowsTheKeyboardsRowAndClosesAndQuitsByKeys) {
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    auto pushControl = [](SDL_Keycode key) {
        push(SDL_KEYDOWN, [&](SDL_Event& event) {
            event.key.keysym.sym = key;
            event.key.keysym.mod = KMOD_LCTRL;
        });
    };
    auto raceTop = [&] { return race()->sheetPresentationController()->presentedView()->frame().minY(); };
    // Settled but for the weather card's turning fans, which never stop.
    auto still = [&] { return race() && releasesPending == 0 && !race()->isBeingPresented() && !race()->isBeingDismissed(); };
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    steps.insert(steps.end(), {
            {"a finished race at the medium detent", [&] { return race() && !race()->raceResults.empty() && settled(); },
             [&] {
                 EXPECT_DOUBLE_EQ(raceTop(), mediumTop);
                 (void)windowShot("17-race-medium");
                 mouseDrag({195, mediumTop + 40}, {195, largeTop + 40});  // by the header card
             }},
            {"the race at the large detent", [&] { return still() && raceTop() <= largeTop + 0.5; },
             [&] {
                 EXPECT_DOUBLE_EQ(raceTop(), largeTop);
                 EXPECT_EQ(race()->sheetPresentationController()->currentDetentIdentifier(), ui::SheetDetent::largeIdentifier);
                 EXPECT_EQ(race()->tableView[0]->contentOffset().y, 0) << "the drag scrolled the list instead";
                 (void)windowShot("18-race-large");
                 pushKey(SDLK_DOWN);
                 pushKey(SDLK_DOWN);
                 pushKey(SDLK_DOWN);
             }},
            {"the keyboard's row", [&] { return still() && race()->tableView[0]->focusedRow(); },
             [&] {
                 auto table = race()->tableView[0];
                 ui::Rect row = table->convertRectTo(table->rectForRow(*table->focusedRow()), nullptr);
                 Rgb edge = rgbAt(windowShot("19-race-keyboard-row"), row.minX() + 3.5, row.midY());
                 EXPECT_TRUE(edge.b > 200 && edge.r < 80) << "no ring where the keyboard is: " << edge.r << "," << edge.g << "," << edge.b;
                 pushControl(SDLK_w);
             }},
            {"the race closed", [&] { return !overSheet() && settled(); },
             [&] {
                 expectSheetWholeAt(smallTop, "20-race-closed");
                 pushControl(SDLK_q);
             }},
    });
    auto script = Script::start(std::move(steps), 110);

    int status = ui::applicationMain([] { return std::make_shared<AppDelegate>(); },
                                     [] { return std::make_shared<SceneDelegate>(); }, *host);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(script->timedOut()) << "stuck at " << script->unfinishedStep();
    EXPECT_TRUE(host->windowHost()->isTerminating()) << "Ctrl+Q did not quit";
}

// ---- Menus under Escape and the keyboard inside cards ----------------------------------------------

void pushKeyWith(SDL_Keycode key, Uint16 modifiers) {
    push(SDL_KEYDOWN, [&](SDL_Event& event) {
        event.key.keysym.sym = key;
        event.key.keysym.mod = modifiers;
    });
}

// The window's pixels ring `control`: the focus ring's blue just above its top edge.
bool ringedInShot(const gfx::Bitmap& shot, const ui::View& control) {
    ui::Rect frame = control.convertRectTo(control.bounds(), nullptr);
    Rgb ring = rgbAt(shot, frame.midX(), frame.minY() - 1.5);
    return ring.b > 200 && ring.r < 80 && ring.g < 160;
}

// The row's cell of type `Cell`, its row scrolled to the top of the list.
template <typename Cell>
std::shared_ptr<Cell> cardAt(ui::TableView& table, ui::IndexPath indexPath) {
    if (!table.cellForRow(indexPath)) table.scrollToRow(indexPath, ui::TableViewScrollPosition::top, false);
    return std::dynamic_pointer_cast<Cell>(table.cellForRow(indexPath));
}

// The live race's laps sheet, its lap menu open: Escape closes the menu and only it; the menu opens
// again and a lap is picked from it; the sheet closed (Ctrl+W) with its menu open takes the menu with
// it, and the sheet presented again opens clean.
TEST_F(WalkThrough, escapeClosesTheLapMenuNotItsSheetAndAMenuGoesWithItsSheet) {
    startClockAt("2023-03-05T15:40:00Z");
    auto live = [&] { return std::dynamic_pointer_cast<LiveViewController>(overSheet()); };
    auto laps = [&] { return live() ? std::dynamic_pointer_cast<LapsViewController>(live()->presentedViewController()) : nullptr; };
    auto menu = [&] { return ui::MenuPopup::shown(*host->window()); };
    auto lapsSettled = [&] { return laps() && !laps()->isBeingPresented() && !laps()->isBeingDismissed() && releasesPending == 0; };
    auto liveStill = [&] { return live() && !live()->isBeingPresented() && !laps() && releasesPending == 0; };
    auto picker = [&] { return std::dynamic_pointer_cast<LapPickerCell>(laps()->tableView[0]->cellForRow({1, 0})); };
    auto breakdown = [&] { return cardAt<RaceBreakdownCell>(*live()->tableView[0], {4, 0}); };
    auto shownLap = [&] { return picker() ? picker()->lap->title(ui::ControlState::normal).value_or("") : ""; };
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    steps.insert(steps.end(), {
        {"the live race", [&] { return live() && !live()->raceResults.empty() && liveStill(); },
         [&] { (void)breakdown(); }},
        {"its breakdown card", [&] { return liveStill() && breakdown(); },
         [&] { click(centreInWindow(*breakdown()->lap, breakdown()->lap->bounds())); }},
        {"the laps", [&] { return lapsSettled() && picker(); },
         [&] { click(centreInWindow(*picker()->lap, picker()->lap->bounds())); }},
        {"the lap menu", [&] { return menu() != nullptr; },
         [&] {
             (void)windowShot("21-lap-menu");
             pushKey(SDLK_ESCAPE);
         }},
        {"the lap menu escaped", [&] { return !menu() && lapsSettled() && settled(); },
         [&] {
             (void)windowShot("22-lap-menu-escaped");
             EXPECT_EQ(shownLap(), "1");
             click(centreInWindow(*picker()->lap, picker()->lap->bounds()));
         }},
        {"the lap menu again", [&] { return menu() != nullptr; }, [&] { pickEntry("3"); }},
        {"lap 3", [&] { return !menu() && lapsSettled() && shownLap() == "3"; },
         [&] { click(centreInWindow(*picker()->lap, picker()->lap->bounds())); }},
        {"the menu open once more", [&] { return menu() != nullptr; }, [&] { pushKeyWith(SDLK_w, KMOD_LCTRL); }},
        {"the laps closed with their menu", [&] { return !laps() && settled(); },
         [&] {
             EXPECT_FALSE(menu()) << "the lap menu outlived its sheet";
             EXPECT_TRUE(live()) << "the live race went with the laps";
             (void)windowShot("23-laps-closed-with-their-menu");
             click(centreInWindow(*breakdown()->lap, breakdown()->lap->bounds()));
         }},
        {"the laps again", [&] { return lapsSettled() && picker(); },
         [&] {
             EXPECT_FALSE(menu());
             EXPECT_EQ(shownLap(), "1");
             pushKey(SDLK_ESCAPE);
         }},
        {"the laps gone", [&] { return liveStill() && settled(); }, [&] { pushKey(SDLK_ESCAPE); }},
    });
    walk(std::move(steps), 120);
}

// An upcoming race from the keyboard: Tab goes round the buttons and menus inside its cards (the
// session menu, Race Alerts, Extras) in reading order, each ringed and in view, and Shift+Tab back;
// the space bar opens the session menu, the arrows and Return pick from it. Home: Tab reaches the
// header's buttons and the space bar presses one; the arrows take the selection down the season's
// list to its end and back, each row wholly in view below the sheet's header.
TEST_F(WalkThrough, theKeyboardReachesTheButtonsInsideCardsAndArrowsKeepTheSelectionBelowTheHeader) {
    constexpr int rows = 22;  // the offline 2023 season's races
    auto future = [&] { return std::dynamic_pointer_cast<FutureDetailsViewController>(overSheet()); };
    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    auto menu = [&] { return ui::MenuPopup::shown(*host->window()); };
    auto focused = [&] { return host->window()->focusedControl(); };
    auto futureStill = [&] { return future() && !future()->isBeingPresented() && !future()->isBeingDismissed() && releasesPending == 0; };
    // The screen's buttons in reading order, read from its cards as they stand.
    auto ring = [&]() -> std::vector<std::shared_ptr<ui::Control>> {
        auto& table = *future()->tableView[0];
        auto picker = cardAt<EventPickerCell>(table, {1, 0});
        auto alerts = cardAt<RemindersCell>(table, {3, 0});
        auto extras = cardAt<ExternalLinksCell>(table, {4, 0});
        if (!picker || !alerts || !extras) return {};
        return {picker->event, alerts->calendar, alerts->notifications1, alerts->notifications2, extras->watch, extras->tickets};
    };
    std::vector<std::shared_ptr<ui::Control>> expected;
    std::size_t tabs = 0;
    std::shared_ptr<ui::Control> previous;
    // The focused button is the one expected, wholly in the sheet's view and ringed in the window.
    auto checkFocus = [&](const std::string& shot) {
        auto control = focused();
        ASSERT_TRUE(control) << shot << ": nothing focused";
        EXPECT_EQ(control, expected[tabs % expected.size()]) << shot;
        ui::Rect frame = control->convertRectTo(control->bounds(), nullptr);
        ui::Rect sheetFrame = future()->view()->convertRectTo(future()->view()->bounds(), nullptr);
        EXPECT_GE(frame.minY(), sheetFrame.minY()) << shot << ": above the sheet";
        EXPECT_LE(frame.maxY(), sheetFrame.maxY()) << shot << ": below the sheet";
        EXPECT_TRUE(ringedInShot(windowShot(shot), *control)) << shot << ": not ringed";
    };
    std::vector<Script::Step> steps = {
        {"the home screen", [&] { return homeShown(); },
         [&] { sheet()->tableView->scrollToRow({0, 4}, ui::TableViewScrollPosition::top, false); }},
        // The start's own slide to the race under way may still move the list: Miami's row again, as a
        // person would, until it rests at the top.
        {"Miami in view", [&] {
             auto& table = *sheet()->tableView;
             if (!settled() || table.isDecelerating()) return false;
             if (std::abs(table.contentOffset().y - std::min(table.rectForRow({0, 4}).minY(), table.maximumContentOffset().y)) <= 0.5)
                 return true;
             table.scrollToRow({0, 4}, ui::TableViewScrollPosition::top, false);
             return false;
         },
         [&] { click(centreInWindow(*sheet()->tableView, sheet()->tableView->rectForRow({0, 4}))); }},
        {"the upcoming race", [&] { return futureStill() && ring().size() == 6; },
         [&] {
             expected = ring();
             ASSERT_EQ(expected.size(), 6u);
             future()->tableView[0]->setContentOffset({0, 0});
             (void)windowShot("24-tab-0");
             pushKey(SDLK_TAB);
         }},
    };
    // Round the ring forwards and once more to where it began, then back with Shift+Tab; each press
    // waits for the focus to move.
    for (int press = 0; press <= 6; ++press)
        steps.push_back({"Tab " + std::to_string(press + 1), [&] { return futureStill() && focused() && focused() != previous; },
                         [&, press] {
                             tabs = static_cast<std::size_t>(press);
                             checkFocus("24-tab-" + std::to_string(press + 1));
                             previous = focused();
                             pushKeyWith(SDLK_TAB, press < 6 ? KMOD_NONE : KMOD_LSHIFT);
                         }});
    for (int press = 0; press < 6; ++press)
        steps.push_back({"Shift+Tab " + std::to_string(press + 1), [&] { return futureStill() && focused() && focused() != previous; },
                         [&, press] {
                             tabs = static_cast<std::size_t>(6 * 2 - 1 - press) % 6;  // back from the first
                             checkFocus("25-shift-tab-" + std::to_string(press + 1));
                             previous = focused();
                             if (press < 5) pushKeyWith(SDLK_TAB, KMOD_LSHIFT);
                             else pushKey(SDLK_SPACE);  // on the session menu
                         }});
    steps.insert(steps.end(), {
        {"the session menu", [&] { return menu() != nullptr; },
         [&] {
             EXPECT_EQ(menu()->source(), expected.front());
             EXPECT_EQ(menu()->highlightedRow(), 0u) << "the keyboard starts at the session shown";
             pushKey(SDLK_DOWN);
         }},
        {"qualifying highlighted", [&] { return menu() && menu()->highlightedRow() == 1u; },
         [&] {
             (void)windowShot("26-session-menu-keyboard");
             pushKey(SDLK_RETURN);
         }},
        {"qualifying chosen", [&] {
             auto alerts = futureStill() && !menu() ? cardAt<RemindersCell>(*future()->tableView[0], {3, 0}) : nullptr;
             return alerts && alerts->infoTitle->text() == "Qualifying Alerts";
         },
         [&] {
             (void)windowShot("27-qualifying-chosen");
             pushKey(SDLK_ESCAPE);
         }},
        {"home again", [&] { return !overSheet() && settled(); },
         [&] {
             pushKey(SDLK_TAB);
             pushKey(SDLK_TAB);
         }},
        {"the news button focused", [&] { return settled() && focused() == sheet()->newsButton; },
         [&] {
             EXPECT_TRUE(ringedInShot(windowShot("28-news-button-focused"), *sheet()->newsButton));
             pushKey(SDLK_SPACE);
         }},
        {"the news", [&] { return news() && settled(); }, [&] { pushKey(SDLK_ESCAPE); }},
        {"the news gone", [&] { return !overSheet() && settled(); },
         [&] {
             ASSERT_EQ(GlobalStruct::races().size(), static_cast<std::size_t>(rows));
             sheet()->tableView->setContentOffset({0, 0});
             pushKey(SDLK_DOWN);
         }},
    });
    // Down the list to its end and back up, the selected row wholly shown below the header each time.
    auto selectionShown = [&](int row, const std::string& step) {
        auto& table = *sheet()->tableView;
        EXPECT_FALSE(focused()) << step << ": the arrows took the keyboard into the list";
        ui::Rect shown = table.convertRectTo(table.rectForRow({0, row}), nullptr);
        ui::Rect list = table.convertRectTo(table.bounds(), nullptr);
        double headerBottom = sheet()->navTitle->convertRectTo(sheet()->navTitle->bounds(), nullptr).maxY();
        EXPECT_GE(shown.minY(), headerBottom - 0.5) << step << ": under the header";
        EXPECT_GE(shown.minY(), list.minY() - 0.5) << step;
        EXPECT_LE(shown.maxY(), list.maxY() + 0.5) << step << ": below the list";
        EXPECT_LE(shown.maxY(), 844 + 0.5) << step << ": off the screen";
    };
    for (int press = 0; press < 2 * rows - 1; ++press) {
        int row = press < rows ? press : 2 * rows - 2 - press;
        bool last = press == 2 * rows - 2;
        steps.push_back({"row " + std::to_string(row + 1) + (press < rows ? " going down" : " going up"),
                         [&, row] { return settled() && sheet()->tableView->indexPathForSelectedRow() == ui::IndexPath{0, row}; },
                         [&, row, press, last] {
                             std::string name = "29-row-" + std::to_string(row + 1) + (press < rows ? "-down" : "-up");
                             selectionShown(row, name);
                             if (row == 0 || row == 11 || row == rows - 1) (void)windowShot(name);
                             if (!last) pushKey(press < rows - 1 ? SDLK_DOWN : SDLK_UP);
                         }});
    }
    walk(std::move(steps), 150);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// A start that failed shows its message in a window, which Escape closes (and with it the app) as it
// closes the top-most thing everywhere else.
TEST_F(WalkThrough, theStartErrorWindowClosesByEscape) {
    const std::string message = "SORVANE_NOW: \"yesterday\" is not an instant (yyyy-MM-ddTHH:mm:ssZ, in UTC)";
    auto shown = [&] {
        auto window = host->window();
        auto root = window ? window->rootViewController() : nullptr;
        auto top = root ? std::dynamic_pointer_cast<StartupFailureViewController>(ui::topPresentedController(root)) : nullptr;
        return top && top->isViewLoaded() && !top->isBeingPresented() && top->messageLabel->text() == message;
    };
    auto script = Script::start({{"the message", shown,
                                  [&] {
                                      (void)windowShot("36-start-error");
                                      pushKey(SDLK_ESCAPE);
                                  }},
                                 {"the window closed", [] { return false; }, nullptr}},
                                30);
    EXPECT_EQ(ui::applicationMain([] { return std::make_shared<ui::ApplicationDelegate>(); },
                                  [message] { return std::make_shared<StartupFailureSceneDelegate>(message); }, *host),
              0);
    EXPECT_EQ(script->unfinishedStep(), "the window closed");
    EXPECT_FALSE(script->timedOut()) << "Escape left the window open";
}

// A live race opened before the season's live-timing index has arrived.

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "RawServer.h"
#include "net/ProtocolRegistry.h"

namespace {

// The season's live-timing index held back by the offline season's serving until `release`: the
// in-process answer to its request sends it on to a loopback server, which answers once released, so
// the map's read of it waits. Every request of the live-timing tree is looked at too.
class HeldBackIndex {
public:
    static std::shared_ptr<HeldBackIndex> start(const std::string& year) {
        auto held = std::shared_ptr<HeldBackIndex>(new HeldBackIndex("/static/" + year + "/Index.json"));
        std::ifstream file(OfflineSettings::defaultDataDirectory() / "offline-season/livetiming" / year / "Index.json",
                           std::ios::binary);
        held->index_.assign(std::istreambuf_iterator<char>(file), {});
        auto registry = net::ProtocolRegistry::global();
        const std::string host = ServiceHosts::current().liveTiming;
        auto inner = registry->handlerFor(host);
        EXPECT_TRUE(inner) << "the offline season answers no " << host;
        if (!inner) return held;
        // Held weakly: a transfer still running after the test answers as the season does.
        registry->registerHandler(host, [weak = std::weak_ptr<HeldBackIndex>(held), inner = *inner](const net::Request& request)
                                            -> std::expected<net::ProtocolAnswer, net::URLError> {
            auto self = weak.lock();
            const std::string path = request.url ? request.url->path() : "";
            if (!self) return inner(request);
            // A session's files lie in its folder: one right under the static base is no session's.
            if (path.size() > 8 && path.starts_with("/static/") && std::isupper(static_cast<unsigned char>(path[8])))
                self->readAFileOfNoSession_ = true;
            if (path != self->path_ || self->released_) return inner(request);
            net::HTTPHeaders headers;
            headers.add("Location", self->server_.text() + self->path_.substr(1));
            return net::ProtocolAnswer{net::Response::make(request.url, 307, std::move(headers)), {}};
        });
        return held;
    }
    ~HeldBackIndex() { abandoned_ = true; }

    void release() { released_ = true; }
    bool readAFileOfNoSession() const { return readAFileOfNoSession_; }

private:
    explicit HeldBackIndex(std::string path) : path_(std::move(path)) {}

    const std::string path_;
    std::string index_;
    std::atomic<bool> released_ = false, abandoned_ = false, readAFileOfNoSession_ = false;
    // Last, so it goes first: its thread may be waiting in the answer below.
    RawServer server_{[this](int connection) {
        while (!released_ && !abandoned_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (abandoned_) return;
        RawServer::send(connection, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                        std::to_string(index_.size()) + "\r\nConnection: close\r\n\r\n" + index_);
    }};
};

// A live race opened before the season's live-timing index has arrived: the screen says it waits for
// the session list and reads no file of a session meanwhile; once the index is here, it shows the race.
TEST_F(WalkThrough, aLiveRaceOpenedBeforeTheIndexHasArrivedShowsTheRaceOnceItHas) {
    startClockAt("2023-03-05T15:40:00Z");
    // As the app starts: no season and no index yet, whatever an earlier walk in this process loaded.
    GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
    auto held = HeldBackIndex::start("2023");
    auto live = [&] { return std::dynamic_pointer_cast<LiveViewController>(overSheet()); };
    auto liveStill = [&] { return live() && !live()->isBeingPresented() && releasesPending == 0; };
    auto stateText = [&] {
        auto state = stateRowOf(*live()->tableView[0]);
        return state ? state->title->text() : std::string();
    };
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    steps.insert(steps.end(), {
        {"the live race waiting for the index",
         [&] { return liveStill() && settled() && stateText() == "Loading the live timing's session list\u2026"; },
         [&] {
             (void)windowShot("31-live-race-before-the-index");
             EXPECT_EQ(live()->path, "");
             EXPECT_TRUE(GlobalStruct::meetings().empty()) << "the index was not held back";
             held->release();
         }},
        {"the live race", [&] { return liveStill() && !live()->raceResults.empty() && settled(); },
         [&] {
             (void)windowShot("32-live-race-once-the-index-came");
             EXPECT_EQ(live()->path, "2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/");
             pushKey(SDLK_ESCAPE);
         }},
    });
    walk(std::move(steps), 90);
    EXPECT_FALSE(held->readAFileOfNoSession()) << "a file of no session was read";
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The driver of the day of a race of another season, and the screens' status lines.

#include "cells/DriverOfTheDayCell.h"
#include "cells/TicketsCell.h"
#include "cells/VoteCell.h"
#include "ui/Application.h"
#include "ui/Label.h"
#include "weekend/FutureDetailsViewController.h"

namespace {

// A desktop with no web browser: every link is refused.
class NoBrowser final : public ui::URLOpener {
public:
    bool open(const foundation::URL&) override { return false; }
    ui::DocumentOpenOutcome openDocument(const std::filesystem::path&, const std::string&) override {
        return ui::DocumentOpenOutcome::noApplication;
    }
};

// The whole of a label's text fits in its frame, wrapped at its width.
bool readsWhole(const ui::Label& label) {
    ui::Label whole;
    whole.setFont(label.font());
    whole.setNumberOfLines(0);
    whole.setText(label.text());
    return whole.sizeThatFits({label.frame().width(), 10000}).height <= label.frame().height() + 0.5;
}

class SeasonsAndStatuses : public WalkThrough {
protected:
    std::shared_ptr<PastDetailsViewController> race() const {
        return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet());
    }
    // Settled but for the weather card's turning fans, which never stop.
    bool still() const {
        auto over = overSheet();
        return releasesPending == 0 && over && !over->isBeingPresented() && !over->isBeingDismissed();
    }
    // Picks `year` in the season sheet's menu and opens its first race.
    std::vector<Script::Step> openFirstRaceOf(const std::string& year) {
        return {
            {"home before " + year, [this] { return homeShown(); },
             [this] { click(centreInWindow(*sheet()->yearButton, sheet()->yearButton->bounds())); }},
            {"the year menu for " + year, [this] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
             [this, year] { pickYear(year); }},
            {"the " + year + " season", [this, year] { return GlobalStruct::racesSeason() == year && homeShown(); },
             [this] { sheet()->tableView->scrollToRow({0, 0}, ui::TableViewScrollPosition::top, false); }},
            {"the " + year + " season's first row", [this] { return settled(); },
             [this] {
                 auto table = sheet()->tableView;
                 click(centreInWindow(*table, table->rectForRow({0, 0})));
             }},
        };
    }
    // On the open race: its driver-of-the-day card shows `winner`, or says that none is available.
    std::vector<Script::Step> checkDriverOfTheDay(const std::string& year, std::optional<std::string> winner) {
        std::string shot = "dotd-" + year + (winner ? "-winner" : "-not-available");
        return {
            {year + " Bahrain's polls read",
             [this, year] { return race() && race()->race() && race()->race()->season == year && race()->driverOfTheDayLoaded && still(); },
             [this] { race()->tableView[0]->scrollToRow({4, 0}, ui::TableViewScrollPosition::top, false); }},
            {year + " Bahrain's driver of the day", [this] { return still(); },
             [this, shot, winner, year] {
                 pushKey(SDLK_ESCAPE);  // read before it closes the race, and closes it whatever is read
                 (void)windowShot(shot);
                 SCOPED_TRACE(year + " Bahrain at " + std::to_string(foundation::Date::now().timeIntervalSince1970()));
                 EXPECT_EQ(race()->race()->raceName, "Bahrain Grand Prix");
                 auto card = race()->tableView[0]->cellForRow({4, 0});
                 if (winner) {
                     auto shown = std::dynamic_pointer_cast<DriverOfTheDayCell>(card);
                     ASSERT_TRUE(shown) << "no winner on the card";
                     EXPECT_EQ(shown->driver->text(), *winner);
                 } else {
                     EXPECT_TRUE(race()->driverOfTheDayResults.empty())
                         << "another season's winner: " << race()->driverOfTheDayResults.front().lastName;
                     auto state = std::dynamic_pointer_cast<StateCell>(card);
                     ASSERT_TRUE(state) << "the card shows a driver";
                     EXPECT_EQ(state->title->text(), "The driver of the day is not available for this race.");
                 }
             }},
        };
    }
    static void append(std::vector<Script::Step>& steps, std::vector<Script::Step> more) {
        steps.insert(steps.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
};

// Before the 2023 season the polls hold no 2022 race: its Bahrain shows no winner, before and after
// another year was picked in between.
TEST_F(SeasonsAndStatuses, beforeTheSeasonLastSeasonsRaceShowsNoDriverOfTheDayOfThisOne) {
    startClockAt("2023-02-01T12:00:00Z");
    std::vector<Script::Step> steps;
    append(steps, openFirstRaceOf("2022"));
    append(steps, checkDriverOfTheDay("2022", std::nullopt));
    steps.push_back({"the 2022 race gone", [this] { return !overSheet() && settled(); },
                     [this] { click(centreInWindow(*sheet()->yearButton, sheet()->yearButton->bounds())); }});
    steps.push_back({"the year menu for 2023", [this] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
                     [this] { pickYear("2023"); }});
    steps.push_back({"the 2023 season", [] { return GlobalStruct::racesSeason() == "2023"; }, [] {}});
    append(steps, openFirstRaceOf("2022"));
    append(steps, checkDriverOfTheDay("2022", std::nullopt));
    walk(std::move(steps), 120);
}

// Once 2023's Bahrain is run, its card shows its poll's winner, and 2022's Bahrain of the same name
// still shows none, whichever year was picked before.
TEST_F(SeasonsAndStatuses, aPollShowsOnlyOnTheRaceOfItsOwnSeason) {
    startClockAt("2023-03-10T12:00:00Z");
    std::vector<Script::Step> steps = stepsToTheFirstRace();
    append(steps, checkDriverOfTheDay("2023", "Max Verstappen"));
    append(steps, openFirstRaceOf("2022"));
    append(steps, checkDriverOfTheDay("2022", std::nullopt));
    append(steps, openFirstRaceOf("2023"));
    append(steps, checkDriverOfTheDay("2023", "Max Verstappen"));
    walk(std::move(steps), 150);
}

// A link that opens nothing says why in the screen's header, whole, and no button moves: the news
// header under an article, then again once the news was closed and opened; the extras card of an
// upcoming race under Where to Watch; the live race's vote card under Vote Now.
TEST_F(SeasonsAndStatuses, aStatusLineReadsWholeAndMovesNoButton) {
    ui::setURLOpener(std::make_shared<NoBrowser>());
    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    auto future = [&] { return std::dynamic_pointer_cast<FutureDetailsViewController>(overSheet()); };
    auto newsHeader = [&] { return std::dynamic_pointer_cast<DetailHeaderCell>(news()->tableView[0]->cellForRow({0, 0})); };
    auto picker = [&]() -> ui::Rect {
        auto row = std::dynamic_pointer_cast<LapPickerCell>(news()->tableView[0]->cellForRow({1, 0}));
        return row ? row->lap->convertRectTo(row->lap->bounds(), nullptr) : ui::Rect{};
    };
    auto extras = [&] { return std::dynamic_pointer_cast<ExternalLinksCell>(future()->tableView[0]->cellForRow({4, 0})); };
    auto live = [&] { return std::dynamic_pointer_cast<LiveViewController>(overSheet()); };
    auto voteCard = [&] {
        return std::dynamic_pointer_cast<VoteCell>(live()->tableView[0]->cellForRow({6, 0}));  // after the messages
    };
    auto inWindow = [](const ui::View& view) { return view.convertRectTo(view.bounds(), nullptr); };
    ui::Rect pickerAtFirst, watchAtFirst, ticketsAtFirst, voteAtFirst;
    const std::string newsFailure = "Could not open the article: no web browser answered.";
    auto tapArticle = [&] {
        auto table = news()->tableView[0];
        click(centreInWindow(*table, table->rectForRow({2, 0})));
    };
    auto expectNewsStatus = [&](const std::string& shot) {
        pushKey(SDLK_ESCAPE);  // read before it closes the news, and closes it whatever is read
        (void)windowShot(shot);
        auto header = newsHeader();
        ASSERT_TRUE(header);
        EXPECT_EQ(header->circuit->text(), newsFailure);
        EXPECT_TRUE(readsWhole(*header->circuit)) << "cut: " << header->circuit->frame().height();
        EXPECT_EQ(picker(), pickerAtFirst) << "the source button moved";
    };
    // A card's status under a refused link: read whole (Escape first, as for the news).
    auto expectCardStatus = [&](const std::string& shot, const auto& cardOf, const std::string& text) {
        pushKey(SDLK_ESCAPE);
        (void)windowShot(shot);
        auto card = cardOf();
        ASSERT_TRUE(card);
        EXPECT_EQ(card->infoDescription->text(), text);
        EXPECT_TRUE(readsWhole(*card->infoDescription)) << "cut: " << card->infoDescription->frame().height();
    };
    std::vector<Script::Step> steps{
        {"the home screen", [&] { return homeShown(); },
         [&] { click(centreInWindow(*sheet()->newsButton, sheet()->newsButton->bounds())); }},
        {"the news", [&] { return news() && !news()->newsArticles.empty() && newsHeader() && settled(); },
         [&] {
             (void)windowShot("status-news-motto");
             pickerAtFirst = picker();
             EXPECT_EQ(newsHeader()->circuit->text(), "Stay up to date with the world of Formula 1");
             tapArticle();
         }},
        {"the article refused", [&] { return news()->openFailure && settled(); },
         [&] { expectNewsStatus("status-news-article-refused"); }},
        {"the news gone", [&] { return !overSheet() && settled(); },
         [&] { click(centreInWindow(*sheet()->newsButton, sheet()->newsButton->bounds())); }},
        {"the news again", [&] { return news() && !news()->newsArticles.empty() && newsHeader() && settled(); },
         [&] {
             EXPECT_EQ(newsHeader()->circuit->text(), "Stay up to date with the world of Formula 1");
             EXPECT_EQ(picker(), pickerAtFirst);
             tapArticle();
         }},
        {"the article refused again", [&] { return news()->openFailure && settled(); },
         [&] { expectNewsStatus("status-news-article-refused-again"); }},
        {"the news gone again", [&] { return !overSheet() && settled(); },
         [&] { sheet()->tableView->scrollToRow({0, 4}, ui::TableViewScrollPosition::top, false); }},
        {"round 5 in view", [&] { return settled(); },
         [&] {
             auto table = sheet()->tableView;
             click(centreInWindow(*table, table->rectForRow({0, 4})));  // Miami, upcoming
         }},
        {"an upcoming race", [&] { return future() && settled(); },
         [&] { future()->tableView[0]->scrollToRow({4, 0}, ui::TableViewScrollPosition::top, false); }},
        {"its extras", [&] { return extras() && settled(); },
         [&] {
             (void)windowShot("status-extras");
             watchAtFirst = inWindow(*extras()->watch);
             ticketsAtFirst = inWindow(*extras()->tickets);
             click(centreInWindow(*extras()->watch, extras()->watch->bounds()));
         }},
        {"where to watch refused", [&] { return future()->linkFailure && extras() && settled(); },
         [&] {
             expectCardStatus("status-extras-refused", extras, "Could not open where to watch: no web browser answered.");
             EXPECT_EQ(inWindow(*extras()->watch), watchAtFirst) << "Where to Watch moved";
             EXPECT_EQ(inWindow(*extras()->tickets), ticketsAtFirst) << "Book Tickets moved";
         }},
        {"the upcoming race gone", [&] { return !overSheet() && settled(); },
         [&] { sheet()->tableView->scrollToRow({0, 3}, ui::TableViewScrollPosition::top, false); }},
        {"round 4 in view", [&] { return settled(); },
         [&] {
             auto table = sheet()->tableView;
             click(centreInWindow(*table, table->rectForRow({0, 3})));  // under way
         }},
        {"the live race", [&] { return live() && !live()->raceResults.empty() && still(); },
         [&] { live()->tableView[0]->scrollToRow({6, 0}, ui::TableViewScrollPosition::top, false); }},
        {"its vote card", [&] { return voteCard() && still(); },
         [&] {
             (void)windowShot("status-vote");
             voteAtFirst = inWindow(*voteCard()->vote);
             click(centreInWindow(*voteCard()->vote, voteCard()->vote->bounds()));
         }},
        {"the vote refused", [&] { return live()->voteFailure && voteCard() && still(); },
         [&] {
             expectCardStatus("status-vote-refused", voteCard, "Could not open the vote: no web browser answered.");
             EXPECT_EQ(inWindow(*voteCard()->vote), voteAtFirst) << "Vote Now moved";
         }},
    };
    walk(std::move(steps), 120);
    ui::setURLOpener(nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// What the screens say when something did not load: a season, a year picked, a feed; and the offline
// season's gaps, which are no failure.

#include "cells/NewsCell.h"
#include "cells/RaceStandingsCell.h"
#include "net/ProtocolRegistry.h"
#include "net/SnapshotProtocol.h"
#include "standings-news/PredictionsViewController.h"

namespace {

class ToldAsItIs : public WalkThrough {
protected:
    // Each walk starts as the app does, with no season held: one an earlier walk of this process left
    // would stand in for a load that fails.
    void SetUp() override {
        WalkThrough::SetUp();
        GlobalStruct::storeRaces(GlobalStruct::beginSeasonLoad(""), {});
    }
    void TearDown() override {
        for (const auto& host : ownHosts) net::ProtocolRegistry::global()->unregisterHandler(host);
        WalkThrough::TearDown();
    }

    // `host` answered by `handler` until the walk ends.
    void answerAt(const std::string& host, net::ProtocolHandler handler) {
        net::ProtocolRegistry::global()->registerHandler(host, std::move(handler));
        ownHosts.push_back(host);
    }
    // The offline season's answers for `host`, but `path`'s, which is `body` (status 200).
    void replaceDocument(const std::string& host, std::string path, std::string body) {
        auto recorded = net::ProtocolRegistry::global()->handlerFor(host);
        ASSERT_TRUE(recorded);
        answerAt(host, [recorded = *recorded, path = std::move(path), body = std::move(body)](const net::Request& request) {
            if (request.url && request.url->path() == path)
                return std::expected<net::ProtocolAnswer, net::URLError>(net::ProtocolAnswer{
                    net::Response::make(request.url, 200, {{"Content-Type", "application/json"}}), foundation::Data::fromString(body)});
            return recorded(request);
        });
    }
    // The real services, every one of them refusing the connection, with the clock at `now`.
    void goLiveWithEveryHostRefused(const char* now) {
        season.stop();
        startClockAt(now);
        const ServiceHosts hosts = ServiceHosts::current();
        for (const auto& host : {hosts.resultsAPI, hosts.liveTiming, hosts.polls, hosts.mediaImages, hosts.flagImages,
                                 hosts.fiaNews, hosts.autosportNews, hosts.gpblogNews, hosts.bbcNews, hosts.shiftF1News,
                                 std::string("www.formula1.com")})
            answerAt(host, [](const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
                return std::unexpected(net::URLError(net::URLError::cannotConnectToHost, request.url->absoluteString()));
            });
    }

    // The sheet up, no load running, nothing moving: what a failed load leaves.
    bool sheetAtRest() const { return sheet() && !map()->isLoading() && settled(); }
    std::string status() const { return sheet()->statusLabel->isHidden() ? std::string() : sheet()->statusLabel->text(); }
    void tap(const std::shared_ptr<ui::View>& view) { click(centreInWindow(*view, view->bounds())); }
    // Picks `title` in the popup shown, its row scrolled into the list's view first.
    void pickScrolledEntry(const std::string& title) {
        auto popup = ui::MenuPopup::shown(*host->window());
        ASSERT_TRUE(popup);
        const auto& children = popup->menu()->children;
        for (std::size_t index = 0; index < children.size(); ++index) {
            if (children[index].title != title) continue;
            ui::Rect row = popup->rowFrame(index);
            auto list = popup->list();
            double bottom = list->bounds().height();
            if (row.minY() < list->contentOffset().y || row.maxY() > list->contentOffset().y + bottom)
                list->setContentOffset({0, std::max(0.0, row.maxY() - bottom)});
            click(centreInWindow(*list, row));
            return;
        }
        ADD_FAILURE() << "no entry " << title;
    }
    // The year menu shown opens with `year`'s entry in its view, whether or not it is ticked.
    void expectMenuOpenAt(const std::string& year) {
        auto popup = ui::MenuPopup::shown(*host->window());
        ASSERT_TRUE(popup);
        const auto& children = popup->menu()->children;
        for (std::size_t index = 0; index < children.size(); ++index) {
            if (children[index].title != year) continue;
            ui::Rect row = popup->rowFrame(index);
            double top = popup->list()->contentOffset().y;
            EXPECT_GE(row.minY(), top - 0.5) << year << " is above the menu's view";
            EXPECT_LE(row.maxY(), top + popup->list()->bounds().height() + 0.5) << year << " is below the menu's view";
            return;
        }
        ADD_FAILURE() << "no entry " << year;
    }
    std::vector<std::string> tickedYears() const {
        std::vector<std::string> ticked;
        for (const auto& action : sheet()->yearButton->menu()->children)
            if (action.state == ui::MenuElementState::on) ticked.push_back(action.title);
        return ticked;
    }
    // The window's pixels of `view` that are drawn in the alarm red.
    int redPixelsOf(const gfx::Bitmap& shot, const ui::View& view) {
        ui::Rect frame = view.convertRectTo(view.bounds(), nullptr);
        int red = 0;
        for (double y = std::max(0.0, frame.minY()); y < std::min(844.0, frame.maxY()); y += 1)
            for (double x = std::max(0.0, frame.minX()); x < std::min(390.0, frame.maxX()); x += 1) {
                Rgb p = rgbAt(shot, x, y);
                red += p.r > 200 && p.g < 110 && p.b < 110;
            }
        return red;
    }

    // The row of `table` at `path` names `title` over `line`, in the card's secondary style and no red.
    void expectGap(ui::TableView& table, ui::IndexPath path, const std::string& title, const std::string& line,
                   const std::string& shot) {
        if (!table.cellForRow(path)) table.scrollToRow(path, ui::TableViewScrollPosition::top, false);
        auto state = std::dynamic_pointer_cast<StateCell>(table.cellForRow(path));
        ASSERT_TRUE(state) << title;
        gfx::Bitmap pixels = windowShot(shot);
        EXPECT_EQ(state->title->text(), title);
        EXPECT_EQ(state->detail->text(), line) << title;
        EXPECT_EQ(state->detail->textColor(), gfx::Color::secondaryLabel()) << title;
        EXPECT_FALSE(state->detail->isHidden()) << title;
        EXPECT_EQ(redPixelsOf(pixels, *state), 0) << title << ": told in red";
    }
    // The state row of `table` at `path` says `what` could not be loaded, in red, over `why`.
    void expectFailure(ui::TableView& table, ui::IndexPath path, const std::string& what, const std::string& why,
                       const std::string& shot) {
        auto state = std::dynamic_pointer_cast<StateCell>(table.cellForRow(path));
        ASSERT_TRUE(state) << what;
        gfx::Bitmap pixels = windowShot(shot);
        EXPECT_EQ(state->title->text(), what + " could not be loaded.");
        EXPECT_EQ(state->detail->text(), why) << what;
        EXPECT_GT(redPixelsOf(pixels, *state->title), 0) << what << ": a failure is told in red";
    }
    std::shared_ptr<LiveViewController> live() const { return std::dynamic_pointer_cast<LiveViewController>(overSheet()); }
    // The live screen up and still but for its turning fans, its weather row scrolled into view and read.
    bool liveWeatherRead() const {
        auto screen = live();
        if (!screen || releasesPending > 0 || screen->isBeingPresented()) return false;
        auto& table = *screen->tableView[0];
        auto state = std::dynamic_pointer_cast<StateCell>(table.cellForRow({LiveViewController::weatherSection, 0}));
        return state && !state->title->text().starts_with("Loading");
    }
    void scrollToLiveWeather() {
        live()->tableView[0]->scrollToRow({LiveViewController::weatherSection, 0}, ui::TableViewScrollPosition::top, false);
    }
    void openSeasonRow(int row) {
        sheet()->tableView->scrollToRow({0, row}, ui::TableViewScrollPosition::top, false);
        click(centreInWindow(*sheet()->tableView, sheet()->tableView->rectForRow({0, row})));
    }

    std::vector<std::string> ownHosts;
};

// A damaged current calendar (three races of 2023 run by the clock) shows no season: the standings
// button waits dimmed, and tapped it keeps saying why there is no season, never that no race was
// run. Another season picked then loads, and its standings open; then 2023 again.
TEST_F(ToldAsItIs, aSeasonThatDidNotLoadIsNeverToldAsASeasonWithNoRaceRun) {
    replaceDocument(ServiceHosts::current().resultsAPI, "/api/f1/current.json", "{\"MRData\": damaged");
    const std::string noSeason =
        "No season to show: its calendar could not be loaded. The offline season holds it damaged. Pick a year to try again.";
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    walk({
             {"no season", [&] { return sheetAtRest() && !status().empty(); },
              [&] {
                  (void)windowShot("30-no-season");
                  EXPECT_EQ(status(), noSeason);
                  EXPECT_TRUE(readsWhole(*sheet()->statusLabel)) << "cut: " << sheet()->statusLabel->frame().height();
                  EXPECT_EQ(sheet()->standingsButton->alpha(), 0.25) << "a button with nothing behind it is dimmed";
                  tap(sheet()->standingsButton);
              }},
             {"the standings tapped", [&] { return sheetAtRest(); },
              [&] {
                  (void)windowShot("30-no-season-standings-tapped");
                  EXPECT_FALSE(overSheet());
                  EXPECT_EQ(status(), noSeason);
                  tap(sheet()->yearButton);
              }},
             {"the year menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
              [&] {
                  (void)windowShot("30-no-season-year-menu");
                  EXPECT_TRUE(tickedYears().empty()) << tickedYears().front() << " ticked, no season shown";
                  expectMenuOpenAt("2023");
                  pickScrolledEntry("2022");
              }},
             {"the 2022 season", [&] { return GlobalStruct::racesSeason() == "2022" && sheetAtRest() && homeShown(); },
              [&] {
                  EXPECT_EQ(status(), "");
                  EXPECT_EQ(sheet()->navTitle->text(), "2022 Races");
                  EXPECT_EQ(sheet()->standingsButton->alpha(), 1.0);
                  tap(sheet()->standingsButton);
              }},
             {"2022's standings", [&] { return standings() && settled(); },
              [&] {
                  (void)windowShot("30-2022-standings");
                  pushKey(SDLK_ESCAPE);
              }},
             {"2022's standings gone", [&] { return !overSheet() && settled(); }, [&] { tap(sheet()->yearButton); }},
             {"the year menu again", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
              [&] {
                  EXPECT_EQ(tickedYears(), std::vector<std::string>{"2022"});
                  pickScrolledEntry("2023");
              }},
             {"the 2023 season", [&] { return GlobalStruct::racesSeason() == "2023" && sheetAtRest() && homeShown(); },
              [&] {
                  (void)windowShot("30-2023-picked");
                  EXPECT_EQ(sheet()->navTitle->text(), "2023 Races");
                  EXPECT_EQ(sheet()->standingsButton->alpha(), 1.0) << "three of its races are run";
              }},
         },
         90);
}

// Live, with every host refusing: no year is ticked while no season is shown; a year picked that
// fails is named by the line and the header, and so is the next, and the first again.
TEST_F(ToldAsItIs, aYearPickedThatFailsIsNamedAndNoYearIsTickedWithoutASeason) {
    goLiveWithEveryHostRefused("2026-04-29T12:00:00Z");
    auto failed = [&](const std::string& year) {
        return "No season to show: the " + year +
               " season could not be loaded. Could not connect to the server. Pick a year to try again.";
    };
    auto pickFromTheMenu = [&](const std::string& year) -> std::vector<Script::Step> {
        return {
            {"the year menu for " + year, [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
             [&, year] {
                 (void)windowShot("31-year-menu-before-" + year);
                 EXPECT_TRUE(tickedYears().empty()) << tickedYears().front() << " ticked, no season shown";
                 expectMenuOpenAt(sheet()->yearButton->title(ui::ControlState::normal).value_or(""));
                 pickScrolledEntry(year);
             }},
            {year + " failed", [&, year] { return sheetAtRest() && status().find(year) != std::string::npos; },
             [&, year] {
                 (void)windowShot("31-" + year + "-failed");
                 EXPECT_EQ(status(), failed(year));
                 EXPECT_TRUE(readsWhole(*sheet()->statusLabel)) << "cut: " << sheet()->statusLabel->frame().height();
                 EXPECT_EQ(sheet()->navTitle->text(), year + " Races");
                 EXPECT_EQ(sheet()->yearButton->title(ui::ControlState::normal), year);
                 EXPECT_EQ(sheet()->standingsButton->alpha(), 0.25);
                 tap(sheet()->standingsButton);
             }},
            {year + "'s standings tapped", [&] { return sheetAtRest(); },
             [&, year] {
                 EXPECT_FALSE(overSheet());
                 EXPECT_EQ(status(), failed(year));
                 tap(sheet()->yearButton);
             }},
        };
    };
    std::vector<Script::Step> steps{
        {"no season", [&] { return sheetAtRest() && !status().empty(); },
         [&] {
             (void)windowShot("31-no-season");
             EXPECT_EQ(status(), "No season to show: its calendar could not be loaded. Could not connect to the server. "
                                 "Pick a year to try again.");
             EXPECT_EQ(sheet()->navTitle->text(), "2026 Races");
             EXPECT_EQ(sheet()->standingsButton->alpha(), 0.25);
             tap(sheet()->yearButton);
         }},
    };
    for (const char* year : {"2023", "2019", "2023"}) {
        auto more = pickFromTheMenu(year);
        steps.insert(steps.end(), more.begin(), more.end());
    }
    steps.push_back({"the last menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
                     [] { pushKey(SDLK_ESCAPE); }});
    walk(std::move(steps), 90);
}

// The news, live: each feed that fails says what failed (an answer that is no feed, no connection, the
// server's status, a feed past its limits) and a feed that reads lists its articles; the first source
// again, and again once the news was closed and opened.
TEST_F(ToldAsItIs, aFeedThatFailsSaysWhatFailedNeverThatItIsEmpty) {
    goLiveWithEveryHostRefused("2026-04-29T12:00:00Z");
    const ServiceHosts hosts = ServiceHosts::current();
    auto answer = [](int status, std::string body) {
        return [status, body = std::move(body)](const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
            return net::ProtocolAnswer{net::Response::make(request.url, status, {{"Content-Type", "application/rss+xml"}}),
                                       foundation::Data::fromString(body)};
        };
    };
    auto items = [](int count) {
        std::string feed = "<rss><channel><title>Feed</title>";
        for (int item = 0; item < count; ++item)
            feed += "<item><title>Article " + std::to_string(item + 1) + "</title><link>https://feed.test/" +
                    std::to_string(item + 1) + "</link><pubDate>Tue, 28 Apr 2026 10:00:00 +0000</pubDate></item>";
        return feed + "</channel></rss>";
    };
    answerAt(hosts.fiaNews, answer(200, "<html><body>The press releases have moved.</body></html>"));
    answerAt(hosts.gpblogNews, answer(503, "<html><body>Down for maintenance</body></html>"));
    answerAt(hosts.bbcNews, answer(200, items(2)));
    answerAt(hosts.shiftF1News, answer(200, items(5'001)));

    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    using Feed = NewsViewController::Feed;
    auto stateOf = [&](int source) { return stateRowOf(*news()->tableView[source]); };
    auto picker = [&] { return std::dynamic_pointer_cast<LapPickerCell>(news()->tableView[news()->eventType]->cellForRow({1, 0})); };
    // Source `source` failed: its row says so in red, with what failed under it.
    auto expectFailed = [&](int source, const std::string& name, const std::string& why, const std::string& shot) {
        auto state = stateOf(source);
        ASSERT_TRUE(state) << name;
        gfx::Bitmap pixels = windowShot(shot);
        EXPECT_EQ(state->title->text(), "The " + name + " articles could not be loaded.");
        EXPECT_EQ(state->detail->text(), why + " Try again later.");
        EXPECT_GT(redPixelsOf(pixels, *state->title), 0) << name << ": a failure is told in red";
    };
    auto choose = [&](const std::string& name) -> std::vector<Script::Step> {
        return {
            {"the source menu for " + name, [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
             [&, name] { pickEntry(name); }},
        };
    };
    auto settledOn = [&](int source, Feed feed) {
        return news() && news()->eventType == source && news()->feeds[source] == feed && settled();
    };
    std::vector<Script::Step> steps{
        {"no season", [&] { return sheetAtRest() && !status().empty(); }, [&] { tap(sheet()->newsButton); }},
        {"the FIA", [&] { return settledOn(0, Feed::failed) && picker(); },
         [&] {
             expectFailed(0, "FIA", "The answer is not an RSS feed.", "32-fia-not-a-feed");
             tap(picker()->lap);
         }},
    };
    auto then = [&](const std::string& name, int source, Feed feed, std::function<void()> check) {
        auto more = choose(name);
        steps.insert(steps.end(), more.begin(), more.end());
        steps.push_back({name, [&, source, feed] { return settledOn(source, feed) && picker(); },
                         [&, check] {
                             check();
                             tap(picker()->lap);
                         }});
    };
    then("AutoSport", 1, Feed::failed,
         [&] { expectFailed(1, "AutoSport", "Could not connect to the server.", "32-autosport-refused"); });
    then("GPBlog", 2, Feed::failed,
         [&] { expectFailed(2, "GPBlog", "The server answered 503 Service Unavailable.", "32-gpblog-503"); });
    then("BBC", 3, Feed::read, [&] {
        (void)windowShot("32-bbc-read");
        ASSERT_EQ(news()->newsArticles4.size(), 2u);
        EXPECT_TRUE(std::dynamic_pointer_cast<NewsCell>(news()->tableView[3]->cellForRow({2, 0})));
    });
    then("ShiftF1", 4, Feed::failed,
         [&] { expectFailed(4, "ShiftF1", "The feed holds more than 5,000 articles.", "32-shiftf1-past-its-limit"); });
    auto back = choose("FIA");
    steps.insert(steps.end(), back.begin(), back.end());
    steps.insert(steps.end(), {
        {"the FIA again", [&] { return settledOn(0, Feed::failed); },
         [&] {
             expectFailed(0, "FIA", "The answer is not an RSS feed.", "32-fia-again");
             pushKey(SDLK_ESCAPE);
         }},
        {"the news gone", [&] { return !overSheet() && settled(); }, [&] { tap(sheet()->newsButton); }},
        {"the news again", [&] { return settledOn(0, Feed::failed); },
         [&] {
             expectFailed(0, "FIA", "The answer is not an RSS feed.", "32-news-again");
             pushKey(SDLK_ESCAPE);
         }},
    });
    walk(std::move(steps), 90);
}

// The offline season's gaps are no failure: Australia's results, fastest lap, weather, predictions and
// pit stops, which the recording does not hold, are named once in the cards' secondary style, before
// and after the race was closed and opened again; so are Bahrain's laps from lap 5, between which lap
// 1 shows its times. What did fail (Bahrain's qualifying, damaged here) stays red.
TEST_F(ToldAsItIs, theOfflineSeasonsGapsAreToldCalmlyAndOnlyFailuresInRed) {
    replaceDocument(ServiceHosts::current().resultsAPI, "/api/f1/2023/1/qualifying.json", "{\"MRData\": damaged");
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    auto over = [&] { return race() ? race()->presentedViewController() : nullptr; };
    auto still = [&] {
        auto shown = overSheet();
        return releasesPending == 0 && shown && !shown->isBeingPresented() && !shown->isBeingDismissed() &&
               (!over() || (!over()->isBeingPresented() && !over()->isBeingDismissed()));
    };
    auto laps = [&] { return std::dynamic_pointer_cast<LapsViewController>(over()); };
    auto lapPicker = [&] { return std::dynamic_pointer_cast<LapPickerCell>(laps()->tableView[0]->cellForRow({1, 0})); };
    auto expectCalm = [&](ui::TableView& table, ui::IndexPath path, const std::string& title, const std::string& shot,
                          const std::string& line = "Not recorded in the offline season") {
        expectGap(table, path, title, line, shot);
    };
    auto openRow = [&](int row) {
        sheet()->tableView->scrollToRow({0, row}, ui::TableViewScrollPosition::top, false);
        click(centreInWindow(*sheet()->tableView, sheet()->tableView->rectForRow({0, row})));
    };
    auto australiaRead = [&] {
        return race() && race()->raceRound == 3 && race()->resultsAnswered[0] && race()->weatherCouldNotLoad &&
               race()->predictionsCouldNotLoad && still();
    };
    auto expectAustraliasCards = [&](const std::string& shot) {
        auto& table = *race()->tableView[0];
        expectCalm(table, {2, 0}, "Race results", shot + "-results");
        expectCalm(table, {4, 0}, "Driver of the day", shot + "-driver-of-the-day",
                   "No driver of the day was recorded for this race.");
        expectCalm(table, {5, 0}, "Fastest lap", shot + "-fastest-lap");
        expectCalm(table, {11, 0}, "Weather", shot + "-weather");
    };
    std::vector<Script::Step> steps{
        {"the home screen", [&] { return homeShown(); }, [&] { openRow(2); }},
        {"Australia", australiaRead,
         [&] {
             expectAustraliasCards("33-australia");
             (void)cardAt<RaceStandingsCell>(*race()->tableView[0], {8, 0});
         }},
        // A card is tapped once its list has come to rest where it was scrolled.
        {"its predictions card", [&] { return still() && cardAt<RaceStandingsCell>(*race()->tableView[0], {8, 0}); },
         [&] { tap(cardAt<RaceStandingsCell>(*race()->tableView[0], {8, 0})->drivers); }},
        {"its predictions", [&] { return std::dynamic_pointer_cast<PredictionsViewController>(over()) && still(); },
         [&] {
             expectCalm(*std::dynamic_pointer_cast<PredictionsViewController>(over())->tableView[0], {2, 0},
                        "Drivers' predictions", "33-australia-predictions");
             pushKey(SDLK_ESCAPE);
         }},
        {"its predictions gone", [&] { return !over() && still(); },
         [&] { (void)cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0}); }},
        {"its breakdown card", [&] { return still() && cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0}); },
         [&] { tap(cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0})->pitStop); }},
        {"its pit stops", [&] { return laps() && laps()->showsPitStops() && still(); },
         [&] {
             expectCalm(*laps()->tableView[1], {2, 0}, "Pit stops", "33-australia-pit-stops");
             pushKey(SDLK_ESCAPE);
         }},
        {"its pit stops gone", [&] { return !over() && still(); }, [] { pushKey(SDLK_ESCAPE); }},
        {"Australia gone", [&] { return !overSheet() && settled(); }, [&] { openRow(2); }},
        {"Australia again", australiaRead,
         [&] {
             expectAustraliasCards("33-australia-again");
             pushKey(SDLK_ESCAPE);
         }},
        {"Australia gone again", [&] { return !overSheet() && settled(); }, [&] { openRow(0); }},
        {"Bahrain", [&] { return race() && race()->raceRound == 1 && race()->resultsAnswered[1] && still(); },
         [&] { (void)cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0}); }},
        {"Bahrain's breakdown card", [&] { return still() && cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0}); },
         [&] { tap(cardAt<RaceBreakdownCell>(*race()->tableView[0], {6, 0})->lap); }},
    };
    // Lap 9 and lap 5 are not recorded, lap 1 is; each picked from the lap menu.
    for (const char* lap : {"9", "1", "5"}) {
        steps.push_back({std::string("the lap menu for ") + lap,
                         [&] { return laps() && !laps()->showsPitStops() && lapPicker() && still(); },
                         [&] { tap(lapPicker()->lap); }});
        steps.push_back({std::string("the lap menu open for ") + lap, [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; },
                         [&, lap] { pickScrolledEntry(lap); }});
        steps.push_back({std::string("lap ") + lap,
                         [&, lap] { return lapPicker() && lapPicker()->lap->title(ui::ControlState::normal) == lap && still(); },
                         [&, lap] {
                             if (std::string(lap) == "1") {
                                 (void)windowShot("33-bahrain-lap-1");
                                 EXPECT_FALSE(laps()->lapsResults.empty());
                                 EXPECT_TRUE(std::dynamic_pointer_cast<DriverCell>(laps()->tableView[0]->cellForRow({2, 0})));
                             } else {
                                 expectCalm(*laps()->tableView[0], {2, 0}, std::string("Times of lap ") + lap,
                                            std::string("33-bahrain-lap-") + lap);
                             }
                         }});
    }
    steps.insert(steps.end(), {
        {"the laps left", [&] { return still(); }, [] { pushKey(SDLK_ESCAPE); }},
        {"the laps gone", [&] { return !over() && still(); },
         [&] {
             auto tabs = cardAt<EventPickerCell>(*race()->tableView[0], {1, 0});
             ASSERT_TRUE(tabs);
             tap(tabs->event);
         }},
        {"the tab menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickEntry("Qualifying"); }},
        {"its qualifying", [&] { return race()->eventType == 1 && still(); },
         [&] {
             auto state = cardAt<StateCell>(*race()->tableView[1], {2, 0});
             ASSERT_TRUE(state);
             gfx::Bitmap pixels = windowShot("33-bahrain-qualifying-damaged");
             EXPECT_EQ(state->title->text(), "The qualifying results could not be loaded.");
             EXPECT_EQ(state->detail->text(), "The offline season holds it damaged.");
             EXPECT_GT(redPixelsOf(pixels, *state->title), 0) << "a failure is told in red";
             pushKey(SDLK_ESCAPE);
         }},
    });
    walk(std::move(steps), 90);
}

// The live screen's weather is told as the finished weekend's is: the Baku sprint's, which the offline
// season never recorded, named calmly in the card's secondary style, not as readings still to come.
TEST_F(ToldAsItIs, theLiveScreensUnrecordedWeatherIsToldAsAGap) {
    walk({
             {"the home screen", [&] { return homeShown(); }, [&] { openSeasonRow(3); }},
             {"the live sprint", [&] { return live() && !live()->raceResults.empty() && !live()->isBeingPresented(); },
              [&] { scrollToLiveWeather(); }},
             {"its weather", [&] { return liveWeatherRead(); },
              [&] {
                  expectGap(*live()->tableView[0], {LiveViewController::weatherSection, 0}, "Weather",
                            "Not recorded in the offline season", "34-live-weather-not-recorded");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
}

// Bahrain's race under way with the season's live-timing index damaged: the live screen names no session,
// and says why its timing could not be loaded (the damage, not "missing or damaged"); so does its weather.
TEST_F(ToldAsItIs, aLiveRaceWhoseIndexIsDamagedSaysSo) {
    startClockAt("2023-03-05T15:40:00Z");
    replaceDocument(ServiceHosts::current().liveTiming, "/static/2023/Index.json", "{\"Meetings\": damaged");
    auto timingRow = [&] {
        return std::dynamic_pointer_cast<StateCell>(live()->tableView[0]->cellForRow({LiveViewController::driverSection, 0}));
    };
    walk({
             {"the home screen", [&] { return homeShown(); }, [&] { openSeasonRow(0); }},
             {"the live race", [&] {
                  return live() && !live()->isBeingPresented() && releasesPending == 0 && live()->timingCouldNotLoad &&
                         timingRow() && !live()->awaitsSession();
              },
              [&] {
                  EXPECT_EQ(live()->path, "");
                  expectFailure(*live()->tableView[0], {LiveViewController::driverSection, 0}, "The live timing",
                                "The offline season holds it damaged.", "35-live-timing-index-damaged");
                  scrollToLiveWeather();
              }},
             {"its weather", [&] { return liveWeatherRead(); },
              [&] {
                  expectFailure(*live()->tableView[0], {LiveViewController::weatherSection, 0}, "The weather",
                                "The offline season holds it damaged.", "35-live-weather-index-damaged");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Standings that lag the season, the screens' empty states, and the keyboard kept where it was.

namespace {

// At the default clock Australia, round 3, has been run, and the offline season holds standings only
// after round 2: the heading still names Saudi Arabia, and a line under it says that the standings after
// Australia are missing and why, in the header's secondary style, for the drivers and the teams alike.
TEST_F(ToldAsItIs, standingsThatLagTheLastRaceRunSaySoUnderTheirHeading) {
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    auto header = [&](int table) {
        return std::dynamic_pointer_cast<DetailHeaderCell>(standings()->tableView[table]->cellForRow({0, 0}));
    };
    auto expectLagSaid = [&](int table, const std::string& shot) {
        auto shown = header(table);
        ASSERT_TRUE(shown);
        (void)windowShot(shot);
        EXPECT_EQ(shown->time->text(), "Previous Race");
        EXPECT_EQ(shown->race->text(), "Saudi Arabian Grand Prix");
        EXPECT_EQ(shown->note->text(), "Standings after the Australian Grand Prix are not recorded in the offline season.");
        ASSERT_TRUE(shown->note->superview()) << "the line is not on the header";
        EXPECT_TRUE(readsWhole(*shown->note)) << "cut: " << shown->note->frame().height();
        EXPECT_LT(shown->note->textColor().alpha, shown->race->textColor().alpha) << "not in the secondary style";
        ui::Rect note = shown->note->convertRectTo(shown->note->bounds(), nullptr);
        ui::Rect place = shown->location->convertRectTo(shown->location->bounds(), nullptr);
        ui::Rect card = shown->convertRectTo(shown->bounds(), nullptr);
        EXPECT_GE(note.minY(), place.maxY()) << "not under the heading";
        EXPECT_LE(note.maxY(), card.maxY()) << "outside the header";
    };
    walk({
             {"the standings read", [&] { return homeShown() && !sheet()->driverStandings.empty() && !sheet()->teamStandings.empty(); },
              [&] { tap(sheet()->standingsButton); }},
             {"the drivers' standings", [&] { return standings() && header(0) && settled(); },
              [&] {
                  expectLagSaid(0, "37-standings-lagging-drivers");
                  tap(std::dynamic_pointer_cast<EventPickerCell>(standings()->tableView[0]->cellForRow({1, 0}))->event);
              }},
             {"the choice menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickEntry("Team"); }},
             {"the teams' standings", [&] { return standings()->eventType == 1 && header(0) && settled(); },
              [&] {
                  expectLagSaid(0, "37-standings-lagging-teams");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
}

// Nothing to list is told as every other gap is, the list's or card's name over a grey line: a feed read
// with no article and a live weather document whose readings are empty.
TEST_F(ToldAsItIs, aFeedWithoutArticlesAndWeatherWithoutReadingsAreToldAsGaps) {
    answerAt(ServiceHosts::current().fiaNews, [](const net::Request& request) -> std::expected<net::ProtocolAnswer, net::URLError> {
        return net::ProtocolAnswer{net::Response::make(request.url, 200, {{"Content-Type", "application/rss+xml"}}),
                                   foundation::Data::fromString("<rss><channel><title>FIA</title></channel></rss>")};
    });
    replaceDocument(ServiceHosts::current().liveTiming,
                    "/static/2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/WeatherData.json",
                    R"({"AirTemp": "", "Humidity": "", "Pressure": "", "Rainfall": "", "TrackTemp": "", "WindDirection": "", "WindSpeed": ""})");
    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    using Feed = NewsViewController::Feed;
    walk({
             {"the feeds read", [&] { return homeShown() && map() && !sheet()->newsArticles2.empty(); }, [&] { tap(sheet()->newsButton); }},
             {"the FIA read", [&] { return news() && news()->feeds[0] == Feed::read && settled(); },
              [&] {
                  expectGap(*news()->tableView[0], {2, 0}, "FIA articles", "The feed has none right now.", "38-fia-read");
                  pushKey(SDLK_ESCAPE);
              }},
             {"the news gone", [&] { return !overSheet() && settled(); }, [&] { openSeasonRow(3); }},
             {"the live sprint", [&] { return live() && !live()->raceResults.empty() && !live()->isBeingPresented(); },
              [&] { scrollToLiveWeather(); }},
             {"its weather", [&] { return liveWeatherRead(); },
              [&] {
                  expectGap(*live()->tableView[0], {LiveViewController::weatherSection, 0}, "Weather", "No readings yet.",
                            "38-live-weather-without-readings");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
}

// By keys alone: Tab to the news button and the space bar open the news, whose first article the first
// arrow rings, passing over the title card and the source picker; Escape closes it and the keyboard is on
// the news button again, ringed. Tab and the space bar open the standings, whose first arrow rings their
// first entry. Home and an arrow select the season's first race and Return opens it; Tab goes into its
// cards, Escape closes it, and the keyboard is on the race's row again, which Return, and then keypad
// Enter, open again.
TEST_F(WalkThrough, escapeGivesTheKeyboardBackToTheButtonOrRowThatOpenedTheSheet) {
    auto news = [&] { return std::dynamic_pointer_cast<NewsViewController>(overSheet()); };
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    auto focused = [&] { return host->window()->focusedControl(); };
    auto raceStill = [&] { return race() && !race()->isBeingPresented() && releasesPending == 0; };
    walk({
             {"the home screen", [&] { return homeShown(); },
              [&] {
                  pushKey(SDLK_TAB);
                  pushKey(SDLK_TAB);
              }},
             {"the news button focused", [&] { return settled() && focused() == sheet()->newsButton; },
              [&] { pushKey(SDLK_SPACE); }},
             {"the news", [&] { return news() && !news()->newsArticles.empty() && settled(); }, [&] { pushKey(SDLK_DOWN); }},
             {"the news list's row", [&] { return news() && news()->tableView[0]->focusedRow() && settled(); },
              [&] {
                  EXPECT_FALSE(focused()) << "the arrows left the keyboard on a button";
                  EXPECT_EQ(news()->tableView[0]->focusedRow(), (ui::IndexPath{2, 0})) << "the first arrow stopped on a row that does nothing";
                  pushKey(SDLK_ESCAPE);
              }},
             {"the news gone", [&] { return !overSheet() && settled(); },
              [&] {
                  EXPECT_EQ(focused(), sheet()->newsButton) << "the keyboard is not on the button that opened the news";
                  EXPECT_TRUE(ringedInShot(windowShot("39-news-escaped"), *sheet()->newsButton)) << "the news button is not ringed";
                  pushKey(SDLK_TAB);
              }},
             {"the standings button focused", [&] { return settled() && focused() == sheet()->standingsButton; },
              [&] { pushKey(SDLK_SPACE); }},
             {"the standings", [&] { return standings() && !standings()->driverStandings.empty() && settled(); },
              [&] { pushKey(SDLK_DOWN); }},
             {"the standings' first entry", [&] { return standings() && standings()->tableView[0]->focusedRow() && settled(); },
              [&] {
                  EXPECT_EQ(standings()->tableView[0]->focusedRow(), (ui::IndexPath{2, 0}))
                      << "the first arrow stopped on the header or the picker";
                  pushKey(SDLK_ESCAPE);
              }},
             {"the standings gone", [&] { return !overSheet() && settled(); }, [&] { pushKey(SDLK_HOME); }},
             {"the season's first rows", [&] { return settled() && sheet()->tableView->contentOffset().y <= 0.5; },
              [&] { pushKey(SDLK_DOWN); }},
             {"the first race selected", [&] { return settled() && sheet()->tableView->focusedRow() == ui::IndexPath{0, 0}; },
              [&] { pushKey(SDLK_RETURN); }},
             {"the first race", [&] { return raceStill() && !race()->raceResults.empty(); }, [&] { pushKey(SDLK_TAB); }},
             {"a button of its cards", [&] { return raceStill() && focused() && focused()->isDescendant(*race()->view()); },
              [&] { pushKey(SDLK_ESCAPE); }},
             {"the first race gone", [&] { return !overSheet() && settled(); },
              [&] {
                  EXPECT_EQ(sheet()->tableView->focusedRow(), (ui::IndexPath{0, 0})) << "the keyboard is not on the race's row";
                  EXPECT_FALSE(focused());
                  (void)windowShot("39-race-escaped");
                  pushKey(SDLK_RETURN);
              }},
             {"the first race by Return on its ringed row", [&] { return raceStill(); }, [&] { pushKey(SDLK_ESCAPE); }},
             {"the first race gone again", [&] { return !overSheet() && settled(); }, [&] { pushKey(SDLK_KP_ENTER); }},
             {"the first race by keypad Enter", [&] { return raceStill(); }, [&] { pushKey(SDLK_ESCAPE); }},
             {"the first race gone once more", [&] { return !overSheet() && settled(); }, [&] { pushKey(SDLK_DOWN); }},
             {"the second race selected", [&] { return settled() && sheet()->tableView->focusedRow() == ui::IndexPath{0, 1}; }, nullptr},
         },
         120);
}

// The app leaves at once, as when a walk cannot go on.
void quitNow() { push(SDL_QUIT, [](SDL_Event&) {}); }

// By keys alone, the map's route button is in the Tab order: after the season sheet's buttons, ringed
// where it floats over the map; the space bar draws the route, and again hides it.
TEST_F(WalkThrough, tabReachesTheMapsRouteButton) {
    auto focused = [&] { return host->window()->focusedControl(); };
    auto route = [&] { return map()->routeToggle(); };
    std::vector<std::shared_ptr<ui::Control>> ring;  // where each Tab took the keyboard
    walk({
             {"the home screen", [&] { return homeShown(); }, [&] { pushKey(SDLK_TAB); }},
             {"round the ring", [&] {
                  auto now = focused();
                  if (!settled() || !now || (!ring.empty() && ring.back() == now)) return false;  // not moved yet
                  ring.push_back(now);
                  if (now == route() || (ring.size() > 1 && now == ring.front())) return true;
                  pushKey(SDLK_TAB);
                  return false;
              },
              [&] {
                  if (ring.back() != route()) {
                      ADD_FAILURE() << "round the ring in " << ring.size() - 1 << " presses without the route button";
                      return quitNow();
                  }
                  ASSERT_GE(ring.size(), 3u);
                  EXPECT_EQ(std::vector(ring.begin(), ring.begin() + 3),
                            (std::vector<std::shared_ptr<ui::Control>>{sheet()->yearButton, sheet()->newsButton, sheet()->standingsButton}))
                      << "the sheet's own buttons first";
                  EXPECT_TRUE(ringedInShot(windowShot("40-route-button-focused"), *route())) << "the route button is not ringed";
                  EXPECT_FALSE(MapViewController::routeIsShown());
                  pushKey(SDLK_SPACE);
              }},
             {"the route shown", [&] { return settled() && MapViewController::routeIsShown(); },
              [&] {
                  (void)windowShot("40-route-shown");
                  pushKey(SDLK_SPACE);
              }},
             {"the route hidden", [&] { return settled() && !MapViewController::routeIsShown(); },
              [&] { EXPECT_EQ(focused(), route()) << "the press took the keyboard off the button"; }},
         },
         90);
}

// A menu opened with the mouse shows its choice ticked, so the first arrow moves on from it: up from 2023
// to 2022, which Return picks; opened again, down from 2022 to 2023.
TEST_F(WalkThrough, theFirstArrowInAMenuOpenedWithTheMouseMovesOnFromItsChoice) {
    auto menu = [&] { return ui::MenuPopup::shown(*host->window()); };
    auto highlighted = [&] {
        auto row = menu() ? menu()->highlightedRow() : std::nullopt;
        return row ? menu()->menu()->children[*row].title : std::string();
    };
    auto expectMovedTo = [&](const std::string& year, const std::string& shot) {
        (void)windowShot(shot);
        EXPECT_EQ(highlighted(), year) << "the first arrow did not move on from the ticked year";
        if (highlighted() != year) return quitNow();
        pushKey(SDLK_RETURN);
    };
    auto seasonShown = [&](const std::string& year) {
        return GlobalStruct::racesSeason() == year && !map()->isLoading() && homeShown();
    };
    auto openYearMenu = [&] { click(centreInWindow(*sheet()->yearButton, sheet()->yearButton->bounds())); };
    walk({
             {"the home screen", [&] { return homeShown(); }, openYearMenu},
             {"the year menu", [&] { return menu() != nullptr; },
              [&] {
                  EXPECT_FALSE(menu()->highlightedRow()) << "a menu opened with the mouse shows no keyboard row";
                  pushKey(SDLK_UP);
              }},
             {"an arrow up", [&] { return menu() && menu()->highlightedRow(); }, [&] { expectMovedTo("2022", "41-year-menu-up"); }},
             {"the 2022 season", [&] { return seasonShown("2022"); }, openYearMenu},
             {"the year menu again", [&] { return menu() != nullptr; }, [&] { pushKey(SDLK_DOWN); }},
             {"an arrow down", [&] { return menu() && menu()->highlightedRow(); }, [&] { expectMovedTo("2023", "41-year-menu-down"); }},
             {"the 2023 season", [&] { return seasonShown("2023"); }, nullptr},
         },
         90);
}

// With the mouse: a click on the standings button opens them, Tab goes into them, and Escape gives the
// keyboard back to the button, ringed, as a sheet opened from the keyboard does; the next Tab moves on
// from there. A click on a race's row opens it, and Escape leaves that row ringed.
TEST_F(WalkThrough, aSheetOpenedWithTheMouseGivesTheKeyboardBackToo) {
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    auto race = [&] { return std::dynamic_pointer_cast<PastDetailsViewController>(overSheet()); };
    auto focused = [&] { return host->window()->focusedControl(); };
    std::vector<Script::Step> steps{
        {"the home screen", [&] { return homeShown() && !sheet()->driverStandings.empty(); },
         [&] { click(centreInWindow(*sheet()->standingsButton, sheet()->standingsButton->bounds())); }},
        {"the standings", [&] { return standings() && settled(); }, [&] { pushKey(SDLK_TAB); }},
        {"a control of the standings", [&] { return settled() && focused() && focused()->isDescendant(*standings()->view()); },
         [&] { pushKey(SDLK_ESCAPE); }},
        {"the standings gone", [&] { return !overSheet() && settled(); },
         [&] {
             EXPECT_EQ(focused(), sheet()->standingsButton) << "the keyboard is not on the button clicked";
             EXPECT_TRUE(ringedInShot(windowShot("42-standings-clicked-escaped"), *sheet()->standingsButton))
                 << "the standings button is not ringed";
             pushKey(SDLK_TAB);
         }},
        {"the next control", [&] { return settled() && focused() && focused() != sheet()->standingsButton; },
         [&] {
             EXPECT_NE(focused(), sheet()->yearButton) << "Tab started again at the year button";
             sheet()->tableView->setContentOffset({0, 0});
         }},
    };
    steps.push_back({"the first rows", [&] { return settled(); },
                     [&] { click(centreInWindow(*sheet()->tableView, sheet()->tableView->rectForRow({0, 0}))); }});
    steps.push_back({"the first race", [&] { return race() && !race()->isBeingPresented() && releasesPending == 0; },
                     [&] { pushKey(SDLK_ESCAPE); }});
    steps.push_back({"the first race gone", [&] { return !overSheet() && settled(); },
                     [&] {
                         EXPECT_EQ(sheet()->tableView->focusedRow(), (ui::IndexPath{0, 0})) << "the row clicked is not ringed";
                     }});
    walk(std::move(steps), 90);
}

// By keys alone, Ctrl+Q quits at the first press right after an arrow and Page Down moved in the list.
TEST_F(WalkThrough, ctrlQQuitsAtOnceAfterMovingInAList) {
    double offset = 0;
    auto script = Script::start({{"the home screen", [&] { return homeShown(); }, [] { pushKey(SDLK_DOWN); }},
                                 {"a row selected", [&] { return settled() && sheet()->tableView->focusedRow(); },
                                  [&] {
                                      offset = sheet()->tableView->contentOffset().y;
                                      pushKey(SDLK_PAGEDOWN);
                                  }},
                                 {"a page on", [&] { return sheet()->tableView->contentOffset().y != offset; },
                                  [] { pushKeyWith(SDLK_q, KMOD_LCTRL); }},
                                 {"the app gone", [] { return false; }, nullptr}},
                                60);
    EXPECT_EQ(ui::applicationMain([] { return std::make_shared<AppDelegate>(); },
                                  [] { return std::make_shared<SceneDelegate>(); }, *host),
              0);
    EXPECT_EQ(script->unfinishedStep(), "the app gone");
    EXPECT_FALSE(script->timedOut()) << "one Ctrl+Q did not quit (" << stateSeen() << ")";
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// What the offline season holds only in part, or lost, told as it is; a reminder the desktop cannot show.

#include "ui/Button.h"

namespace {

// 2023-05-28T14:00:00Z, an hour into Monaco's race: the offline season holds the race only as it stood
// before the start. The live screen says the session is not recorded, as the other gaps, over the order
// read, whose empty values read as the screen's absent ones.
TEST_F(ToldAsItIs, aLiveSessionTheOfflineSeasonDidNotRecordSaysSo) {
    startClockAt("2023-05-28T14:00:00Z");
    auto driverRow = [&](int row) {
        return std::dynamic_pointer_cast<DriverCell>(live()->tableView[0]->cellForRow({LiveViewController::driverSection, row}));
    };
    walk({
             {"the home screen", [&] { return homeShown(); },
              [&] {
                  const auto& races = GlobalStruct::races();
                  auto monaco = std::ranges::find(races, std::string("Monaco Grand Prix"), &RacesDetailsModel::raceName);
                  ASSERT_NE(monaco, races.end());
                  openSeasonRow(static_cast<int>(monaco - races.begin()));
              }},
             {"the live race", [&] {
                  return live() && !live()->raceResults.empty() && !live()->isBeingPresented() && releasesPending == 0 &&
                         driverRow(1);
              },
              [&] {
                  expectGap(*live()->tableView[0], {1, 1}, "Live timing", "Not recorded in the offline season",
                            "43-live-session-not-recorded");
                  auto second = driverRow(1);
                  EXPECT_EQ(second->constructor->text(), "No laps yet");
                  EXPECT_EQ(second->status->text(), "Interval not available");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
}

// A copy of the data folder that lost the team standings after round 2: at the default clock the Team
// tab says that those after Saudi Arabia, the round the drivers' follow, could not be loaded, as damaged
// results are told, never an earlier round's table.
TEST_F(ToldAsItIs, damagedTeamStandingsAreToldAsDamagedNotAsUnrecorded) {
    namespace fs = std::filesystem;
    const fs::path copy = fs::temp_directory_path() / ("sorvane-walk-standings-" + std::to_string(getpid()));
    fs::remove_all(copy);
    fs::copy(OfflineSettings::defaultDataDirectory(), copy, fs::copy_options::recursive);
    ASSERT_TRUE(fs::remove(copy / "offline-season/results-api/2023/2/constructorStandings.json"));
    season.stop();
    OfflineSettings settings;
    settings.dataDirectory = copy;
    auto started = OfflineSeason::start(settings);
    ASSERT_TRUE(started) << started.error();
    season = std::move(*started);
    auto standings = [&] { return std::dynamic_pointer_cast<StandingsViewController>(overSheet()); };
    auto header = [&] { return std::dynamic_pointer_cast<DetailHeaderCell>(standings()->tableView[0]->cellForRow({0, 0})); };
    walk({
             {"the standings read", [&] { return homeShown() && !sheet()->driverStandings.empty() && sheet()->standingsCouldNotLoad[1]; },
              [&] { tap(sheet()->standingsButton); }},
             {"the drivers' standings", [&] { return standings() && header() && settled(); },
              [&] { tap(std::dynamic_pointer_cast<EventPickerCell>(standings()->tableView[0]->cellForRow({1, 0}))->event); }},
             {"the choice menu", [&] { return ui::MenuPopup::shown(*host->window()) != nullptr; }, [&] { pickEntry("Team"); }},
             {"the teams' standings", [&] { return standings()->eventType == 1 && header() && settled(); },
              [&] {
                  EXPECT_EQ(header()->race->text(), "Saudi Arabian Grand Prix");
                  expectFailure(*standings()->tableView[0], {2, 0}, "The constructors' standings after the Saudi Arabian Grand Prix",
                                "The offline season holds it damaged.", "44-team-standings-damaged");
                  pushKey(SDLK_ESCAPE);
              }},
         },
         90);
    fs::remove_all(copy);
}

// A desktop without a notification service: every reminder it is asked to show fails.
class NoNotificationService final : public reminders::NotificationPresenter {
public:
    std::expected<void, reminders::ReminderError> present(const reminders::NotificationRequest&) override {
        return std::unexpected(reminders::ReminderError{"The reminder could not be shown: no notification service answers"});
    }
};

// 2023-05-07T18:29:25Z, Miami's race at 19:30: its "1 Hour Alert", reached with Tab and pressed with the
// space bar, falls due at 18:30 on a desktop that cannot show it, and the app's window shows it instead,
// until its Close button is clicked; none is left pending.
TEST_F(WalkThrough, aReminderTheDesktopCannotShowIsShownInTheWindow) {
    auto center = reminders::UserNotificationCenter::make(
        {.storeFile = reminders::UserNotificationCenter::current()->storeFile(), .presenter = std::make_shared<NoNotificationService>()});
    reminders::UserNotificationCenter::setCurrent(center);
    startClockAt("2023-05-07T18:29:25Z");
    auto future = [&] { return std::dynamic_pointer_cast<FutureDetailsViewController>(overSheet()); };
    auto alerts = [&] { return cardAt<RemindersCell>(*future()->tableView[0], {3, 0}); };
    std::shared_ptr<ui::Control> lastFocused;
    // A card on the window itself, over the screens, with the reminder's words and a Close button.
    struct Shown {
        std::shared_ptr<ui::View> card;
        std::vector<std::string> texts;
        std::shared_ptr<ui::Button> close;
    };
    auto banner = [&]() -> std::optional<Shown> {
        for (const auto& view : host->window()->subviews()) {
            Shown shown{view, {}, nullptr};
            for (const auto& part : view->subviews()) {
                if (auto label = std::dynamic_pointer_cast<ui::Label>(part)) shown.texts.push_back(label->text());
                if (auto button = std::dynamic_pointer_cast<ui::Button>(part); button && button->currentTitle() == "Close")
                    shown.close = button;
            }
            if (shown.close && std::ranges::find(shown.texts, "Miami Grand Prix") != shown.texts.end()) return shown;
        }
        return std::nullopt;
    };
    walk({
             {"the home screen", [&] { return homeShown(); },
              [&] {
                  sheet()->tableView->scrollToRow({0, 4}, ui::TableViewScrollPosition::top, false);
                  click(centreInWindow(*sheet()->tableView, sheet()->tableView->rectForRow({0, 4})));
              }},
             {"Miami's race", [&] { return future() && !future()->isBeingPresented() && releasesPending == 0 && alerts(); },
              [&] {
                  (void)windowShot("45-miami-race");
                  pushKey(SDLK_TAB);
              }},
             // Tab on to the card's "1 Hour Alert", each press once the last has moved the keyboard.
             {"its 1 Hour Alert focused", [&] {
                  auto now = host->window()->focusedControl();
                  if (!now || now == lastFocused || releasesPending > 0) return false;
                  lastFocused = now;
                  if (now == alerts()->notifications2) return true;
                  pushKey(SDLK_TAB);
                  return false;
              },
              [&] { pushKey(SDLK_SPACE); }},
             {"the reminder set", [&] { return !center->pendingNotificationRequests().empty(); }, nullptr},
             {"the reminder in the window", [&] { return banner() && settled(); },
              [&] {
                  (void)windowShot("45-reminder-in-the-window");
                  EXPECT_EQ(banner()->texts, (std::vector<std::string>{"Miami Grand Prix",
                                                                        "Miami International Autodrome, Miami, USA\nRace starting in 1 hour"}));
                  EXPECT_TRUE(center->pendingNotificationRequests().empty()) << "shown, but still pending";
                  EXPECT_EQ(center->deliveredNotifications().size(), 1u);
                  click(centreInWindow(*banner()->close, banner()->close->bounds()));
              }},
             {"the reminder closed", [&] { return !banner() && settled(); }, [&] { pushKey(SDLK_ESCAPE); }},
         },
         120);
}

}  // namespace
