#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "dispatch/Queue.h"

namespace net {

// The one thread that drives every transfer through a curl multi handle. Everything that touches a
// transfer's curl state runs here, posted as a command.
class NetworkThread {
public:
    // Called on the network thread when an added easy handle is done; set as the handle's CURLOPT_PRIVATE.
    class Transfer {
    public:
        virtual void transferDone(CURLcode result) = 0;

    protected:
        ~Transfer() = default;
    };

    static constexpr long maximumConnectionsPerHost = 6;
    // Handles kept for later transfers: enough for every connection a busy host gets, and a few more.
    static constexpr std::size_t keptHandles = 16;

    // Lives until the process ends.
    static NetworkThread& instance();

    void post(std::function<void()> command);
    bool isCurrent() const { return std::this_thread::get_id() == id_; }
    CURLM* multi() const { return multi_; }

    // Network thread only, like everything below. A handle with every option at its default: one a
    // finished transfer gave back, else a new one. A transfer then costs no handle set-up or read buffer.
    CURL* takeHandle();
    // The handle of a transfer that is over, already out of the multi handle.
    void giveBack(CURL* easy);

    // Runs the block on the queue once the current round is over (the commands taken together, or one
    // turn of the transfers), in one hand-over with every other block the round had for that queue: a
    // thread is woken once per round, not once per event. Blocks for one queue keep their order.
    void deliver(const std::shared_ptr<dispatch::Queue>& queue, dispatch::Block block);
    // Counts the rounds whose blocks have been handed over; a block delivered in this round may still
    // be added to until the count moves on.
    std::uint64_t round() const { return round_; }

private:
    NetworkThread();
    void run();
    void handOver();
    void handOverBlocks();

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<std::function<void()>> commands_;
    std::thread::id id_;  // kept apart: a detached std::thread forgets its id

    std::vector<CURL*> idleHandles_;
    std::vector<std::pair<std::shared_ptr<dispatch::Queue>, std::vector<dispatch::Block>>> outbox_;
    std::uint64_t round_ = 0;
};

}  // namespace net
