#include "data/ServiceHosts.h"

#include <cstdlib>
#include <mutex>

namespace {

std::mutex hostsMutex;

ServiceHosts& installed() {
    static ServiceHosts hosts = ServiceHosts::fromEnvironment();
    return hosts;
}

void overrideFrom(const char* variable, std::string& host) {
    const char* value = std::getenv(variable);
    if (value && *value) host = value;
}

}  // namespace

ServiceHosts ServiceHosts::fromEnvironment() {
    ServiceHosts hosts;
    overrideFrom("SORVANE_RESULTS_HOST", hosts.resultsAPI);
    overrideFrom("SORVANE_LIVETIMING_HOST", hosts.liveTiming);
    overrideFrom("SORVANE_POLLS_HOST", hosts.polls);
    overrideFrom("SORVANE_MEDIA_HOST", hosts.mediaImages);
    overrideFrom("SORVANE_FLAGS_HOST", hosts.flagImages);
    overrideFrom("SORVANE_FIA_NEWS_HOST", hosts.fiaNews);
    overrideFrom("SORVANE_AUTOSPORT_NEWS_HOST", hosts.autosportNews);
    overrideFrom("SORVANE_GPBLOG_NEWS_HOST", hosts.gpblogNews);
    overrideFrom("SORVANE_BBC_NEWS_HOST", hosts.bbcNews);
    overrideFrom("SORVANE_SHIFTF1_NEWS_HOST", hosts.shiftF1News);
    return hosts;
}

// Hosts are read on every request from any thread, and set only at start-up and by tests.
ServiceHosts ServiceHosts::current() {
    std::lock_guard lock(hostsMutex);
    return installed();
}

void ServiceHosts::setCurrent(ServiceHosts hosts) {
    std::lock_guard lock(hostsMutex);
    installed() = std::move(hosts);
}
