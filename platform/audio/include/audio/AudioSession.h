#pragma once

#include <expected>

#include "audio/AudioError.h"

namespace audio {

enum class SessionCategory { soloAmbient, ambient, playback };
enum class SessionMode { defaultMode };
enum class SessionOptions : unsigned { none = 0, mixWithOthers = 1 };

// The process's one audio session: what kind of sound the app makes, and whether its output is
// started. Activating starts the output device (the system's, else a silent device that keeps time,
// so machines without sound play clips all the same). Main thread.
class AudioSession {
public:
    static AudioSession& shared();

    std::expected<void, AudioError> setCategory(SessionCategory category, SessionMode mode, SessionOptions options);
    SessionCategory category() const { return category_; }
    SessionOptions categoryOptions() const { return options_; }

    std::expected<void, AudioError> setActive(bool active);
    bool isActive() const { return active_; }
    // Whether an active session is heard: false when no sound device opened and the silent device
    // stands in, so the user can be told a clip cannot be played rather than watch it run unheard.
    bool playsSound() const;

private:
    AudioSession() = default;
    SessionCategory category_ = SessionCategory::soloAmbient;
    SessionOptions options_ = SessionOptions::none;
    bool active_ = false;
};

}  // namespace audio
