#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// A driver as the results API names one, and the envelope of a driver list.
struct DriversDetailsModel {
    std::string driverId;
    std::string url;
    std::string givenName;
    std::string familyName;
    std::string dateOfBirth;  // as sent; never parsed
    std::string nationality;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("driverId", &DriversDetailsModel::driverId),
        foundation::field("url", &DriversDetailsModel::url),
        foundation::field("givenName", &DriversDetailsModel::givenName),
        foundation::field("familyName", &DriversDetailsModel::familyName),
        foundation::field("dateOfBirth", &DriversDetailsModel::dateOfBirth),
        foundation::field("nationality", &DriversDetailsModel::nationality),
    };
};

struct DriversModel {
    std::vector<DriversDetailsModel> drivers;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Drivers", &DriversModel::drivers),
    };
};

struct DriverTableModel {
    DriversModel driverTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("DriverTable", &DriverTableModel::driverTable),
    };
};

struct DriverModel {
    DriverTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &DriverModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
