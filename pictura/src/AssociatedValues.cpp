#include "pictura/AssociatedValues.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "dispatch/Queue.h"

namespace pictura {

namespace {

using Values = std::map<const void*, std::any>;

struct Entry {
    Values values;
    // The object is a view: its values may hold views, which end on the main thread only.
    bool mainThreadOnly = false;
};

struct Table {
    std::mutex mutex;
    // Ordered by control block: an entry keeps its object's control block (not the object) alive, so
    // no later object can take its place in the order.
    std::map<std::weak_ptr<const void>, Entry, std::owner_less<>> entries;
    std::size_t sweepAt = 64;
};

Table& table() {
    static auto* shared = new Table;  // outlives every static that may still set values at exit
    return *shared;
}

// Values taken out of the table, destroyed by their holder outside the lock (a value's destructor may
// use the table): at once, or on the main thread for a view's when the holder is elsewhere.
struct Released {
    std::vector<Values> anywhere;
    std::vector<Values> mainThreadOnly;

    void take(Entry&& entry) {
        (entry.mainThreadOnly ? mainThreadOnly : anywhere).push_back(std::move(entry.values));
    }
    ~Released() {
        if (mainThreadOnly.empty() || dispatch::isMainThread()) return;
        auto held = std::make_shared<std::vector<Values>>(std::move(mainThreadOnly));
        dispatch::Queue::main()->async([held] { held->clear(); });
    }
};

void takeExpired(Table& table, Released& released) {
    for (auto entry = table.entries.begin(); entry != table.entries.end();) {
        if (entry->first.expired()) {
            released.take(std::move(entry->second));
            entry = table.entries.erase(entry);
        } else {
            ++entry;
        }
    }
    table.sweepAt = std::max<std::size_t>(64, table.entries.size() * 2);
}

// Kept in a view's layer, which ends with the view: the view's values end with it, not at some later
// sweep on whatever thread happens to write the table then.
const std::string releaserKey = "com.tolvane.Pictura.associatedValues";

class Releaser {
public:
    explicit Releaser(std::weak_ptr<const void> object) : object_(std::move(object)) {}
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;
    ~Releaser() {
        if (!object_.expired()) return;
        Released released;  // declared before the lock, so the values end after it is released
        auto& shared = table();
        std::lock_guard lock(shared.mutex);
        auto entry = shared.entries.find(object_);
        if (entry == shared.entries.end()) return;
        released.take(std::move(entry->second));
        shared.entries.erase(entry);
    }

private:
    std::weak_ptr<const void> object_;
};

void tieToView(const ui::View& view, const std::shared_ptr<const void>& object) {
    // A view's layer is the main thread's; a value set elsewhere is swept to the main thread instead.
    if (!dispatch::isMainThread()) return;
    auto& layer = *view.layer();
    if (layer.value(releaserKey).has_value()) return;
    layer.setValue(releaserKey, std::make_shared<Releaser>(std::weak_ptr<const void>(object)));
}

}  // namespace

namespace detail {

std::any associatedObject(const std::shared_ptr<const void>& object, const void* key) {
    if (!object) return {};
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    auto entry = shared.entries.find(std::weak_ptr<const void>(object));
    if (entry == shared.entries.end()) return {};
    auto value = entry->second.values.find(key);
    return value == entry->second.values.end() ? std::any() : value->second;
}

void setAssociatedObject(const std::shared_ptr<const void>& object, const void* key, std::any value,
                         const ui::View* view) {
    if (!object) return;
    Released released;
    std::any replaced;
    auto& shared = table();
    {
        std::lock_guard lock(shared.mutex);
        auto& entry = shared.entries[std::weak_ptr<const void>(object)];
        entry.mainThreadOnly = view != nullptr;
        auto& values = entry.values;
        auto existing = values.find(key);
        if (existing != values.end()) replaced = std::move(existing->second);
        if (value.has_value()) {
            values[key] = std::move(value);
        } else if (existing != values.end()) {
            values.erase(existing);
        }
        if (values.empty()) shared.entries.erase(std::weak_ptr<const void>(object));
        if (shared.entries.size() >= shared.sweepAt) takeExpired(shared, released);
    }
    if (view && replaced.has_value()) released.take(Entry{Values{{key, std::move(replaced)}}, true});
    if (view) tieToView(*view, object);
}

}  // namespace detail

void sweepAssociatedValues() {
    Released released;  // declared before the lock, so destroyed after it is released
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    takeExpired(shared, released);
}

}  // namespace pictura
