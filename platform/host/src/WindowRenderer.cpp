#include "WindowRenderer.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "Letterbox.h"
#include "host/WindowHost.h"

namespace host {

namespace {

std::string sdlError(const char* what) { return std::string(what) + ": " + SDL_GetError(); }

// Premultiplied colour over an opaque background: colour + background * (1 - alpha), per channel.
std::uint32_t flatten(std::uint32_t pixel, std::uint32_t background) {
    std::uint32_t alpha = pixel >> 24;
    if (alpha == 255) return pixel;
    std::uint32_t remaining = 255 - alpha;
    std::uint32_t result = 0xff000000;
    for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t colour = (pixel >> shift) & 0xff;
        std::uint32_t under = (background >> shift) & 0xff;
        std::uint32_t channel = colour + (under * remaining + 127) / 255;
        result |= std::min<std::uint32_t>(channel, 255) << shift;
    }
    return result;
}

}  // namespace

std::expected<std::unique_ptr<WindowRenderer>, std::string> WindowRenderer::create(const WindowOptions& options) {
    std::unique_ptr<WindowRenderer> result(new WindowRenderer);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return std::unexpected(sdlError("SDL video"));
    result->videoStarted_ = true;
    // Without a display SDL falls back to drivers that show nothing; a window no one can see would
    // leave the app running silently, so say so unless that driver was asked for.
    const char* driver = SDL_GetCurrentVideoDriver();
    std::string_view driverName = driver ? driver : "";
    if ((driverName == "offscreen" || driverName == "dummy") && !SDL_getenv("SDL_VIDEODRIVER")) {
        return std::unexpected(std::string("no display to open a window on (set DISPLAY, or take a picture with "
                                           "--screenshot PATH)"));
    }
    result->background_ = options.background | 0xff000000;

    const DeviceMetrics& device = options.device;
    double zoom = options.zoom;
    SDL_Rect usable{};
    if (options.fitsDisplay && SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        double fitting = WindowOptions::zoomToFit(device, usable.w, usable.h);
        if (fitting < zoom) zoom = fitting;
    }
    result->zoom_ = zoom;
    int width = std::max(1, static_cast<int>(std::lround(device.pixelWidth() * zoom)));
    int height = std::max(1, static_cast<int>(std::lround(device.pixelHeight() * zoom)));
    // Scaled-down frames are filtered, not sampled.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, zoom == 1 ? "nearest" : "linear");
    result->window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!result->window_) return std::unexpected(sdlError("window"));
    // Frames are drawn in software at full scale; the renderer only copies (and, zoomed, scales) one
    // texture a frame. A GPU renderer adds nothing to that and costs a driver in the process: on hosts
    // without a GPU (Xvfb, remote X) Mesa's llvmpipe alone holds about 55 MB and eight threads. The
    // host paces its presents itself, so the software renderer's lack of vsync changes nothing. Its
    // window surface must be the display's own (XShm) too, not a texture of a GPU renderer again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    result->renderer_ = SDL_CreateRenderer(result->window_, -1, SDL_RENDERER_SOFTWARE);
    if (!result->renderer_) return std::unexpected(sdlError("renderer"));
    return result;
}

WindowRenderer::~WindowRenderer() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int WindowRenderer::windowWidth() const {
    int width = 0;
    SDL_GetWindowSize(window_, &width, nullptr);
    return width;
}

int WindowRenderer::windowHeight() const {
    int height = 0;
    SDL_GetWindowSize(window_, nullptr, &height);
    return height;
}

int WindowRenderer::connectionDescriptor() const {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
}

double WindowRenderer::refreshRate() const {
    SDL_DisplayMode mode;
    if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
    return 60;
}

bool WindowRenderer::upload(const gfx::Bitmap& frame) {
    if (frame.empty() || frame.stride < frame.width * 4 ||
        frame.pixels.size() < static_cast<std::size_t>(frame.stride) * frame.height)
        return false;
    if (!texture_ || textureWidth_ != frame.width || textureHeight_ != frame.height) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, frame.width,
                                     frame.height);
        textureWidth_ = texture_ ? frame.width : 0;
        textureHeight_ = texture_ ? frame.height : 0;
        if (!texture_) return false;
        // Already flattened, so the texture replaces what is under it.
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return false;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint32_t* source = frame.row(y);
        auto* target = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(pixels) + std::size_t(y) * pitch);
        for (int x = 0; x < frame.width; ++x) target[x] = flatten(source[x], background_);
    }
    SDL_UnlockTexture(texture_);
    return true;
}

void WindowRenderer::draw() {
    SDL_SetRenderDrawColor(renderer_, (background_ >> 16) & 0xff, (background_ >> 8) & 0xff, background_ & 0xff, 255);
    SDL_RenderClear(renderer_);
    if (!texture_) return;
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) return;
    gfx::Rect shown = letterbox({double(width), double(height)}, {double(textureWidth_), double(textureHeight_)});
    SDL_Rect target{static_cast<int>(std::lround(shown.minX())), static_cast<int>(std::lround(shown.minY())),
                    static_cast<int>(std::lround(shown.width())), static_cast<int>(std::lround(shown.height()))};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
}

void WindowRenderer::present() { SDL_RenderPresent(renderer_); }

gfx::Bitmap WindowRenderer::readPixels() {
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0 || width <= 0 || height <= 0) return {};
    gfx::Bitmap bitmap = gfx::Bitmap::make(width, height);
    if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, bitmap.pixels.data(), bitmap.stride) != 0)
        return {};
    // The window is opaque whatever the read-back leaves in the alpha byte.
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x) row[x] |= 0xff000000;
    }
    return bitmap;
}

}  // namespace host
