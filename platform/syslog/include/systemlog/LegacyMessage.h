#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace systemlog {

// One message of the legacy system log: texts under keys ("Level", "Message", "Time", ...), in the
// order they were set. Setting a key again replaces its text.
class LegacyMessage {
public:
    // False for an empty key, which the log cannot hold.
    bool set(std::string_view key, std::string_view value);
    std::optional<std::string_view> get(std::string_view key) const;
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

    friend bool operator==(const LegacyMessage&, const LegacyMessage&) = default;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// One condition of a search of the legacy log: the key's text against a value, compared as text or,
// when numeric, as numbers (a missing or non-numeric text never matches a numeric condition).
struct LegacyCondition {
    enum class Operation { equal, notEqual, greater, greaterOrEqual, less, lessOrEqual };

    std::string key;
    Operation operation = Operation::equal;
    std::string value;
    bool numeric = false;

    bool matches(const LegacyMessage& message) const;
};

// Every condition must hold.
using LegacyQuery = std::vector<LegacyCondition>;
bool matches(const LegacyQuery& query, const LegacyMessage& message);

}  // namespace systemlog
