#pragma once

#include <string>

// The hosts of the outside services, read once from the environment. Schemes and paths are fixed by
// the code that builds each request; only where a service lives is configuration.
struct ServiceHosts {
    std::string resultsAPI = "ergast.com";                // SORVANE_RESULTS_HOST
    std::string liveTiming = "livetiming.formula1.com";  // SORVANE_LIVETIMING_HOST
    std::string polls = "polls.sorvane.test";            // SORVANE_POLLS_HOST

    static const ServiceHosts& current();
    // Tests point the app at their own hosts; the change holds until the next call.
    static void setCurrent(ServiceHosts hosts);
    static ServiceHosts fromEnvironment();
};
