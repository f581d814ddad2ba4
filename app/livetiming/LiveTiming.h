#pragma once

#include <string>
#include <string_view>

#include "dispatch/Task.h"
#include "data/Client.h"

// The live-timing static tree and the polls service: where each document lives, and async reads of
// them through Client.shared. Nothing is decoded here.
//
// Years and session paths come from the feed or the user, so they are made safe before they enter an
// address: characters a path may not hold are percent-encoded, and a text that would leave the static
// tree (a scheme, a host, a ".." segment) yields an empty address, which reads as empty data.
struct LiveTiming {
    // "https://" + host + "/static/"
    static std::string staticBase();
    static std::string seasonIndexURL(std::string_view year);
    static std::string sessionFileURL(std::string_view sessionPath, std::string_view fileName);
    static std::string teamRadioClipURL(std::string_view sessionPath, std::string_view clipPath);
    static std::string pollsURL();

    static dispatch::Task<Loaded> all(std::string year);
    static dispatch::Task<Loaded> driverList(std::string path);
    static dispatch::Task<Loaded> teamRadio(std::string path);
    static dispatch::Task<Loaded> driverOfTheDay();
    static dispatch::Task<Loaded> weatherData(std::string path);
    static dispatch::Task<Loaded> timingData(std::string path);
    static dispatch::Task<Loaded> topThree(std::string path);
    static dispatch::Task<Loaded> championshipPrediction(std::string path);
    static dispatch::Task<Loaded> raceControlMessages(std::string path);
    static dispatch::Task<Loaded> tyreStintSeries(std::string path);

    // Further files of a session folder that no screen decodes.
    static dispatch::Task<Loaded> sessionData(std::string path);
    static dispatch::Task<Loaded> sessionStatus(std::string path);
    static dispatch::Task<Loaded> driverRaceInfo(std::string path);
    static dispatch::Task<Loaded> lapSeries(std::string path);
    static dispatch::Task<Loaded> lapCount(std::string path);
    static dispatch::Task<Loaded> currentTyres(std::string path);
    static dispatch::Task<Loaded> weatherDataSeries(std::string path);
    static dispatch::Task<Loaded> TlaRcm(std::string path);
    static dispatch::Task<Loaded> audioStreams(std::string path);
    static dispatch::Task<Loaded> heartbeat(std::string path);
    static dispatch::Task<Loaded> extrapolatedClock(std::string path);
    static dispatch::Task<Loaded> timingStats(std::string path);
    static dispatch::Task<Loaded> timingAppData(std::string path);
    static dispatch::Task<Loaded> SPFeed(std::string path);
    static dispatch::Task<Loaded> driverScore(std::string path);
    static dispatch::Task<Loaded> pitLaneTimeCollection(std::string path);
};
