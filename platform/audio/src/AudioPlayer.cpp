#include "audio/AudioPlayer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <system_error>
#include <filesystem>

#include "Output.h"

namespace audio {

std::expected<std::shared_ptr<AudioPlayer>, AudioError> AudioPlayer::make(const std::string& filePath) {
    std::error_code error;
    auto size = std::filesystem::file_size(filePath, error);
    if (error) return std::unexpected(AudioError{AudioError::Code::fileUnreadable, "cannot read " + filePath + ": " + error.message()});
    if (size > maximumFileSize) return std::unexpected(AudioError{AudioError::Code::fileUnreadable, filePath + " is too large for a clip"});
    std::ifstream file(filePath, std::ios::binary);
    std::vector<std::uint8_t> bytes(size);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        return std::unexpected(AudioError{AudioError::Code::fileUnreadable, "cannot read " + filePath});
    }
    return make(foundation::Data(std::move(bytes)));
}

std::expected<std::shared_ptr<AudioPlayer>, AudioError> AudioPlayer::make(const foundation::Data& data) {
    if (data.size() > maximumFileSize) return std::unexpected(AudioError{AudioError::Code::fileUnreadable, "the data is too large for a clip"});
    auto samples = decodeMP3(data.data(), data.size());
    if (!samples) return std::unexpected(samples.error());
    auto voice = std::make_shared<Voice>();
    voice->samples = std::move(*samples);
    auto player = std::shared_ptr<AudioPlayer>(new AudioPlayer(voice));
    voice->owner = player;
    return player;
}

AudioPlayer::AudioPlayer(std::shared_ptr<Voice> voice) : voice_(std::move(voice)) {}

AudioPlayer::~AudioPlayer() {
    std::lock_guard lock(Output::shared().mutex());
    Output::shared().removeLocked(voice_.get());
}

bool AudioPlayer::prepareToPlay() { return Output::shared().start().has_value(); }

bool AudioPlayer::play() {
    if (!Output::shared().start()) return false;
    std::lock_guard lock(Output::shared().mutex());
    voice_->playing = true;
    Output::shared().addLocked(voice_);
    return true;
}

void AudioPlayer::pause() {
    std::lock_guard lock(Output::shared().mutex());
    voice_->playing = false;
    Output::shared().removeLocked(voice_.get());
}

void AudioPlayer::stop() { pause(); }

bool AudioPlayer::isPlaying() const {
    std::lock_guard lock(Output::shared().mutex());
    return voice_->playing;
}

float AudioPlayer::volume() const {
    std::lock_guard lock(Output::shared().mutex());
    return voice_->volume;
}

void AudioPlayer::setVolume(float volume) {
    std::lock_guard lock(Output::shared().mutex());
    voice_->volume = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
}

double AudioPlayer::duration() const { return static_cast<double>(voice_->frames()) / Voice::rate; }

double AudioPlayer::currentTime() const {
    std::lock_guard lock(Output::shared().mutex());
    return static_cast<double>(voice_->position) / Voice::rate;
}

void AudioPlayer::setCurrentTime(double seconds) {
    std::lock_guard lock(Output::shared().mutex());
    double frame = std::isnan(seconds) ? 0 : std::clamp(seconds, 0.0, duration()) * Voice::rate;
    voice_->position = std::min(static_cast<std::size_t>(frame), voice_->frames());
}

void AudioPlayer::didReachEnd() {
    if (isPlaying()) return;  // played again before the news of the end arrived
    if (auto delegate = delegate_.lock()) delegate->audioPlayerDidFinishPlaying(*this, true);
}

}  // namespace audio
