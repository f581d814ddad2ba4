#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace dispatch {

class RunLoop;
class Timer;

// Calls back once per frame on the run loop it was added to, with the frame's timestamp (Clock uptime).
// Paused or invalidated it neither calls back nor wakes the loop.
class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
public:
    using Callback = std::function<void(DisplayLink&)>;

    static std::shared_ptr<DisplayLink> create(Callback callback);
    explicit DisplayLink(Callback callback) : callback_(std::move(callback)) {}
    ~DisplayLink();

    void addToRunLoop(const std::shared_ptr<RunLoop>& loop);
    void removeFromRunLoop();
    void invalidate();  // final: removes the link and releases the callback

    bool isPaused() const;
    void setPaused(bool paused);
    int preferredFramesPerSecond() const;
    void setPreferredFramesPerSecond(int framesPerSecond);

    double timestamp() const;        // the frame being delivered
    double targetTimestamp() const;  // when the next frame is due
    double duration() const;         // one frame, in seconds

private:
    void restartTimer(std::unique_lock<std::mutex>& lock);
    void deliverFrame(double frameTime);

    mutable std::mutex mutex_;
    Callback callback_;
    std::weak_ptr<RunLoop> loop_;
    std::shared_ptr<Timer> timer_;
    bool paused_ = false;
    bool invalidated_ = false;
    int framesPerSecond_ = 60;
    double timestamp_ = 0;
};

}  // namespace dispatch
