#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "foundation/Notification.h"

namespace foundation {

// Returned by the block form of addObserver; the centre keeps the block until the token is removed.
struct ObserverToken {
    std::uint64_t id = 0;
    friend bool operator==(const ObserverToken&, const ObserverToken&) = default;
};

// Delivers named notifications to the observers registered for that name: synchronously, on the
// posting thread, in the order the observers were added. Registration is thread-safe, and a handler
// may add or remove observers (itself included) while a notification is being delivered.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // Target form: the observer is held weakly. Once it is destroyed its handler is never called and
    // the registration is dropped; while a handler runs the observer is kept alive.
    void addObserver(std::weak_ptr<void> observer, Notification::Name name, Handler handler);

    template <typename T>
    void addObserver(const std::shared_ptr<T>& observer, Notification::Name name,
                     void (T::*method)(const Notification&)) {
        std::weak_ptr<T> weak = observer;
        addObserver(std::weak_ptr<void>(observer), std::move(name), [weak, method](const Notification& note) {
            if (auto strong = weak.lock()) ((*strong).*method)(note);
        });
    }

    template <typename T>
    void addObserver(const std::shared_ptr<T>& observer, Notification::Name name, void (T::*method)()) {
        std::weak_ptr<T> weak = observer;
        addObserver(std::weak_ptr<void>(observer), std::move(name), [weak, method](const Notification&) {
            if (auto strong = weak.lock()) ((*strong).*method)();
        });
    }

    // Block form: the block is held strongly until removeObserver(token).
    [[nodiscard]] ObserverToken addObserver(Notification::Name name, Handler block);

    // Target observers are identified by address, so an object may remove itself from its destructor.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const Notification::Name& name);
    void removeObserver(ObserverToken token);

    void post(Notification notification);
    void post(Notification::Name name, std::shared_ptr<void> object = nullptr, UserInfo userInfo = {});

private:
    struct Registration;

    void add(Notification::Name name, std::shared_ptr<Registration> registration);
    template <typename Match>
    void removeWhere(Match match);

    std::mutex mutex_;
    std::unordered_map<Notification::Name, std::vector<std::shared_ptr<Registration>>> registrations_;
    std::uint64_t nextToken_ = 1;
};

}  // namespace foundation
