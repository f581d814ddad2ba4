#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "data/ResultsPage.h"
#include "foundation/JSONCoding.h"

// A constructor (racing team) as the results API names it, and the envelope of a constructor list.
struct ConstructorsDetailsModel {
    std::string constructorId;
    std::string url;
    std::string name;
    std::string nationality;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("constructorId", &ConstructorsDetailsModel::constructorId),
        foundation::field("url", &ConstructorsDetailsModel::url),
        foundation::field("name", &ConstructorsDetailsModel::name),
        foundation::field("nationality", &ConstructorsDetailsModel::nationality),
    };
};

struct ConstructorsModel {
    std::vector<ConstructorsDetailsModel> constructors;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Constructors", &ConstructorsModel::constructors),
    };
};

struct ConstructorTableModel {
    ConstructorsModel constructorTable;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("ConstructorTable", &ConstructorTableModel::constructorTable),
    };
};

struct ConstructorModel {
    ConstructorTableModel data;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("MRData", &ConstructorModel::data),
    };
    static constexpr foundation::JSONLimits jsonLimits = resultsDocumentLimits;
};
