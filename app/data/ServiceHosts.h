#pragma once

#include <string>

// The hosts of the outside services, read once from the environment. Schemes and paths are fixed by
// the code that builds each request; only where a service lives is configuration.
struct ServiceHosts {
    std::string resultsAPI = "ergast.com";                // SORVANE_RESULTS_HOST
    std::string liveTiming = "livetiming.formula1.com";  // SORVANE_LIVETIMING_HOST
    std::string polls = "polls.sorvane.test";            // SORVANE_POLLS_HOST
    std::string mediaImages = "media.formula1.com";      // SORVANE_MEDIA_HOST: circuit maps
    std::string flagImages = "flags.sorvane.test";       // SORVANE_FLAGS_HOST: the flag list's pictures
    // The five news feeds, in the news screen's order.
    std::string fiaNews = "fia.news.sorvane.test";              // SORVANE_FIA_NEWS_HOST
    std::string autosportNews = "autosport.news.sorvane.test";  // SORVANE_AUTOSPORT_NEWS_HOST
    std::string gpblogNews = "gpblog.news.sorvane.test";        // SORVANE_GPBLOG_NEWS_HOST
    std::string bbcNews = "bbc.news.sorvane.test";              // SORVANE_BBC_NEWS_HOST
    std::string shiftF1News = "shiftf1.news.sorvane.test";      // SORVANE_SHIFTF1_NEWS_HOST

    // A copy: tests and shutdown replace the hosts while requests on other threads read them.
    static ServiceHosts current();
    // Tests point the app at their own hosts; the change holds until the next call.
    static void setCurrent(ServiceHosts hosts);
    static ServiceHosts fromEnvironment();
};
