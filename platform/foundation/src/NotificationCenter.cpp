#include "foundation/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace foundation {

struct NotificationCenter::Registration {
    std::weak_ptr<void> observer;
    const void* observerAddress = nullptr;  // null for block observers
    bool weak = false;
    ObserverToken token;
    Handler handler;
    // Set under the centre's lock; read without it by a delivery that took its snapshot earlier.
    std::atomic<bool> removed = false;

    bool expired() const { return weak && observer.expired(); }
};

// Never destroyed: pool threads are not joined, so work still queued at exit (a cache ending on its
// queue, say) may remove observers while static destructors run.
NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* const center = new NotificationCenter;
    return *center;
}

void NotificationCenter::addObserver(std::weak_ptr<void> observer, Notification::Name name, Handler handler) {
    auto registration = std::make_shared<Registration>();
    registration->observerAddress = observer.lock().get();
    registration->observer = std::move(observer);
    registration->weak = true;
    registration->handler = std::move(handler);
    add(std::move(name), std::move(registration));
}

ObserverToken NotificationCenter::addObserver(Notification::Name name, Handler block) {
    auto registration = std::make_shared<Registration>();
    registration->handler = std::move(block);
    {
        std::lock_guard lock(mutex_);
        registration->token = ObserverToken{nextToken_++};
    }
    ObserverToken token = registration->token;
    add(std::move(name), std::move(registration));
    return token;
}

void NotificationCenter::add(Notification::Name name, std::shared_ptr<Registration> registration) {
    std::lock_guard lock(mutex_);
    auto& list = registrations_[std::move(name)];
    // Dead observers are dropped here and on removal rather than tracked, since nothing tells the
    // centre when an observer dies.
    std::erase_if(list, [](const auto& each) { return each->expired(); });
    list.push_back(std::move(registration));
}

template <typename Match>
void NotificationCenter::removeWhere(Match match) {
    std::lock_guard lock(mutex_);
    for (auto entry = registrations_.begin(); entry != registrations_.end();) {
        std::erase_if(entry->second, [&](const std::shared_ptr<Registration>& registration) {
            if (!match(entry->first, *registration) && !registration->expired()) return false;
            registration->removed = true;
            return true;
        });
        entry = entry->second.empty() ? registrations_.erase(entry) : std::next(entry);
    }
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer) return;
    removeWhere([&](const Notification::Name&, const Registration& registration) {
        return registration.weak && registration.observerAddress == observer;
    });
}

void NotificationCenter::removeObserver(const void* observer, const Notification::Name& name) {
    if (!observer) return;
    removeWhere([&](const Notification::Name& registeredName, const Registration& registration) {
        return registeredName == name && registration.weak && registration.observerAddress == observer;
    });
}

void NotificationCenter::removeObserver(ObserverToken token) {
    removeWhere([&](const Notification::Name&, const Registration& registration) {
        return !registration.weak && registration.token == token;
    });
}

void NotificationCenter::post(Notification notification) {
    std::vector<std::shared_ptr<Registration>> snapshot;
    {
        std::lock_guard lock(mutex_);
        auto found = registrations_.find(notification.name);
        if (found == registrations_.end()) return;
        snapshot = found->second;
    }
    for (const auto& registration : snapshot) {
        if (registration->removed) continue;
        if (!registration->weak) {
            registration->handler(notification);
            continue;
        }
        // Holding the observer for the length of the call keeps a handler from outliving its object.
        if (auto observer = registration->observer.lock()) registration->handler(notification);
    }
}

void NotificationCenter::post(Notification::Name name, std::shared_ptr<void> object, UserInfo userInfo) {
    post(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

}  // namespace foundation
