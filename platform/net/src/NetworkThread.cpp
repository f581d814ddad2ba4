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
    thread_ = std::thread([this] { run(); });
    thread_.detach();
}

void NetworkThread::post(std::function<void()> command) {
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(std::move(command));
    }
    curl_multi_wakeup(multi_);
}

void NetworkThread::run() {
    std::vector<std::function<void()>> commands;
    while (true) {
        {
            std::lock_guard lock(mutex_);
            commands.swap(commands_);
        }
        for (auto& command : commands) {
            command();
            command = nullptr;
        }
        commands.clear();

        int running = 0;
        curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            if (transfer) transfer->transferDone(message->data.result);
        }
        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
}

}  // namespace net
