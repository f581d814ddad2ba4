#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "pictura/ImageDownloader.h"

// Gathers the outcomes of downloads and lets a test wait for them.
class Outcomes {
public:
    pictura::ImageDownloader::CompletionHandler handler() {
        return [this](pictura::ImageLoadingOutcome outcome) {
            // Told under the lock: a test that has its outcomes may destroy this object at once.
            std::lock_guard guard(lock);
            outcomes.push_back(std::move(outcome));
            changed.notify_all();
        };
    }
    // The first `count` outcomes; fails the test after a generous wait.
    // Const: copying an outcome from a non-const one trips a constraint cycle in g++ 12's std::expected.
    const std::vector<pictura::ImageLoadingOutcome> waitFor(std::size_t count) {
        std::unique_lock guard(lock);
        if (!changed.wait_for(guard, std::chrono::seconds(60), [&] { return outcomes.size() >= count; }))
            ADD_FAILURE() << "only " << outcomes.size() << " of " << count << " outcomes came";
        return outcomes;
    }
    std::size_t count() {
        std::lock_guard guard(lock);
        return outcomes.size();
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<pictura::ImageLoadingOutcome> outcomes;
};
