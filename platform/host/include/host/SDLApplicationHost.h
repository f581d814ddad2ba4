#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "gfx/Color.h"
#include "host/WindowHost.h"
#include "ui/Application.h"
#include "ui/TouchDriver.h"
#include "ui/Window.h"

namespace host {

// The application's host on the desktop: the scene's window drawn into the SDL window at the phone's
// size, the window's input turned into touches, wheel scrolling, context menus and the Escape key,
// and the window's life cycle into the application's. Everything runs on the main run loop.
//
//     auto host = host::SDLApplicationHost::open();          // WindowOptions::fromEnvironment()
//     if (!host) { fputs(host.error().c_str(), stderr); return 1; }
//     (*host)->screenshotFromEnvironment();                   // end-to-end runs
//     return ui::applicationMain(makeAppDelegate, makeSceneDelegate, **host);
class SDLApplicationHost final : public ui::ApplicationHost {
public:
    static std::expected<std::unique_ptr<SDLApplicationHost>, std::string> open(
        WindowOptions options = WindowOptions::fromEnvironment());
    ~SDLApplicationHost() override;
    SDLApplicationHost(const SDLApplicationHost&) = delete;
    SDLApplicationHost& operator=(const SDLApplicationHost&) = delete;

    // The device's screen: its size in points, scale and idiom.
    ui::Screen screen() const override;
    // Draws `window` (with the device's safe area) whenever it renders and sends it the input.
    void show(const std::shared_ptr<ui::Window>& window) override;
    // Turns the main run loop until stop() or the window closes.
    void run() override;
    void stop() override;

    const std::shared_ptr<ui::Window>& window() const { return window_; }
    const std::shared_ptr<WindowHost>& windowHost() const { return windowHost_; }
    // What shows where no view draws.
    void setBackground(std::optional<gfx::Color> background) { background_ = background; }

    // Once run() has turned `seconds` of run-loop time, draws the window as it stands, writes the
    // window's own pixels as a PNG at `path` and terminates the application. A failure to write is
    // printed and kept in screenshotError().
    void screenshotAfter(double seconds, std::filesystem::path path);
    // screenshotAfter(SORVANE_SCREENSHOT_AFTER, SORVANE_SCREENSHOT_PATH) when both are set; an
    // unusable value is an error naming the variable.
    std::expected<bool, std::string> screenshotFromEnvironment();
    const std::optional<std::string>& screenshotError() const { return screenshotError_; }

private:
    class Input;
    struct Private {};

public:
    SDLApplicationHost(Private, std::shared_ptr<WindowHost> windowHost);

private:
    gfx::Bitmap frame();
    void touch(const TouchEvent& event);
    void scroll(const ScrollEvent& event);
    void secondaryClick(const SecondaryClickEvent& event);
    void key(const KeyEvent& event);
    void lifeCycle(AppEvent event);
    void takeScreenshot(const std::filesystem::path& path);

    std::shared_ptr<WindowHost> windowHost_;
    std::shared_ptr<Input> input_;
    std::shared_ptr<ui::Window> window_;
    std::optional<gfx::Color> background_ = gfx::Color::white();
    ui::TouchDriver touches_;
    std::int64_t touchId_ = TouchEvent::mouseTouchId;
    std::optional<std::pair<double, std::filesystem::path>> screenshotRequest_;
    std::optional<std::string> screenshotError_;
};

}  // namespace host
