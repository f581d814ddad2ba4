#pragma once

#include <string>
#include <string_view>

#include "dispatch/Task.h"
#include "foundation/Data.h"

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

    static dispatch::Task<foundation::Data> all(std::string year);
    static dispatch::Task<foundation::Data> driverList(std::string path);
    static dispatch::Task<foundation::Data> teamRadio(std::string path);
    static dispatch::Task<foundation::Data> driverOfTheDay();
    static dispatch::Task<foundation::Data> weatherData(std::string path);
    static dispatch::Task<foundation::Data> timingData(std::string path);
    static dispatch::Task<foundation::Data> topThree(std::string path);
    static dispatch::Task<foundation::Data> championshipPrediction(std::string path);
    static dispatch::Task<foundation::Data> raceControlMessages(std::string path);
    static dispatch::Task<foundation::Data> tyreStintSeries(std::string path);

    // Further files of a session folder that no screen decodes.
    static dispatch::Task<foundation::Data> sessionData(std::string path);
    static dispatch::Task<foundation::Data> sessionStatus(std::string path);
    static dispatch::Task<foundation::Data> driverRaceInfo(std::string path);
    static dispatch::Task<foundation::Data> lapSeries(std::string path);
    static dispatch::Task<foundation::Data> lapCount(std::string path);
    static dispatch::Task<foundation::Data> currentTyres(std::string path);
    static dispatch::Task<foundation::Data> weatherDataSeries(std::string path);
    static dispatch::Task<foundation::Data> TlaRcm(std::string path);
    static dispatch::Task<foundation::Data> audioStreams(std::string path);
    static dispatch::Task<foundation::Data> heartbeat(std::string path);
    static dispatch::Task<foundation::Data> extrapolatedClock(std::string path);
    static dispatch::Task<foundation::Data> timingStats(std::string path);
    static dispatch::Task<foundation::Data> timingAppData(std::string path);
    static dispatch::Task<foundation::Data> SPFeed(std::string path);
    static dispatch::Task<foundation::Data> driverScore(std::string path);
    static dispatch::Task<foundation::Data> pitLaneTimeCollection(std::string path);
};
