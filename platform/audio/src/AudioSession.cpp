#include "audio/AudioSession.h"

#include "Output.h"

namespace audio {

AudioSession& AudioSession::shared() {
    static AudioSession session;
    return session;
}

std::expected<void, AudioError> AudioSession::setCategory(SessionCategory category, SessionMode, SessionOptions options) {
    category_ = category;
    options_ = options;
    return {};
}

std::expected<void, AudioError> AudioSession::setActive(bool active) {
    if (active) {
        if (auto started = Output::shared().start(); !started) return started;
    }
    // The device stays open when the session is let go: other sessions' sounds are not ours to stop.
    active_ = active;
    return {};
}

bool AudioSession::playsSound() const { return active_ && !Output::shared().isSilentStandIn(); }

}  // namespace audio
