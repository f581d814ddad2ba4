#pragma once

#include <curl/curl.h>

#include <memory>

namespace net {

// Cookies kept in memory and shared by the transfers of the sessions that hold the jar. Used only on the
// network thread, so the share needs no locks.
class CookieJar {
public:
    CookieJar() : share_(curl_share_init()) { curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE); }
    ~CookieJar() { curl_share_cleanup(share_); }
    CookieJar(const CookieJar&) = delete;
    CookieJar& operator=(const CookieJar&) = delete;

    // The jar of default sessions, for the whole process.
    static std::shared_ptr<CookieJar> process() {
        // Never destroyed: the network thread may use it while the process exits.
        static const auto* jar = new std::shared_ptr<CookieJar>(std::make_shared<CookieJar>());
        return *jar;
    }

    CURLSH* share() const { return share_; }

private:
    CURLSH* share_;
};

}  // namespace net
