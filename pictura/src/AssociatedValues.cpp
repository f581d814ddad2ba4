#include "pictura/AssociatedValues.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/Deadline.h"
#include "dispatch/Queue.h"
#include "foundation/NotificationCenter.h"
#include "ui/Application.h"

namespace pictura {

namespace {

using Values = std::map<const void*, std::any>;

struct Entry {
    Values values;
    // The object is a view: its values may hold views, which end on the main thread only.
    bool mainThreadOnly = false;
    // Something that ends with the object takes the entry out (a releaser): no sweep is needed.
    bool endsWithObject = false;
};

struct Table {
    std::mutex mutex;
    // Ordered by control block: an entry keeps its object's control block (not the object) alive, so
    // no later object can take its place in the order.
    std::map<std::weak_ptr<const void>, Entry, std::owner_less<>> entries;
    std::size_t sweepAt = 64;
    // The timed sweep that is due (uptime), while entries wait for one; a later schedule supersedes it.
    std::optional<double> sweepDue;
    std::uint64_t sweepGeneration = 0;
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

bool awaitsSweep(const Table& table) {
    return std::ranges::any_of(table.entries, [](const auto& entry) { return !entry.second.endsWithObject; });
}

void sweepWhenDue(std::uint64_t generation);

// Under the lock. Schedules a sweep unless one is due within the interval (one due later was set on
// another clock: superseded).
std::optional<std::uint64_t> scheduleSweep(Table& table) {
    const double now = dispatch::Deadline::now().uptime;
    if (table.sweepDue && *table.sweepDue <= now + associatedValuesSweepInterval) return std::nullopt;
    table.sweepDue = now + associatedValuesSweepInterval;
    return ++table.sweepGeneration;
}

std::shared_ptr<dispatch::Queue>& sweepQueue() {
    static auto* queue = new std::shared_ptr(dispatch::Queue::serial("com.tolvane.Pictura.AssociatedValues"));
    return *queue;
}

void startSweep(std::uint64_t generation) {
    // Values that wait for a sweep go at a memory warning too; the observer stays for the process.
    static const auto observer [[maybe_unused]] = foundation::NotificationCenter::defaultCenter().addObserver(
        ui::Application::didReceiveMemoryWarningNotification,
        [](const foundation::Notification&) { sweepAssociatedValues(); });
    sweepQueue()->asyncAfter(associatedValuesSweepInterval, [generation] { sweepWhenDue(generation); });
}

void sweepWhenDue(std::uint64_t generation) {
    std::optional<std::uint64_t> next;
    {
        Released released;  // declared before the lock, so the values end after it is released
        auto& shared = table();
        std::lock_guard lock(shared.mutex);
        if (generation != shared.sweepGeneration) return;
        shared.sweepDue.reset();
        takeExpired(shared, released);
        if (awaitsSweep(shared)) next = scheduleSweep(shared);
    }
    if (next) startSweep(*next);
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

// Whether the view's values now end with it.
bool tieToView(const ui::View& view, const std::shared_ptr<const void>& object) {
    // A view's layer is the main thread's; a value set elsewhere is swept to the main thread instead.
    if (!dispatch::isMainThread()) return false;
    auto& layer = *view.layer();
    if (!layer.value(releaserKey).has_value())
        layer.setValue(releaserKey, std::make_shared<Releaser>(std::weak_ptr<const void>(object)));
    return true;
}

// The owner made by `endingWithItsValues`: holds the object, and its end takes the values out.
struct ValueEndingOwner {
    std::shared_ptr<const void> object;
    std::optional<Releaser> releaser;  // declared after the object: the values end before it
};

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

std::shared_ptr<const void> valueEndingOwner(std::shared_ptr<const void> object) {
    auto owner = std::make_shared<ValueEndingOwner>();
    owner->object = std::move(object);
    owner->releaser.emplace(std::weak_ptr<const void>(owner));
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    shared.entries[std::weak_ptr<const void>(owner)].endsWithObject = true;
    return owner;
}

void setAssociatedObject(const std::shared_ptr<const void>& object, const void* key, std::any value,
                         const ui::View* view) {
    if (!object) return;
    const bool tiedToView = view && tieToView(*view, object);
    Released released;
    std::any replaced;
    std::optional<std::uint64_t> sweep;
    auto& shared = table();
    {
        std::lock_guard lock(shared.mutex);
        auto& entry = shared.entries[std::weak_ptr<const void>(object)];
        entry.mainThreadOnly = view != nullptr;
        entry.endsWithObject = entry.endsWithObject || tiedToView;
        auto& values = entry.values;
        auto existing = values.find(key);
        if (existing != values.end()) replaced = std::move(existing->second);
        if (value.has_value()) {
            values[key] = std::move(value);
        } else if (existing != values.end()) {
            values.erase(existing);
        }
        // An entry that ends with its object stays, so that it is still known as such.
        if (values.empty() && !entry.endsWithObject) {
            shared.entries.erase(std::weak_ptr<const void>(object));
        } else if (!entry.endsWithObject) {
            sweep = scheduleSweep(shared);
        }
        if (shared.entries.size() >= shared.sweepAt) takeExpired(shared, released);
    }
    if (view && replaced.has_value()) released.take(Entry{Values{{key, std::move(replaced)}}, true});
    if (sweep) startSweep(*sweep);
}

}  // namespace detail

void sweepAssociatedValues() {
    Released released;  // declared before the lock, so destroyed after it is released
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    takeExpired(shared, released);
}

}  // namespace pictura
