#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "InProcessHosts.h"
#include "data/Client.h"
#include "data/ResultsEndpoints.h"
#include "data/ServiceHosts.h"
#include "dispatch/Task.h"
#include "foundation/URL.h"
#include "net/ProtocolRegistry.h"
#include "net/Session.h"

namespace {

// Answers the results host in-process and remembers every address asked for.
class RecordingResultsHost : public ::testing::Test {
protected:
    std::string lastRequested() {
        std::lock_guard lock(mutex);
        return requested.empty() ? std::string() : requested.back();
    }

    std::mutex mutex;
    std::vector<std::string> requested;
    InProcessHosts hosts{ServiceHosts{.resultsAPI = "results.test", .liveTiming = "", .polls = ""},
                         [this](const net::Request& request) {
                             std::lock_guard lock(mutex);
                             requested.push_back(request.url->absoluteString());
                             return InProcessHosts::answer(request, 404, "nope");
                         }};
};

struct EndpointCase {
    std::string name;
    std::function<dispatch::Task<Loaded>()> call;
    std::string path;
};

TEST_F(RecordingResultsHost, everyOperationRequestsItsPathAfterTheBase) {
    const std::vector<EndpointCase> cases{
        {"driverCurrent", [] { return Standings::driverCurrent(1999); }, "current/driverStandings.json"},
        {"driverSpecific", [] { return Standings::driverSpecific("alonso"); }, "drivers/alonso/driverStandings.json"},
        {"driverAfterRace", [] { return Standings::driverAfterRace(2023, 5); }, "2023/5/driverStandings.json"},
        {"driverAfterSeason", [] { return Standings::driverAfterSeason(2023); }, "2023/driverStandings.json"},
        {"driversAllWinners", [] { return Standings::driversAllWinners(2010); }, "driverStandings/1.json"},
        {"constructorsCurrent", [] { return Standings::constructorsCurrent(0); }, "current/constructorStandings.json"},
        {"constructorSpecific", [] { return Standings::constructorSpecific("ferrari"); },
         "constructors/ferrari/constructorStandings.json"},
        {"constructorAfterRace", [] { return Standings::constructorAfterRace(2023, 12); },
         "2023/12/constructorStandings.json"},
        {"constructorAfterSeason", [] { return Standings::constructorAfterSeason(2021); }, "2021/constructorStandings.json"},
        {"constructorsAllWinners", [] { return Standings::constructorsAllWinners(1); }, "constructorStandings/1.json"},
        {"currentSeason", [] { return RaceSchedules::currentSeason(); }, "current.json"},
        {"specificSeason", [] { return RaceSchedules::specificSeason(2023); }, "2023.json"},
        {"specificRace", [] { return RaceSchedules::specificRace(2023, 7); }, "2023/7.json"},
        {"results", [] { return RaceResults::all(2023, 5); }, "2023/5/results.json"},
        {"recent", [] { return RaceResults::recent(); }, "current/last/results.json"},
        {"qualifying", [] { return QualifyingResults::all(2023, 4); }, "2023/4/qualifying.json"},
        {"lap without a leading zero", [] { return LapTimes::lap(2023, 5, 1); }, "2023/5/laps/1.json"},
        {"pitStops", [] { return PitStops::pitStops(2023, 18); }, "2023/18/pitstops.json"},
        {"one pit stop", [] { return PitStops::specific(2023, 12, 2); }, "2023/12/pitstops/2.json"},
        {"negative year", [] { return RaceSchedules::specificSeason(-1); }, "-1.json"},
        {"constructors", [] { return Constructors::listAllConstructors(); }, "constructors.json"},
        {"constructors of a year", [] { return Constructors::listAllConstructorsWithinYear(2023); },
         "2023/constructors.json"},
        {"constructors of a round", [] { return Constructors::listAllConstructorsWithinRaceAndYear(2023, 3); },
         "2023/3/constructors.json"},
        {"constructor", [] { return Constructors::constructorInformation("mclaren"); }, "constructors/mclaren.json"},
        {"drivers", [] { return Drivers::listAllDrivers(); }, "drivers.json"},
        {"drivers of a year", [] { return Drivers::listAllDriversWithinYear(2023); }, "2023/drivers.json"},
        {"drivers of a round", [] { return Drivers::listAllDriversWithinRaceAndYear(2023, 22); }, "2023/22/drivers.json"},
        {"driver with an empty identifier", [] { return Drivers::driverInformation(""); }, "drivers/.json"},
        {"circuits", [] { return Circuits::listAllCircuits(); }, "circuits.json"},
        {"circuits of a year", [] { return Circuits::listAllCircuitsWithinYear(2023); }, "2023/circuits.json"},
        {"circuits of a round", [] { return Circuits::listAllCircuitsWithinRaceAndYear(2023, 1); }, "2023/1/circuits.json"},
        {"circuit", [] { return Circuits::circuitInformation("monza"); }, "circuits/monza.json"},
        {"statuses", [] { return FinishingStatus::all(); }, "status.json"},
        {"statuses of a year", [] { return FinishingStatus::specificSeason(2023); }, "2023/status.json"},
        {"statuses of a round", [] { return FinishingStatus::specificRoundInSeason(2023, 17); }, "2023/17/status.json"},
    };
    for (const auto& endpoint : cases) {
        auto body = dispatch::syncWait(endpoint.call());
        EXPECT_EQ(lastRequested(), "http://results.test/api/f1/" + endpoint.path) << endpoint.name;
        // An error page is a failure with its status, never a body to decode.
        ASSERT_TRUE(body.failure) << endpoint.name;
        EXPECT_EQ(body.failure->status, 404) << endpoint.name;
        EXPECT_TRUE(body.empty()) << endpoint.name;
        EXPECT_EQ(body.address, "http://results.test/api/f1/" + endpoint.path) << endpoint.name;
    }
}

TEST_F(RecordingResultsHost, anIdentifierTheParserRejectsGivesEmptyDataWithoutARequest) {
    auto body = dispatch::syncWait(Drivers::driverInformation("max verstappen"));
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(lastRequested().empty());
}

}  // namespace
