#pragma once

#include <expected>
#include <memory>
#include <string>

#include "audio/AudioError.h"
#include "foundation/Data.h"

namespace audio {

class AudioPlayer;
struct Voice;

// Told on the main queue when a clip has played to its end.
class AudioPlayerDelegate {
public:
    virtual ~AudioPlayerDelegate() = default;
    virtual void audioPlayerDidFinishPlaying(AudioPlayer& player, bool successfully) = 0;
};

// One MP3 clip, decoded whole when the player is made (so the file may go away right after), played
// through the shared output. Releasing the player ends its playback. Made on any thread; played,
// paused and read on the main thread; the end is reported on the main queue.
class AudioPlayer : public std::enable_shared_from_this<AudioPlayer> {
public:
    // The largest file a player reads: a team-radio clip is a few kilobytes.
    static constexpr std::size_t maximumFileSize = 16 * 1024 * 1024;

    static std::expected<std::shared_ptr<AudioPlayer>, AudioError> make(const std::string& filePath);
    static std::expected<std::shared_ptr<AudioPlayer>, AudioError> make(const foundation::Data& data);
    ~AudioPlayer();

    void setDelegate(std::weak_ptr<AudioPlayerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::weak_ptr<AudioPlayerDelegate> delegate() const { return delegate_; }

    // Starts the output if it is not running; false when no output can start.
    bool prepareToPlay();
    // From the current time; false when no output can start.
    bool play();
    // Keeps the current time.
    void pause();
    // Keeps the current time too, but a later play starts the output again.
    void stop();
    bool isPlaying() const;

    // 0 to 1.
    float volume() const;
    void setVolume(float volume);

    // Seconds.
    double duration() const;
    double currentTime() const;
    void setCurrentTime(double seconds);

    // Called by the output, on the main queue, when the clip has played to its end.
    void didReachEnd();

private:
    explicit AudioPlayer(std::shared_ptr<Voice> voice);

    std::shared_ptr<Voice> voice_;
    std::weak_ptr<AudioPlayerDelegate> delegate_;
};

}  // namespace audio
