#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SyntheticEvents.h"
#include "VirtualDisplay.h"
#include "dispatch/Queue.h"
#include "host/WindowHost.h"

namespace {

using host::AppEvent;
using host::Point;
using host::TouchPhase;
using namespace hosttest;

constexpr double generousSeconds = 60;
constexpr std::uint32_t background = 0xff204060;

struct RecordingSink : host::InputSink {
    std::vector<host::TouchEvent> touches;
    std::vector<host::SecondaryClickEvent> secondaryClicks;
    std::vector<host::ScrollEvent> scrolls;
    std::vector<host::KeyEvent> keys;
    std::vector<AppEvent> lifecycle;

    void touch(const host::TouchEvent& event) override { touches.push_back(event); }
    void secondaryClick(const host::SecondaryClickEvent& event) override { secondaryClicks.push_back(event); }
    void scroll(const host::ScrollEvent& event) override { scrolls.push_back(event); }
    void key(const host::KeyEvent& event) override { keys.push_back(event); }
    void application(AppEvent event) override { lifecycle.push_back(event); }
};

bool turnUntil(const std::function<bool()>& done) { return dispatch::RunLoop::main()->runUntil(done, generousSeconds); }

// A frame in four blocks: opaque red, green, blue, and half-transparent white (premultiplied) on the
// bottom right.
gfx::Bitmap quarters(int width, int height) {
    gfx::Bitmap frame = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool right = x >= width / 2;
            bool bottom = y >= height / 2;
            frame.row(y)[x] = !bottom ? (right ? 0xff00ff00 : 0xffff0000) : (right ? 0x80808080 : 0xff0000ff);
        }
    }
    return frame;
}

void expectColour(const gfx::Bitmap& shot, int x, int y, std::uint32_t expected) {
    std::uint32_t actual = shot.pixel(x, y);
    for (int shift = 0; shift < 32; shift += 8) {
        int difference = int((actual >> shift) & 0xff) - int((expected >> shift) & 0xff);
        EXPECT_LE(std::abs(difference), 2) << std::hex << "at " << std::dec << x << "," << y << ": 0x" << std::hex
                                           << actual << " expected 0x" << expected;
    }
}

class WindowHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = hosttest::prepareDisplay(); !reason.empty()) GTEST_SKIP() << reason;
        open(1);
    }

    void open(double zoom) {
        window.reset();
        host::WindowOptions options;
        options.title = "host-tests";
        options.zoom = zoom;
        options.background = background;
        auto opened = host::WindowHost::open(options);
        ASSERT_TRUE(opened) << opened.error();
        window = *opened;
        window->setInputSink(sink);
        // Let the window's own start-up events (shown, exposed, focus) pass before a test records.
        pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
        ASSERT_TRUE(turnUntil([&] { return !sink->lifecycle.empty(); }));
        *sink = {};
    }

    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    std::shared_ptr<host::WindowHost> window;
};

TEST_F(WindowHostTest, presentedFrameReadsBackWithTranslucencyOverTheBackground) {
    ASSERT_EQ(window->device().pixelWidth(), 780);
    window->present(quarters(780, 1688));

    gfx::Bitmap shot = window->screenshot();
    ASSERT_EQ((std::pair{shot.width, shot.height}), (std::pair{780, 1688}));
    expectColour(shot, 10, 10, 0xffff0000);
    expectColour(shot, 770, 10, 0xff00ff00);
    expectColour(shot, 10, 1678, 0xff0000ff);
    // 0x80 white at half alpha over 0x204060: each channel 0x80 + background / 2.
    expectColour(shot, 770, 1678, 0xff90a0b0);
    expectColour(shot, 389, 843, 0xffff0000);
    expectColour(shot, 390, 844, 0xff90a0b0);
}

TEST_F(WindowHostTest, zoomedWindowScalesTheFullFrameAndInputBackToPoints) {
    open(0.25);
    window->present(quarters(780, 1688));
    gfx::Bitmap shot = window->screenshot();
    ASSERT_EQ((std::pair{shot.width, shot.height}), (std::pair{195, 422}));
    expectColour(shot, 40, 40, 0xffff0000);
    expectColour(shot, 150, 380, 0xff90a0b0);

    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 100, 300);
    ASSERT_TRUE(turnUntil([&] { return !sink->touches.empty(); }));
    EXPECT_EQ(sink->touches[0].point, (Point{200, 600}));
}

// Resized to another aspect, the window shows the phone whole and undistorted between bars of the
// background, and the pointer still lands where the picture shows it.
TEST_F(WindowHostTest, aWindowResizedToAnotherAspectLetterboxesThePictureAndItsInput) {
    open(0.5);
    SDL_Window* shown = nullptr;
    for (std::uint32_t id = 1; id < 10000 && !shown; ++id)
        if (SDL_Window* candidate = SDL_GetWindowFromID(id); candidate && std::strcmp(SDL_GetWindowTitle(candidate), "host-tests") == 0)
            shown = candidate;
    ASSERT_TRUE(shown);
    SDL_SetWindowSize(shown, 1200, 900);
    ASSERT_TRUE(turnUntil([&] {
        window->pumpEvents();
        window->present(quarters(780, 1688));
        return window->screenshot().width == 1200;
    }));
    gfx::Bitmap shot = window->screenshot();
    ASSERT_EQ(shot.height, 900);
    // 780 x 1688 at 900 / 1688 is about 416 x 900, centred: 392 on either side.
    expectColour(shot, 20, 450, background);
    expectColour(shot, 1180, 450, background);
    expectColour(shot, 400, 20, 0xffff0000);
    expectColour(shot, 800, 20, 0xff00ff00);
    expectColour(shot, 400, 880, 0xff0000ff);
    expectColour(shot, 600, 225, 0xff00ff00);  // the middle column is the picture's, not a stretched edge

    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 600, 450);
    pushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 392, 0);
    ASSERT_TRUE(turnUntil([&] { return sink->touches.size() == 2; }));
    EXPECT_NEAR(sink->touches[0].point.x, 195, 1e-6);
    EXPECT_NEAR(sink->touches[0].point.y, 422, 1e-6);
    EXPECT_NEAR(sink->touches[1].point.x, 0, 0.2);
    EXPECT_NEAR(sink->touches[1].point.y, 0, 1e-6);
}

TEST_F(WindowHostTest, leftButtonIsOneTouchAndRightClickAsksForAContextMenu) {
    pushMouseMotion(10, 10);  // hovering is not touching
    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 100, 300);
    pushMouseMotion(120, 310);
    pushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 120, 310);
    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 400, 800);
    ASSERT_TRUE(turnUntil([&] { return !sink->secondaryClicks.empty(); }));

    ASSERT_EQ(sink->touches.size(), 3u);
    EXPECT_EQ(sink->touches[0].phase, TouchPhase::began);
    EXPECT_EQ(sink->touches[0].point, (Point{50, 150}));
    EXPECT_EQ(sink->touches[1].phase, TouchPhase::moved);
    EXPECT_EQ(sink->touches[1].point, (Point{60, 155}));
    EXPECT_EQ(sink->touches[2].phase, TouchPhase::ended);
    for (auto& touch : sink->touches) EXPECT_EQ(touch.touchId, host::TouchEvent::mouseTouchId);
    EXPECT_EQ(sink->secondaryClicks[0].point, (Point{200, 400}));
}

TEST_F(WindowHostTest, fingersAreTouchesOfTheirOwnAndTheirMouseCopiesAreDropped) {
    pushFinger(SDL_FINGERDOWN, 7, 0.5f, 0.25f);
    push(SDL_MOUSEBUTTONDOWN, [](SDL_Event& event) {
        event.button.which = SDL_TOUCH_MOUSEID;
        event.button.button = SDL_BUTTON_LEFT;
    });
    pushFinger(SDL_FINGERDOWN, 8, 0.25f, 0.5f);
    pushFinger(SDL_FINGERUP, 7, 0.5f, 0.25f);
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(turnUntil([&] { return !sink->lifecycle.empty(); }));

    ASSERT_EQ(sink->touches.size(), 4u);
    EXPECT_EQ(sink->touches[0].touchId, 7);
    EXPECT_EQ(sink->touches[0].point, (Point{195, 211}));
    EXPECT_EQ(sink->touches[1].touchId, 8);
    EXPECT_EQ(sink->touches[2].phase, TouchPhase::ended);
    // Going to the background cancels the finger still down, where it was.
    EXPECT_EQ(sink->touches[3].phase, TouchPhase::cancelled);
    EXPECT_EQ(sink->touches[3].touchId, 8);
    EXPECT_EQ(sink->touches[3].point, (Point{97.5, 422}));
}

TEST_F(WindowHostTest, wheelScrollsInPointsAndKeysArriveByName) {
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    wheel.wheel.preciseY = -1;
    wheel.wheel.mouseX = 200;
    wheel.wheel.mouseY = 400;
    push(wheel);
    wheel.wheel.y = 0;
    wheel.wheel.preciseY = 0.5f;
    push(wheel);
    pushKey(SDLK_ESCAPE);
    pushKey(SDLK_a);
    ASSERT_TRUE(turnUntil([&] { return sink->keys.size() == 2; }));

    ASSERT_EQ(sink->scrolls.size(), 2u);
    EXPECT_EQ(sink->scrolls[0].dy, 40);  // one notch toward the user moves content up
    EXPECT_EQ(sink->scrolls[0].dx, 0);
    EXPECT_FALSE(sink->scrolls[0].precise);
    EXPECT_EQ(sink->scrolls[0].point, (Point{100, 200}));
    EXPECT_EQ(sink->scrolls[1].dy, -20);
    EXPECT_TRUE(sink->scrolls[1].precise);
    EXPECT_EQ(sink->keys[0].key, host::Key::escape);
    EXPECT_EQ(sink->keys[1].key, host::Key::other);
    EXPECT_EQ(sink->keys[1].name, "A");
}

TEST_F(WindowHostTest, focusAndMinimisingFollowTheApplicationLifeCycle) {
    pushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 100, 300);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(turnUntil([&] { return sink->lifecycle.size() >= 6; }));

    EXPECT_EQ(sink->lifecycle,
              (std::vector{AppEvent::willResignActive, AppEvent::didBecomeActive, AppEvent::willResignActive,
                           AppEvent::didEnterBackground, AppEvent::willEnterForeground, AppEvent::didBecomeActive}));
    // The touch in progress when focus went is cancelled where it was.
    ASSERT_EQ(sink->touches.size(), 2u);
    EXPECT_EQ(sink->touches[1].phase, TouchPhase::cancelled);
    EXPECT_EQ(sink->touches[1].point, (Point{50, 150}));
}

TEST_F(WindowHostTest, redrawsOnlyWhenAskedAndOncePerTurn) {
    int framesAsked = 0;
    window->setFrameSource([&] {
        ++framesAsked;
        return quarters(780, 1688);
    });
    auto loop = dispatch::RunLoop::main();
    int presents = window->presentCount();
    for (int turn = 0; turn < 5; ++turn) loop->runOnce();
    EXPECT_EQ(framesAsked, 0);
    EXPECT_EQ(window->presentCount(), presents);

    loop->setNeedsRedraw();
    loop->setNeedsRedraw();
    loop->setNeedsRedraw();
    loop->runOnce();
    EXPECT_EQ(framesAsked, 1);
    EXPECT_EQ(window->presentCount(), presents + 1);
    expectColour(window->screenshot(), 10, 10, 0xffff0000);

    for (int turn = 0; turn < 5; ++turn) loop->runOnce();
    EXPECT_EQ(framesAsked, 1);
}

// An animation asks for its next frame from inside each redraw; that request is not lost to the redraw
// in progress. Frames of another size are scaled to fill the window.
TEST_F(WindowHostTest, redrawAskedForDuringARedrawComesNextAndSmallFramesFillTheWindow) {
    constexpr int frames = 12;
    int framesAsked = 0;
    auto loop = dispatch::RunLoop::main();
    window->setFrameSource([&] {
        if (++framesAsked < frames) loop->setNeedsRedraw();
        return quarters(78, 168);
    });
    int presents = window->presentCount();
    loop->setNeedsRedraw();
    ASSERT_TRUE(turnUntil([&] { return framesAsked == frames; }));

    EXPECT_GE(window->presentCount(), presents + frames);
    expectColour(window->screenshot(), 770, 1678, 0xff90a0b0);
    expectColour(window->screenshot(), 10, 10, 0xffff0000);
}

TEST_F(WindowHostTest, quitSendsWillTerminateOnceAndEndsTheRunLoop) {
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    dispatch::Queue::main()->asyncAfter(generousSeconds, [] { dispatch::RunLoop::main()->stop(); });
    dispatch::RunLoop::main()->run();

    EXPECT_TRUE(window->isTerminating());
    EXPECT_EQ(sink->lifecycle, std::vector{AppEvent::willTerminate});
}

// The window manager's close request comes over the X connection while the loop sleeps: only the
// watcher on that connection can wake the loop for it.
TEST_F(WindowHostTest, closeRequestFromTheXServerWakesASleepingLoop) {
    ASSERT_TRUE(hosttest::requestClose("host-tests"));

    dispatch::Queue::main()->asyncAfter(generousSeconds, [] { dispatch::RunLoop::main()->stop(); });
    dispatch::RunLoop::main()->run();

    EXPECT_EQ(sink->lifecycle, std::vector{AppEvent::willTerminate});
}

}  // namespace
