#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace net {

// The delegate queue of a session made without one: blocks run in order on a thread of its own.
class SerialQueue {
public:
    SerialQueue();
    ~SerialQueue();
    void async(std::function<void()> block);

private:
    // Shared with the thread, which may outlive the queue when the queue dies on it.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> blocks;
        bool stopping = false;
    };
    static void run(std::shared_ptr<State> state);

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};

}  // namespace net
