#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <tuple>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ModelTestSupport.h"
#include "data/CircuitDetails.h"
#include "data/CountryFlags.h"
#include "data/RaceModels.h"
#include "data/ServiceHosts.h"

namespace {

using modeltest::FailureKind;

std::vector<CountryFlagsModel> storedFlags() {
    auto flags = modeltest::decode<std::vector<CountryFlagsModel>>(CountryFlagsJSON::shared().countryFlagsJSON);
    EXPECT_TRUE(flags) << flags.error().description();
    return flags.value_or(std::vector<CountryFlagsModel>{});
}

circuitDetailsModel storedCircuits() {
    auto details = modeltest::decode<circuitDetailsModel>(CircuitDetailsJSON::shared().circuitDetailsJSON);
    EXPECT_TRUE(details) << details.error().description();
    return details.value_or(circuitDetailsModel{});
}

TEST(CountryFlags, storedListDecodesInDocumentOrder) {
    EXPECT_EQ(CountryFlagsJSON::shared().countryFlagsJSON.size(), 40729u);
    EXPECT_EQ(&CountryFlagsJSON::shared(), &CountryFlagsJSON::shared());
    auto flags = storedFlags();
    ASSERT_EQ(flags.size(), 263u);
    EXPECT_EQ(flags.front().country, "Ascension Island");
    EXPECT_EQ(flags.back().country, "Wales");
    for (const auto& entry : flags) {
        EXPECT_TRUE(entry.flag.starts_with("https://") && entry.flag.ends_with(".svg")) << entry.flag;
        EXPECT_EQ(entry.code.has_value(), entry.country != "Caribbean Netherlands" && entry.country != "Iran") << entry.country;
    }
}

TEST(CountryFlags, lookUpIgnoresCaseButNothingElse) {
    auto flags = storedFlags();
    auto flagOf = [&](std::string_view country) {
        const auto* entry = flagForCountry(flags, country);
        return entry ? entry->country : std::string("none");
    };
    EXPECT_EQ(flagOf("UK"), "UK");
    EXPECT_TRUE(flagForCountry(flags, "UK")->flag.ends_with("/1f1ec-1f1e7.svg"));
    EXPECT_EQ(flagOf("uae"), "UAE");
    EXPECT_EQ(flagOf("Saudi arabia"), "Saudi Arabia");
    EXPECT_EQ(flagOf("ÅLAND ISLANDS"), "Åland Islands");  // beyond ASCII
    EXPECT_EQ(flagOf("UAE "), "none");
    EXPECT_EQ(flagOf("United Arab Emirates"), "none");
    EXPECT_EQ(flagForCountry(flags, "USA")->flag, flagForCountry(flags, "US")->flag);
    EXPECT_EQ(flagForCountry(flags, "usa")->flag, flagForCountry(flags, "United States")->flag);
    EXPECT_NE(flagForCountry(flags, "UK")->flag, flagForCountry(flags, "England")->flag);
}

TEST(CountryFlags, entryFieldsFollowTheirRules) {
    const char* entry = R"([{"flag":"%s","country":"Chile","code":"cl"}])";
    auto withFlag = [&](std::string flag) {
        std::string text = entry;
        return modeltest::decode<std::vector<CountryFlagsModel>>(text.replace(text.find("%s"), 2, flag));
    };
    EXPECT_TRUE(withFlag("https://flags.example/2/svg/1f1e8-1f1f1.svg"));
    EXPECT_TRUE(withFlag("http://flags.example:8080/x.svg"));
    for (std::string bad : {"", "flags.example/x.svg", "https://", "https:///x.svg", "ftp://flags.example/x.svg",
                            "https://flags example/x.svg", "https://flags.example/\\t"}) {
        auto decoded = withFlag(bad);
        ASSERT_FALSE(decoded) << bad;
        EXPECT_EQ(decoded.error().kind, FailureKind::dataCorrupted) << bad;
    }
    EXPECT_FALSE(modeltest::decode<std::vector<CountryFlagsModel>>(R"([{"flag":"https://a.example/x.svg"}])"));
    EXPECT_FALSE(modeltest::decode<std::vector<CountryFlagsModel>>(R"([{"flag":"https://a.example/x.svg","country":"X","code":7}])"));
    auto noCode = modeltest::decode<std::vector<CountryFlagsModel>>(R"([{"flag":"https://a.example/x.svg","country":"X","code":null}])");
    ASSERT_TRUE(noCode);
    EXPECT_FALSE(noCode->at(0).code);
    modeltest::expectStableRoundTrip(*noCode);
}

TEST(CountryFlags, picturesAreRequestedAtTheFlagHostSetting) {
    CountryFlagsModel entry{"https://flags.sorvane.test/2/svg/1f1e6-1f1ff.svg", "Azerbaijan", "az"};
    EXPECT_EQ(flagImageAddress(entry, "flagcdn.example"), "https://flagcdn.example/2/svg/1f1e6-1f1ff.svg");
    EXPECT_EQ(flagImageAddress(entry, "flags.sorvane.test"), entry.flag);
    entry.flag = "https://flags.sorvane.test/2/svg/x.svg?v=2";
    EXPECT_EQ(flagImageAddress(entry, "127.0.0.1:8080"), "https://127.0.0.1:8080/2/svg/x.svg?v=2");

    // In live mode the setting is read from the environment like the other hosts.
    const char* configured = std::getenv("SORVANE_FLAGS_HOST");
    std::string before = configured ? configured : "";
    ::setenv("SORVANE_FLAGS_HOST", "flags.live.example", 1);
    EXPECT_EQ(ServiceHosts::fromEnvironment().flagImages, "flags.live.example");
    ::unsetenv("SORVANE_FLAGS_HOST");
    EXPECT_EQ(ServiceHosts::fromEnvironment().flagImages, "flags.sorvane.test");
    if (!before.empty()) ::setenv("SORVANE_FLAGS_HOST", before.c_str(), 1);
}

TEST(ServiceHostsSetting, readersOnOtherThreadsKeepTheirOwnCopyWhileTheHostsAreReplaced) {
    // Requests read the hosts on any thread while tests and shutdown replace them: each reader must
    // hold a copy, never a reference into the hosts being replaced.
    std::atomic<bool> stop = false;
    std::thread reader([&] {
        while (!stop) {
            std::string address = "https://" + ServiceHosts::current().liveTiming + "/static/";
            ASSERT_TRUE(address.find("feed-") != std::string::npos || address.find("livetiming") != std::string::npos)
                << address;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        ServiceHosts hosts;
        hosts.liveTiming = "feed-" + std::string(64, static_cast<char>('a' + round % 26)) + ".test";
        ServiceHosts::setCurrent(std::move(hosts));
    }
    stop = true;
    reader.join();
    ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
}

TEST(CircuitDetails, storedDocumentHoldsTwentyThreePlacesKeyedByTheirIds) {
    EXPECT_EQ(&CircuitDetailsJSON::shared(), &CircuitDetailsJSON::shared());
    auto details = storedCircuits();
    ASSERT_EQ(details.places.size(), 23u);
    for (const auto& [key, place] : details.places) EXPECT_EQ(key, place.id);
    const auto& sakhir = details.places.at("Sakhir");
    EXPECT_EQ(sakhir.lapCount, 57);
    EXPECT_EQ(sakhir.cornerCount, 15);
    EXPECT_EQ(sakhir.record.time, "1.31.447");
    const auto& lasVegas = details.places.at("Las Vegas");
    EXPECT_EQ(lasVegas.record.time, "--");
    EXPECT_EQ(lasVegas.record.driver, "--");
    EXPECT_EQ(lasVegas.record.year, "--");
    EXPECT_EQ(details.places.at("Monte-Carlo").name, "monoco");
    EXPECT_EQ(details.places.at("Silverstone").trackDistance, "306.20");
}

TEST(CircuitDetails, lookUpIsExactUpToCanonicalEquivalence) {
    auto details = storedCircuits();
    ASSERT_NE(placeForLocality(details, "Sakhir"), nullptr);
    EXPECT_EQ(placeForLocality(details, "sakhir"), nullptr);
    EXPECT_EQ(placeForLocality(details, "Nowhere"), nullptr);
    for (const char* locality : {"Montmel\u00f3", "Montmelo\u0301", "S\u00e3o Paulo", "Sa\u0303o Paulo"}) {
        const auto* place = placeForLocality(details, locality);
        ASSERT_NE(place, nullptr) << locality;
        EXPECT_TRUE(place->name == "spain" || place->name == "brazil");
    }
}

TEST(CircuitDetails, malformedPlacesFailTheWholeDocument) {
    const std::string place =
        R"({"id":"X","name":"x","lapCount":%L,"cornerCount":3,"trackLength":"1.000","trackDistance":"300.00",)"
        R"("firstOpened":"2000","firstGrandPrix":"2000","record":{"time":"--","driver":"--"%Y}})";
    auto document = [&](std::string lapCount, std::string year) {
        std::string text = place;
        text.replace(text.find("%L"), 2, lapCount);
        text.replace(text.find("%Y"), 2, year);
        return modeltest::decode<circuitDetailsModel>(R"({"places":{"X":)" + text + "}}");
    };
    EXPECT_TRUE(document("3", R"(,"year":"--")"));
    EXPECT_EQ(document(R"("3")", R"(,"year":"--")").error().kind, FailureKind::typeMismatch);
    EXPECT_EQ(document("3", "").error().kind, FailureKind::keyNotFound);
}

}  // namespace

TEST(CircuitDetails, everyRaceOfEveryBundledSeasonFindsItsCircuitsFactsByLocalityOrIdentifier) {
    auto details = storedCircuits();
    std::vector<circuitDetailsOverviewModel> places;
    for (const auto& [key, place] : details.places) places.push_back(place);
    // Circuits the season's facts do not cover: they find none, whatever their name.
    const std::set<std::string> uncovered{"hockenheimring", "ricard", "shanghai", "sochi"};
    int found = 0;
    for (const char* season : {"2019", "2022", "2023", "2024", "current"}) {
        std::ifstream file(std::string(SORVANE_SOURCE_DIR) + "/data/offline-season/results-api/" + season + ".json");
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        auto schedule = modeltest::decode<RaceModel>(text);
        ASSERT_TRUE(schedule) << season;
        for (const auto& race : schedule->data.raceTable.races) {
            const auto* place = circuitFactsFor(places, race.circuit);
            if (uncovered.contains(race.circuit.circuitId)) {
                EXPECT_EQ(place, nullptr) << season << " " << race.raceName;
                continue;
            }
            ASSERT_NE(place, nullptr) << season << " " << race.raceName << " at " << race.circuit.location.locality;
            EXPECT_GT(place->lapCount, 1) << race.raceName;
            ++found;
        }
    }
    EXPECT_GT(found, 90);
    // Another source's names for three places of the facts.
    for (auto [id, locality, name] : {std::tuple{"catalunya", "Barcelona", "spain"}, std::tuple{"monaco", "Monte Carlo", "monoco"},
                                      std::tuple{"losail", "Lusail", "qatar"}}) {
        CircuitsDetailsModel circuit;
        circuit.circuitId = id;
        circuit.location.locality = locality;
        const auto* place = circuitFactsFor(places, circuit);
        ASSERT_NE(place, nullptr) << locality;
        EXPECT_EQ(place->name, name);
    }
}
