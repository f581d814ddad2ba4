#pragma once

#include <curl/curl.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

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

    // Lives until the process ends.
    static NetworkThread& instance();

    void post(std::function<void()> command);
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
    CURLM* multi() const { return multi_; }

private:
    NetworkThread();
    void run();

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<std::function<void()>> commands_;
    std::thread thread_;
};

}  // namespace net
