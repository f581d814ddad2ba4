#include <SDL.h>
#include <mpg123.h>

#include <cstdint>
#include <memory>

#include "Output.h"

namespace audio {

namespace {

// Five minutes at the output's rate: far above a radio clip, and a bound on what a file can make us hold.
constexpr std::size_t maximumFrames = std::size_t(5) * 60 * Voice::rate;

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
struct StreamDeleter {
    void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
};

AudioError notAudio(std::string why) { return AudioError{AudioError::Code::notAudio, std::move(why)}; }

}  // namespace

std::expected<std::vector<float>, AudioError> decodeMP3(const unsigned char* bytes, std::size_t size) {
    // Thread-safe and idempotent since mpg123 1.27; needed before then.
    mpg123_init();
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleDeleter> handle(mpg123_new(nullptr, &error));
    if (!handle) return std::unexpected(notAudio("the MP3 decoder could not start"));
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Every rate and layout, always as 16-bit samples, which every build of the decoder gives.
    mpg123_format_none(handle.get());
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_open_feed(handle.get()) != MPG123_OK || mpg123_feed(handle.get(), bytes, size) != MPG123_OK) {
        return std::unexpected(notAudio("the MP3 decoder could not read the data"));
    }

    long rate = 0;
    int channels = 0;
    std::vector<std::int16_t> pcm;
    std::vector<unsigned char> chunk(32 * 1024);
    for (;;) {
        std::size_t done = 0;
        int result = mpg123_read(handle.get(), chunk.data(), chunk.size(), &done);
        if (result == MPG123_NEW_FORMAT) {
            long newRate = 0;
            int newChannels = 0, encoding = 0;
            mpg123_getformat(handle.get(), &newRate, &newChannels, &encoding);
            // A clip that changes its format halfway keeps the part before the change.
            if (rate != 0 && (newRate != rate || newChannels != channels)) break;
            rate = newRate, channels = newChannels;
            continue;
        }
        if (done > 0 && rate > 0) {
            auto* samples = reinterpret_cast<const std::int16_t*>(chunk.data());
            pcm.insert(pcm.end(), samples, samples + done / sizeof(std::int16_t));
            if (pcm.size() / static_cast<std::size_t>(channels) * Voice::rate / static_cast<std::size_t>(rate) > maximumFrames) {
                return std::unexpected(AudioError{AudioError::Code::fileUnreadable, "the clip is longer than five minutes"});
            }
        }
        if (result != MPG123_OK) break;  // the end of the data, or an error after the good frames
    }
    if (rate <= 0 || channels <= 0 || pcm.empty()) return std::unexpected(notAudio("no MPEG audio frames in the data"));

    std::unique_ptr<SDL_AudioStream, StreamDeleter> stream(
        SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(channels), static_cast<int>(rate), AUDIO_F32SYS,
                           Voice::channels, Voice::rate));
    if (!stream) return std::unexpected(notAudio(std::string("the clip's format cannot be converted: ") + SDL_GetError()));
    if (SDL_AudioStreamPut(stream.get(), pcm.data(), static_cast<int>(pcm.size() * sizeof(std::int16_t))) != 0 ||
        SDL_AudioStreamFlush(stream.get()) != 0) {
        return std::unexpected(notAudio(std::string("the clip could not be converted: ") + SDL_GetError()));
    }
    std::vector<float> converted(static_cast<std::size_t>(SDL_AudioStreamAvailable(stream.get())) / sizeof(float));
    int got = SDL_AudioStreamGet(stream.get(), converted.data(), static_cast<int>(converted.size() * sizeof(float)));
    if (got < 0) return std::unexpected(notAudio(std::string("the clip could not be converted: ") + SDL_GetError()));
    converted.resize(static_cast<std::size_t>(got) / sizeof(float) / Voice::channels * Voice::channels);
    if (converted.empty()) return std::unexpected(notAudio("no MPEG audio frames in the data"));
    return converted;
}

}  // namespace audio
