#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// A finishing-status table: how often each status occurred in a season or round.
struct StatusesDetailsModel {
    std::string statusId;
    std::string count;  // a decimal count as text, never converted
    std::string status;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("statusId", &StatusesDetailsModel::statusId),
        foundation::field("count", &StatusesDetailsModel::count),
        foundation::field("status", &StatusesDetailsModel::status),
    };
};

struct StatusesModel {
    std::string season;
    std::string round;
    std::vector<StatusesDetailsModel> status;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("season", &StatusesModel::season),
        foundation::field("round", &StatusesModel::round),
        foundation::field("Status", &StatusesModel::status),
    };
};

struct StatusTableModel {
    StatusesModel statusTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("StatusTable", &StatusTableModel::statusTable),
    };
};

struct StatusModel {
    StatusTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &StatusModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
