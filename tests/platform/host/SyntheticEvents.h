#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace hosttest {

// Input as SDL would queue it from the X server, stamped with SDL's clock.
inline void push(SDL_Event event) {
    event.common.timestamp = SDL_GetTicks();
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

// Pushes an event of `type` after `fill` has set its fields.
template <typename Fill>
inline void push(std::uint32_t type, Fill fill) {
    SDL_Event event{};
    event.type = type;
    fill(event);
    push(event);
}

inline void pushMouseButton(std::uint32_t type, std::uint8_t button, int x, int y) {
    push(type, [&](SDL_Event& event) {
        event.button.button = button;
        event.button.x = x;
        event.button.y = y;
    });
}

inline void pushMouseMotion(int x, int y) {
    push(SDL_MOUSEMOTION, [&](SDL_Event& event) {
        event.motion.x = x;
        event.motion.y = y;
    });
}

inline void pushWindowEvent(std::uint8_t what) {
    push(SDL_WINDOWEVENT, [&](SDL_Event& event) { event.window.event = what; });
}

inline void pushKey(SDL_Keycode key) {
    push(SDL_KEYDOWN, [&](SDL_Event& event) { event.key.keysym.sym = key; });
}

inline void pushFinger(std::uint32_t type, SDL_FingerID finger, float x, float y) {
    push(type, [&](SDL_Event& event) {
        event.tfinger.fingerId = finger;
        event.tfinger.x = x;
        event.tfinger.y = y;
    });
}

}  // namespace hosttest
