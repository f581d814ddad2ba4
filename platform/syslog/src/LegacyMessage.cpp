#include "systemlog/LegacyMessage.h"

#include <algorithm>
#include <charconv>

namespace systemlog {
namespace {

std::optional<double> number(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

template <class T>
bool compare(const T& left, LegacyCondition::Operation operation, const T& right) {
    switch (operation) {
        case LegacyCondition::Operation::equal: return left == right;
        case LegacyCondition::Operation::notEqual: return left != right;
        case LegacyCondition::Operation::greater: return left > right;
        case LegacyCondition::Operation::greaterOrEqual: return left >= right;
        case LegacyCondition::Operation::less: return left < right;
        case LegacyCondition::Operation::lessOrEqual: return left <= right;
    }
    return false;
}

}  // namespace

bool LegacyMessage::set(std::string_view key, std::string_view value) {
    if (key.empty()) return false;
    auto found = std::ranges::find(entries_, key, &std::pair<std::string, std::string>::first);
    if (found != entries_.end()) {
        found->second = value;
    } else {
        entries_.emplace_back(key, value);
    }
    return true;
}

std::optional<std::string_view> LegacyMessage::get(std::string_view key) const {
    auto found = std::ranges::find(entries_, key, &std::pair<std::string, std::string>::first);
    if (found == entries_.end()) return std::nullopt;
    return found->second;
}

bool LegacyCondition::matches(const LegacyMessage& message) const {
    auto text = message.get(key);
    if (!numeric) {
        // A missing key differs from every text.
        if (!text) return operation == Operation::notEqual;
        return compare(*text, operation, std::string_view(value));
    }
    if (!text) return false;
    auto left = number(*text);
    auto right = number(value);
    return left && right && compare(*left, operation, *right);
}

bool matches(const LegacyQuery& query, const LegacyMessage& message) {
    return std::ranges::all_of(query, [&](const LegacyCondition& condition) { return condition.matches(message); });
}

}  // namespace systemlog
