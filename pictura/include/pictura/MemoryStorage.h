#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "dispatch/Timer.h"
#include "foundation/Date.h"
#include "pictura/StorageExpiration.h"

namespace pictura {

// A value's cost in the memory cache (an image's decoded bytes).
template <class T>
struct CacheCostCalculable;  // specialise with `static std::int64_t cacheCost(const T&)`

namespace MemoryStorage {

struct Config {
    Config(std::int64_t totalCostLimit, double cleanInterval)
        : totalCostLimit(totalCostLimit), cleanInterval(cleanInterval) {}
    std::int64_t totalCostLimit;
    std::int64_t countLimit = std::numeric_limits<std::int64_t>::max();
    // For entries stored without an expiration of their own.
    StorageExpiration expiration = StorageExpiration::seconds(300);
    double cleanInterval;
    bool keepWhenEnteringBackground = false;
};

// One entry. Its expiry is read and moved by readers on any thread, so it is kept atomically.
template <class T>
class StorageObject {
public:
    StorageObject(T value, StorageExpiration expiration)
        : expiration(expiration), value_(std::move(value)),
          estimated_(expiration.estimatedExpirationSinceNow().timeIntervalSinceReferenceDate) {}
    virtual ~StorageObject() = default;

    // Absent only once the content was discarded.
    std::optional<T> value() const {
        std::lock_guard lock(valueMutex_);
        return value_;
    }
    const StorageExpiration expiration;
    foundation::Date estimatedExpiration() const { return {estimated_.load(std::memory_order_relaxed)}; }

    void extendExpiration(const ExpirationExtending& extending) {
        switch (extending.kind()) {
            case ExpirationExtending::Kind::none: return;
            case ExpirationExtending::Kind::cacheTime: setEstimated(expiration.estimatedExpirationSinceNow()); return;
            case ExpirationExtending::Kind::expirationTime:
                setEstimated(extending.expiration().estimatedExpirationSinceNow());
                return;
        }
    }
    // Reached at its estimated expiration itself.
    bool isExpired() const { return estimatedExpiration().timeIntervalSinceNow() <= 0; }

protected:
    void discard() {
        std::lock_guard lock(valueMutex_);
        value_.reset();
    }
    bool hasValue() const {
        std::lock_guard lock(valueMutex_);
        return value_.has_value();
    }

private:
    void setEstimated(foundation::Date date) {
        estimated_.store(date.timeIntervalSinceReferenceDate, std::memory_order_relaxed);
    }
    mutable std::mutex valueMutex_;
    std::optional<T> value_;
    std::atomic<double> estimated_;
};

// An entry whose content may be dropped while the entry stays, the platform's discardable content.
template <class T>
class BackgroundKeepingStorageObject final : public StorageObject<T> {
public:
    using StorageObject<T>::StorageObject;
    bool beginContentAccess() {
        accessing = this->hasValue();
        return accessing;
    }
    void endContentAccess() { accessing = false; }
    void discardContentIfPossible() { this->discard(); }
    bool isContentDiscarded() const { return !this->hasValue(); }
    std::atomic<bool> accessing = true;
};

// A thread-safe map from keys to values with a total-cost and a count limit: past either, the least
// recently used entries go first. Every entry carries its own expiry; a timer on the creating
// thread's run loop removes the expired ones, and stops when the backend goes away.
template <class T>
class Backend : public std::enable_shared_from_this<Backend<T>> {
public:
    using Object = StorageObject<T>;

    static std::shared_ptr<Backend> create(Config config) {
        auto backend = std::shared_ptr<Backend>(new Backend(std::move(config)));
        std::weak_ptr<Backend> weak = backend;
        backend->cleanTimer_ = dispatch::Timer::scheduledTimer(backend->config_.cleanInterval, true,
                                                               [weak](dispatch::Timer&) {
                                                                   if (auto strong = weak.lock()) strong->removeExpired();
                                                               });
        return backend;
    }
    ~Backend() {
        if (cleanTimer_) cleanTimer_->invalidate();
    }
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    Config config() const {
        std::lock_guard lock(mutex_);
        return config_;
    }
    // The limits apply at once (evicting what no longer fits); a new clean interval does not.
    void setConfig(Config config) {
        std::lock_guard lock(mutex_);
        config_ = std::move(config);
        evictLocked();
    }

    // An expiration that is already over stores nothing and leaves an earlier entry alone.
    void store(T value, const std::string& key, std::optional<StorageExpiration> expiration = std::nullopt) {
        std::shared_ptr<Object> replaced;  // released outside the lock
        std::lock_guard lock(mutex_);
        const auto effective = expiration.value_or(config_.expiration);
        if (effective.isExpired()) return;
        const auto cost = CacheCostCalculable<T>::cacheCost(value);
        std::shared_ptr<Object> object =
            config_.keepWhenEnteringBackground
                ? std::make_shared<BackgroundKeepingStorageObject<T>>(std::move(value), effective)
                : std::make_shared<Object>(std::move(value), effective);
        if (auto found = index_.find(key); found != index_.end()) {
            replaced = std::move(found->second->object);
            totalCost_ -= found->second->cost;
            entries_.erase(found->second);
            index_.erase(found);
        }
        entries_.push_front(Entry{key, std::move(object), cost});
        index_.emplace(key, entries_.begin());
        totalCost_ += cost;
        keys_.insert(key);
        evictLocked();
    }

    // The value of a live entry, whose expiry the read then moves by `extending`.
    std::optional<T> value(const std::string& key, const ExpirationExtending& extending) {
        auto object = entry(key);
        if (!object || object->isExpired()) return std::nullopt;
        object->extendExpiration(extending);
        return object->value();
    }
    bool isCached(const std::string& key) { return value(key, ExpirationExtending::none()).has_value(); }

    // The entry as it is stored, expired or not; null when there is none.
    std::shared_ptr<Object> entry(const std::string& key) {
        std::lock_guard lock(mutex_);
        auto found = index_.find(key);
        if (found == index_.end()) return nullptr;
        entries_.splice(entries_.begin(), entries_, found->second);
        return found->second->object;
    }

    void remove(const std::string& key) {
        std::shared_ptr<Object> removed;
        std::lock_guard lock(mutex_);
        keys_.erase(key);
        if (auto found = index_.find(key); found != index_.end()) {
            removed = std::move(found->second->object);
            totalCost_ -= found->second->cost;
            entries_.erase(found->second);
            index_.erase(found);
        }
    }
    void removeAll() {
        std::list<Entry> removed;
        std::lock_guard lock(mutex_);
        removed.swap(entries_);
        index_.clear();
        keys_.clear();
        totalCost_ = 0;
    }
    // Removes expired entries and entries whose content was discarded; forgets keys of entries the
    // limits evicted.
    void removeExpired() {
        std::list<Entry> removed;
        std::lock_guard lock(mutex_);
        for (auto key = keys_.begin(); key != keys_.end();) {
            auto found = index_.find(*key);
            if (found == index_.end()) {
                key = keys_.erase(key);
                continue;
            }
            const auto& object = found->second->object;
            if (object->isExpired() || !object->value()) {
                totalCost_ -= found->second->cost;
                removed.splice(removed.end(), entries_, found->second);
                index_.erase(found);
                key = keys_.erase(key);
            } else {
                ++key;
            }
        }
    }

    // Keys stored and not removed through this backend; may name evicted entries.
    std::unordered_set<std::string> keys() const {
        std::lock_guard lock(mutex_);
        return keys_;
    }
    std::int64_t totalCost() const {
        std::lock_guard lock(mutex_);
        return totalCost_;
    }
    std::int64_t count() const {
        std::lock_guard lock(mutex_);
        return static_cast<std::int64_t>(entries_.size());
    }
    const std::shared_ptr<dispatch::Timer>& cleanTimer() const { return cleanTimer_; }

private:
    struct Entry {
        std::string key;
        std::shared_ptr<Object> object;
        std::int64_t cost;
    };

    explicit Backend(Config config) : config_(std::move(config)) {}

    // The least recently used entries leave until both limits hold; a limit of 0 or less is none.
    void evictLocked() {
        while (!entries_.empty() &&
               ((config_.totalCostLimit > 0 && totalCost_ > config_.totalCostLimit) ||
                (config_.countLimit > 0 && static_cast<std::int64_t>(entries_.size()) > config_.countLimit))) {
            auto& last = entries_.back();
            totalCost_ -= last.cost;
            index_.erase(last.key);
            entries_.pop_back();
        }
    }

    mutable std::mutex mutex_;
    Config config_;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<std::string, typename std::list<Entry>::iterator> index_;
    std::unordered_set<std::string> keys_;
    std::int64_t totalCost_ = 0;
    std::shared_ptr<dispatch::Timer> cleanTimer_;
};

}  // namespace MemoryStorage

}  // namespace pictura
