#include "CertificateAuthorities.h"

#include <curl/curl.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "net/CertificateAuthorities.h"

namespace net {

namespace {

// Never destroyed: transfers are set up on the network thread, which may outlive exit().
std::mutex& mutex = *new std::mutex;
std::string& extraAuthorities = *new std::string;

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string systemBundlePath(CURL* easy) {
    char* path = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CAINFO, &path);
    return path ? path : "/etc/ssl/certs/ca-certificates.crt";
}

}  // namespace

bool addTrustedCertificateAuthorities(const std::string& pemFile) {
    auto pem = contentsOf(pemFile);
    if (pem.empty()) return false;
    std::lock_guard lock(mutex);
    extraAuthorities += "\n" + pem;
    return true;
}

void applyCertificateAuthorities(CURL* easy) {
    std::lock_guard lock(mutex);
    if (extraAuthorities.empty()) return;
    static const auto& systemBundle = *new std::string(contentsOf(systemBundlePath(easy)));
    std::string bundle = systemBundle + extraAuthorities;
    curl_blob blob{bundle.data(), bundle.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
}

}  // namespace net
