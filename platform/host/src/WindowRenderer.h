#pragma once

#include <SDL.h>

#include <cstdint>
#include <expected>
#include <memory>
#include <string>

#include "gfx/Bitmap.h"

namespace host {

struct WindowOptions;

// The SDL window, its renderer and the texture holding the last frame.
class WindowRenderer {
public:
    static std::expected<std::unique_ptr<WindowRenderer>, std::string> create(const WindowOptions& options);
    ~WindowRenderer();
    WindowRenderer(const WindowRenderer&) = delete;
    WindowRenderer& operator=(const WindowRenderer&) = delete;

    SDL_Window* window() const { return window_; }
    int windowWidth() const;
    int windowHeight() const;
    // The X server connection's descriptor, or -1 under another video driver.
    int connectionDescriptor() const;
    double refreshRate() const;  // Hz; 60 when the display does not say
    // The zoom the window opened at (the options', or one that fits the display).
    double zoom() const { return zoom_; }

    // Copies the frame into the texture, flattened over the opaque background.
    bool upload(const gfx::Bitmap& frame);
    // Draws the texture into the back buffer, scaled to the window; presentation is separate so that a
    // screenshot can read the buffer back first.
    void draw();
    void present();
    gfx::Bitmap readPixels();

private:
    WindowRenderer() = default;

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    std::uint32_t background_ = 0xff000000;
    bool videoStarted_ = false;
    double zoom_ = 1;
};

}  // namespace host
