#pragma once

#include <SDL.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "dispatch/RunLoop.h"
#include "dispatch/Timer.h"

namespace host {

// Makes a waiting run loop turn when window input is pending, so the loop can sleep instead of
// polling. X11 events reach SDL only when the main thread pumps; a thread waits for the X connection
// to become readable and wakes the loop, then waits for that drain before looking again, so it never
// spins on data the main thread has not read yet. Events pushed from other threads wake the loop
// through an SDL event watch. Without an X connection (another video driver) a 60 Hz run-loop timer
// turns the loop while the window is open.
class InputPump {
public:
    InputPump(int connectionDescriptor, std::weak_ptr<dispatch::RunLoop> loop);
    ~InputPump();
    InputPump(const InputPump&) = delete;
    InputPump& operator=(const InputPump&) = delete;

    // Brackets the main thread's SDL_PollEvent loop.
    void beginDrain() { draining_ = true; }
    void endDrain();

private:
    static int onEventAdded(void* pump, SDL_Event* event);
    void watch();
    void wakeLoop();

    int connection_ = -1;
    int stopDescriptor_ = -1;  // an eventfd that interrupts the watcher's poll
    std::weak_ptr<dispatch::RunLoop> loop_;
    std::shared_ptr<dispatch::Timer> fallbackTimer_;
    bool draining_ = false;  // main thread only

    std::mutex mutex_;
    std::condition_variable drained_;
    unsigned long drainCount_ = 0;
    bool stopping_ = false;
    std::thread watcher_;
};

}  // namespace host
