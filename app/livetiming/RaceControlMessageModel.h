#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/JSONCoding.h"
#include "livetiming/FeedLimits.h"

namespace livetiming {

// "RaceControlMessages.json": the officials' messages of a session, in the order issued.
struct Message {
    std::string utc;
    std::optional<std::int64_t> lap;  // practice and qualifying messages of older seasons have none
    std::string category;
    std::string message;
    std::optional<std::string> flag;
    std::optional<std::string> scope;
    std::optional<std::int64_t> sector;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Utc", &Message::utc),
        foundation::optionalField("Lap", &Message::lap),
        foundation::field("Category", &Message::category),
        foundation::field("Message", &Message::message),
        foundation::optionalField("Flag", &Message::flag),
        foundation::optionalField("Scope", &Message::scope),
        foundation::optionalField("Sector", &Message::sector),
    };
};

struct RaceControlMessageModel {
    std::vector<Message> messages;

    static constexpr auto codingKeys = std::tuple{
        foundation::field("Messages", &RaceControlMessageModel::messages, foundation::ValidItems<std::vector<Message>>{}),
    };
    static constexpr foundation::JSONLimits jsonLimits = liveTimingDocumentLimits;
};

}  // namespace livetiming
