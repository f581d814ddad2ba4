#include "declarative/ObservableObject.h"

#include <algorithm>

namespace declarative {

void ObservableObject::objectWillChange() {
    // Observers may subscribe or unsubscribe while being told: tell a snapshot.
    std::vector<std::shared_ptr<std::function<void()>>> alive;
    for (const auto& observer : observers_)
        if (auto strong = observer.lock()) alive.push_back(std::move(strong));
    std::erase_if(observers_, [](const auto& observer) { return observer.expired(); });
    for (const auto& observer : alive) (*observer)();
}

Subscription ObservableObject::subscribe(std::function<void()> observer) {
    auto held = std::make_shared<std::function<void()>>(std::move(observer));
    observers_.push_back(held);
    return held;
}

}  // namespace declarative
