#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace declarative {

// Holding one keeps an observer of an object subscribed; dropping it unsubscribes.
using Subscription = std::shared_ptr<void>;

// State that views observe: before each change the object announces it, and the views that read it
// are evaluated again (later, once for any number of announcements). Main thread only.
class ObservableObject {
public:
    virtual ~ObservableObject() = default;

    // Announces a change about to be made, to every observer in subscription order.
    void objectWillChange();
    Subscription subscribe(std::function<void()> observer);

private:
    std::vector<std::weak_ptr<std::function<void()>>> observers_;
};

}  // namespace declarative
