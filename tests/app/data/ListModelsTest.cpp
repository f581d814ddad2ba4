#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ModelTestSupport.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/StatusModels.h"

namespace {

using modeltest::decodes;
using modeltest::FailureKind;
using json = nlohmann::json;

json envelope(const char* table, const char* list, json entry) {
    return {{"MRData", {{"total", "1"}, {table, {{"season", "2023"}, {list, json::array({entry})}}}}}};
}

TEST(CircuitModels, circuitAndLocationFieldsAreAllRequiredText) {
    json document = envelope("CircuitTable", "Circuits",
                             {{"circuitId", "bahrain"}, {"url", "http://example.org"}, {"circuitName", "Bahrain International Circuit"},
                              {"Location", {{"lat", "26.0325"}, {"long", "50.5106"}, {"locality", "Sakhir"}, {"country", "Bahrain"}}}});
    modeltest::expectEditOutcomes<CircuitModel>(document, "/MRData/CircuitTable", {
        {"complete", {}, decodes},
        {"empty list", {{"/Circuits", json::array()}}, decodes},
        {"no list", {{"/Circuits", {}}}, FailureKind::keyNotFound},
        {"no Location", {{"/Circuits/0/Location", {}}}, FailureKind::keyNotFound},
        {"location in lower case", {{"/Circuits/0/Location", {}}, {"/Circuits/0/location", json::object()}}, FailureKind::keyNotFound},
        {"lat as a number", {{"/Circuits/0/Location/lat", 26.03}}, FailureKind::typeMismatch},
        {"empty lat", {{"/Circuits/0/Location/lat", ""}}, decodes},
        {"no country", {{"/Circuits/0/Location/country", {}}}, FailureKind::keyNotFound},
        {"unknown keys", {{"/Circuits/0/extra", true}, {"/Circuits/0/Location/alt", "1"}}, decodes},
    });
    EXPECT_FALSE(modeltest::decode<CircuitModel>(R"({"MRData":{}})"));
}

TEST(ConstructorModels, constructorFieldsAreAllRequiredText) {
    json document = envelope("ConstructorTable", "Constructors",
                             {{"constructorId", "ferrari"}, {"url", "http://example.org"}, {"name", "Ferrari"}, {"nationality", "Italian"}});
    modeltest::expectEditOutcomes<ConstructorModel>(document, "/MRData/ConstructorTable", {
        {"complete", {}, decodes},
        {"empty list", {{"/Constructors", json::array()}}, decodes},
        {"list in lower case", {{"/Constructors", {}}, {"/constructors", json::array()}}, FailureKind::keyNotFound},
        {"no nationality", {{"/Constructors/0/nationality", {}}}, FailureKind::keyNotFound},
        {"identifier as a number", {{"/Constructors/0/constructorId", 6}}, FailureKind::typeMismatch},
        {"empty name", {{"/Constructors/0/name", ""}}, decodes},
        {"null url", {{"/Constructors/0/url", nullptr}}, FailureKind::valueNotFound},
    });
    modeltest::expectEditOutcomes<ConstructorModel>(document, "", {
        {"no MRData", {{"/MRData", {}}}, FailureKind::keyNotFound},
        {"no table", {{"/MRData/ConstructorTable", {}}}, FailureKind::keyNotFound},
    });
}

TEST(DriverModels, driverFieldsAreAllRequiredTextKeptAsSent) {
    json document = envelope("DriverTable", "Drivers",
                             {{"driverId", "alonso"}, {"permanentNumber", "14"}, {"url", "http://example.org"}, {"givenName", "Fernando"},
                              {"familyName", "Alonso"}, {"dateOfBirth", "1981-07-29"}, {"nationality", "Spanish"}});
    modeltest::expectEditOutcomes<DriverModel>(document, "/MRData/DriverTable", {
        {"complete, unknown permanentNumber ignored", {}, decodes},
        {"empty list", {{"/Drivers", json::array()}}, decodes},
        {"no dateOfBirth", {{"/Drivers/0/dateOfBirth", {}}}, FailureKind::keyNotFound},
        {"empty dateOfBirth", {{"/Drivers/0/dateOfBirth", ""}}, decodes},
        {"identifier as a number", {{"/Drivers/0/driverId", 14}}, FailureKind::typeMismatch},
        {"given name key in other case", {{"/Drivers/0/givenName", {}}, {"/Drivers/0/givenname", "Fernando"}}, FailureKind::keyNotFound},
    });
    json oddDate = document;
    oddDate["MRData"]["DriverTable"]["Drivers"][0]["dateOfBirth"] = "29/07/81";
    auto decoded = modeltest::decode<DriverModel>(oddDate.dump());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->data.driverTable.drivers.at(0).dateOfBirth, "29/07/81");
}

TEST(StatusModels, tableNeedsSeasonRoundAndTheCapitalisedList) {
    json document = {{"MRData", {{"StatusTable", {{"season", "2023"}, {"round", "17"},
                                                  {"Status", json::array({{{"statusId", "1"}, {"count", "17"}, {"status", "Finished"}}})}}}}}};
    modeltest::expectEditOutcomes<StatusModel>(document, "/MRData/StatusTable", {
        {"complete", {}, decodes},
        {"empty list", {{"/Status", json::array()}}, decodes},
        {"no round", {{"/round", {}}}, FailureKind::keyNotFound},
        {"no season", {{"/season", {}}}, FailureKind::keyNotFound},
        {"list in lower case", {{"/Status", {}}, {"/status", json::array()}}, FailureKind::keyNotFound},
        {"count as a number", {{"/Status/0/count", 17}}, FailureKind::typeMismatch},
        {"empty count", {{"/Status/0/count", ""}}, decodes},
    });
    auto decoded = modeltest::decode<StatusModel>(document.dump());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->data.statusTable.status.at(0).status, "Finished");
    modeltest::expectStableRoundTrip(*decoded);
}

}  // namespace
