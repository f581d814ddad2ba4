#include "pictura/AssociatedValues.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace pictura {

namespace {

using Values = std::map<const void*, std::any>;

struct Table {
    std::mutex mutex;
    // Ordered by control block: an entry keeps its object's control block (not the object) alive, so
    // no later object can take its place in the order.
    std::map<std::weak_ptr<const void>, Values, std::owner_less<>> entries;
    std::size_t sweepAt = 64;
};

Table& table() {
    static auto* shared = new Table;  // outlives every static that may still set values at exit
    return *shared;
}

// Moves out the values of objects that are gone, for the caller to destroy outside the lock (a value's
// destructor may use the table).
std::vector<Values> takeExpired(Table& table) {
    std::vector<Values> expired;
    for (auto entry = table.entries.begin(); entry != table.entries.end();) {
        if (entry->first.expired()) {
            expired.push_back(std::move(entry->second));
            entry = table.entries.erase(entry);
        } else {
            ++entry;
        }
    }
    table.sweepAt = std::max<std::size_t>(64, table.entries.size() * 2);
    return expired;
}

}  // namespace

namespace detail {

std::any associatedObject(const std::shared_ptr<const void>& object, const void* key) {
    if (!object) return {};
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    auto entry = shared.entries.find(std::weak_ptr<const void>(object));
    if (entry == shared.entries.end()) return {};
    auto value = entry->second.find(key);
    return value == entry->second.end() ? std::any() : value->second;
}

void setAssociatedObject(const std::shared_ptr<const void>& object, const void* key, std::any value) {
    if (!object) return;
    std::any replaced;
    std::vector<Values> expired;
    auto& shared = table();
    {
        std::lock_guard lock(shared.mutex);
        auto& values = shared.entries[std::weak_ptr<const void>(object)];
        auto existing = values.find(key);
        if (existing != values.end()) replaced = std::move(existing->second);
        if (value.has_value()) {
            values[key] = std::move(value);
        } else if (existing != values.end()) {
            values.erase(existing);
        }
        if (values.empty()) shared.entries.erase(std::weak_ptr<const void>(object));
        if (shared.entries.size() >= shared.sweepAt) expired = takeExpired(shared);
    }
}

}  // namespace detail

void sweepAssociatedValues() {
    std::vector<Values> expired;  // declared before the lock, so destroyed after it is released
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    expired = takeExpired(shared);
}

}  // namespace pictura
