#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/AudioError.h"

namespace audio {

class AudioPlayer;

// What the output plays: the clip at the output's rate, interleaved stereo, and where it stands.
// Every field but `samples` is guarded by the output's mutex.
struct Voice {
    static constexpr int rate = 48000;
    static constexpr int channels = 2;

    std::vector<float> samples;
    std::size_t position = 0;  // in frames
    float volume = 1;
    bool playing = false;
    std::weak_ptr<AudioPlayer> owner;

    std::size_t frames() const { return samples.size() / channels; }
};

// The one output device, opened on first use and kept: the system's default device, or SDL's silent
// "dummy" device (which still consumes samples in real time) where no device opens. SDL's audio
// thread mixes the playing voices and posts their ends to the main queue.
class Output {
public:
    static Output& shared();

    std::expected<void, AudioError> start();
    // The SDL driver in use ("dummy" without sound); empty before start.
    std::string driverName();
    // Started on the silent device because no device with sound would open (not because SDL was
    // asked for it).
    bool isSilentStandIn();

    std::mutex& mutex() { return mutex_; }
    // Both under the mutex.
    void addLocked(const std::shared_ptr<Voice>& voice);
    void removeLocked(const Voice* voice);

private:
    Output() = default;
    static void fill(void* output, unsigned char* stream, int length);
    void mix(float* out, std::size_t frames);

    std::mutex mutex_;
    std::vector<std::shared_ptr<Voice>> voices_;
    std::mutex startMutex_;
    unsigned device_ = 0;
    std::string driver_;
    bool standIn_ = false;
};

// The frames of an MP3 clip at the output's rate and layout.
std::expected<std::vector<float>, AudioError> decodeMP3(const unsigned char* bytes, std::size_t size);

}  // namespace audio
