#include "Output.h"

#include <SDL.h>

#include <algorithm>

#include "audio/AudioPlayer.h"
#include "dispatch/Queue.h"

namespace audio {

Output& Output::shared() {
    // Never destroyed: SDL's audio thread may still run the callback while the process exits.
    static Output* output = new Output();
    return *output;
}

std::expected<void, AudioError> Output::start() {
    std::lock_guard lock(startMutex_);
    if (device_ != 0 && SDL_WasInit(SDL_INIT_AUDIO) != 0) return {};
    device_ = 0;

    auto open = [this]() -> bool {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        SDL_AudioSpec wanted{};
        wanted.freq = Voice::rate;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = Voice::channels;
        wanted.samples = 1024;
        wanted.callback = &Output::fill;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // No changes allowed: SDL converts to whatever the device takes.
        SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        device_ = device;
        const char* name = SDL_GetCurrentAudioDriver();
        driver_ = name ? name : "";
        SDL_PauseAudioDevice(device, 0);
        return true;
    };
    if (open()) {
        standIn_ = false;
        return {};
    }
    std::string reason = SDL_GetError();
    // No sound on this machine: a device that plays silence in real time keeps players running.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    bool opened = open();
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_OVERRIDE);
    standIn_ = opened;
    if (opened) return {};
    return std::unexpected(AudioError{AudioError::Code::outputUnavailable, "no audio output: " + reason});
}

bool Output::isSilentStandIn() {
    std::lock_guard lock(startMutex_);
    return standIn_;
}

std::string Output::driverName() {
    std::lock_guard lock(startMutex_);
    return driver_;
}

void Output::addLocked(const std::shared_ptr<Voice>& voice) {
    if (std::find(voices_.begin(), voices_.end(), voice) == voices_.end()) voices_.push_back(voice);
}

void Output::removeLocked(const Voice* voice) {
    std::erase_if(voices_, [voice](const std::shared_ptr<Voice>& held) { return held.get() == voice; });
}

void Output::fill(void* output, unsigned char* stream, int length) {
    auto* out = reinterpret_cast<float*>(stream);
    std::size_t frames = static_cast<std::size_t>(length) / (sizeof(float) * Voice::channels);
    std::fill(out, out + frames * Voice::channels, 0.0f);
    static_cast<Output*>(output)->mix(out, frames);
}

void Output::mix(float* out, std::size_t frames) {
    std::vector<std::weak_ptr<AudioPlayer>> ended;
    {
        std::lock_guard lock(mutex_);
        for (const auto& voice : voices_) {
            if (!voice->playing) continue;
            std::size_t available = voice->frames() - std::min(voice->position, voice->frames());
            std::size_t count = std::min(frames, available);
            const float* from = voice->samples.data() + voice->position * Voice::channels;
            for (std::size_t i = 0; i < count * Voice::channels; ++i) out[i] += from[i] * voice->volume;
            voice->position += count;
            if (voice->position >= voice->frames()) {
                voice->playing = false;
                voice->position = 0;
                ended.push_back(voice->owner);
            }
        }
        std::erase_if(voices_, [](const std::shared_ptr<Voice>& voice) { return !voice->playing; });
    }
    for (std::size_t i = 0; i < frames * Voice::channels; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
    for (auto& owner : ended) {
        dispatch::Queue::main()->async([owner = std::move(owner)] {
            if (auto player = owner.lock()) player->didReachEnd();
        });
    }
}

}  // namespace audio
