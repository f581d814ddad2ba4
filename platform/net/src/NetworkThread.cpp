#include "NetworkThread.h"

namespace net {

NetworkThread& NetworkThread::instance() {
    // Never destroyed: transfers may still be finishing while the process exits.
    static NetworkThread* thread = new NetworkThread();
    return *thread;
}

NetworkThread::NetworkThread() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    // As the platform: at most six connections to one host; further transfers wait for one to free up.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, maximumConnectionsPerHost);
    std::thread thread([this] { run(); });
    id_ = thread.get_id();
    thread.detach();
}

void NetworkThread::post(std::function<void()> command) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = commands_.empty();
        commands_.push_back(std::move(command));
    }
    // The loop looks for commands before it waits again, so a command of its own needs no wake-up, and
    // neither does one that joins commands not yet taken: whoever posted the first has woken the loop.
    if (first && !isCurrent()) curl_multi_wakeup(multi_);
}

CURL* NetworkThread::takeHandle() {
    if (idleHandles_.empty()) return curl_easy_init();
    CURL* easy = idleHandles_.back();
    idleHandles_.pop_back();
    return easy;
}

void NetworkThread::giveBack(CURL* easy) {
    // Let go of the session's cookies first: a kept handle must not hold a share that its session
    // frees, nor carry one session's cookies into another's transfer. The cookie files go while the
    // share is still there, which keeps its cookies; a reset would leave the list behind, unfreed.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
    curl_easy_setopt(easy, CURLOPT_SHARE, nullptr);
    if (idleHandles_.size() >= keptHandles) return curl_easy_cleanup(easy);
    curl_easy_reset(easy);
    idleHandles_.push_back(easy);
}

void NetworkThread::deliver(const std::shared_ptr<dispatch::Queue>& queue, dispatch::Block block) {
    for (auto& [target, blocks] : outbox_)
        if (target == queue) return blocks.push_back(std::move(block));
    outbox_.emplace_back(queue, std::vector<dispatch::Block>{}).second.push_back(std::move(block));
}

void NetworkThread::handOver() {
    ++round_;
    try {
        handOverBlocks();
    } catch (...) {
        // Memory ran out for a hand-over: what it held is lost, the thread goes on.
        outbox_.clear();
    }
}

void NetworkThread::handOverBlocks() {
    for (auto& [queue, blocks] : std::exchange(outbox_, {})) {
        if (blocks.size() == 1) {
            queue->async(std::move(blocks.front()));
            continue;
        }
        queue->async([blocks = std::move(blocks)]() mutable {
            for (auto& block : blocks) {
                block();
                block = nullptr;
            }
        });
    }
}

void NetworkThread::run() {
    std::vector<std::function<void()>> commands;
    while (true) {
        {
            std::lock_guard lock(mutex_);
            commands.swap(commands_);
        }
        for (auto& command : commands) {
            // A transfer's own steps end that transfer when they fail; nothing that fails around them
            // may end the thread, and with it the process.
            try {
                command();
            } catch (...) {
            }
            command = nullptr;
        }
        commands.clear();
        // What the commands ended (a cancel, an in-process answer) need not wait for the transfers' turn.
        if (!outbox_.empty()) handOver();

        int running = 0;
        curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            if (transfer) transfer->transferDone(message->data.result);
        }
        handOver();
        bool pending = false;
        {
            std::lock_guard lock(mutex_);
            pending = !commands_.empty();
        }
        if (!pending) curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
}

}  // namespace net
