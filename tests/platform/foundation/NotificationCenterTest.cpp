#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/NotificationCenter.h"

using namespace foundation;

namespace {

const Notification::Name selectedRace{"selectedRace"};
const Notification::Name changedYear{"changedYear"};

struct Screen {
    std::vector<int>* log;
    int id;
    void selected(const Notification& note) {
        if (auto race = note.value<int>("race")) log->push_back(id * 100 + *race);
    }
    void updateTable() { log->push_back(id); }
};

}  // namespace

TEST(NotificationCenter, DeliversToObserversInTheOrderTheyWereAdded) {
    NotificationCenter center;
    std::vector<int> log;
    auto first = std::make_shared<Screen>(Screen{&log, 1});
    auto second = std::make_shared<Screen>(Screen{&log, 2});
    center.addObserver(second, selectedRace, &Screen::selected);
    center.addObserver(first, selectedRace, &Screen::selected);
    auto token = center.addObserver(selectedRace, [&](const Notification&) { log.push_back(3); });
    center.addObserver(first, changedYear, &Screen::updateTable);

    center.post(selectedRace, nullptr, {{"race", 7}});

    EXPECT_EQ(log, (std::vector<int>{207, 107, 3}));
    center.removeObserver(token);
}

TEST(NotificationCenter, DestroyedObserverIsNeverCalled) {
    NotificationCenter center;
    std::vector<int> log;
    auto screen = std::make_shared<Screen>(Screen{&log, 1});
    center.addObserver(screen, changedYear, &Screen::updateTable);
    center.post(changedYear);
    screen.reset();
    center.post(changedYear);
    EXPECT_EQ(log, std::vector<int>{1});
}

TEST(NotificationCenter, UserInfoValuesAreReadOnlyAsTheirOwnType) {
    NotificationCenter center;
    std::optional<std::string> year;
    auto token = center.addObserver(changedYear, [&](const Notification& note) {
        if (auto text = note.value<std::string>("year")) year = *text;
    });
    center.post(changedYear, nullptr, {{"year", 2023}});
    EXPECT_FALSE(year);
    center.post(changedYear, nullptr, {{"year", std::string("2024")}});
    EXPECT_EQ(year, "2024");
    center.post(changedYear);  // no user info at all
    EXPECT_EQ(year, "2024");
    center.removeObserver(token);
}

TEST(NotificationCenter, SenderObjectReachesTheHandler) {
    NotificationCenter center;
    auto sender = std::make_shared<int>(5);
    const void* received = nullptr;
    auto token = center.addObserver(changedYear, [&](const Notification& note) { received = note.object.get(); });
    center.post(changedYear, sender);
    EXPECT_EQ(received, sender.get());
    center.removeObserver(token);
}

TEST(NotificationCenter, ObserverRemovingItselfDuringDeliveryStopsOnlyLaterDeliveries) {
    NotificationCenter center;
    int calls = 0;
    ObserverToken token;
    token = center.addObserver(selectedRace, [&](const Notification&) {
        ++calls;
        center.removeObserver(token);
    });
    center.post(selectedRace);
    center.post(selectedRace);
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, ObserverRemovedByAnEarlierHandlerIsSkippedInTheSamePost) {
    NotificationCenter center;
    std::vector<int> log;
    auto screen = std::make_shared<Screen>(Screen{&log, 2});
    auto token = center.addObserver(selectedRace, [&](const Notification&) {
        log.push_back(1);
        center.removeObserver(screen.get());
    });
    center.addObserver(screen, selectedRace, &Screen::updateTable);
    center.post(selectedRace);
    EXPECT_EQ(log, std::vector<int>{1});
    center.removeObserver(token);
}

TEST(NotificationCenter, ObserverAddedDuringDeliveryHearsOnlyLaterPosts) {
    NotificationCenter center;
    int late = 0;
    std::vector<ObserverToken> tokens;
    tokens.push_back(center.addObserver(selectedRace, [&](const Notification&) {
        if (tokens.size() == 1)
            tokens.push_back(center.addObserver(selectedRace, [&](const Notification&) { ++late; }));
    }));
    center.post(selectedRace);
    EXPECT_EQ(late, 0);
    center.post(selectedRace);
    EXPECT_EQ(late, 1);
    for (auto token : tokens) center.removeObserver(token);
}

TEST(NotificationCenter, RemovalByNameKeepsTheObserversOtherNames) {
    NotificationCenter center;
    std::vector<int> log;
    auto screen = std::make_shared<Screen>(Screen{&log, 4});
    center.addObserver(screen, selectedRace, &Screen::updateTable);
    center.addObserver(screen, changedYear, &Screen::updateTable);
    center.removeObserver(screen.get(), selectedRace);
    center.post(selectedRace);
    center.post(changedYear);
    EXPECT_EQ(log, std::vector<int>{4});
    center.removeObserver(screen.get());
    center.post(changedYear);
    EXPECT_EQ(log, std::vector<int>{4});
}

TEST(NotificationCenter, ObjectCanUnregisterFromItsDestructor) {
    struct Cache : std::enable_shared_from_this<Cache> {
        NotificationCenter* center;
        int* cleared;
        void clear() { ++*cleared; }
        ~Cache() { center->removeObserver(this); }
    };
    NotificationCenter center;
    int cleared = 0;
    auto cache = std::make_shared<Cache>();
    cache->center = &center;
    cache->cleared = &cleared;
    center.addObserver(cache, Notification::Name("memoryWarning"), &Cache::clear);
    center.post(Notification::Name("memoryWarning"));
    cache.reset();
    center.post(Notification::Name("memoryWarning"));
    EXPECT_EQ(cleared, 1);
}

TEST(NotificationCenter, PostFromAnotherThreadIsDeliveredOnThatThreadBeforePostReturns) {
    NotificationCenter center;
    std::thread::id deliveredOn;
    auto token = center.addObserver(selectedRace, [&](const Notification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id poster;
    bool deliveredBeforeReturn = false;
    std::thread thread([&] {
        poster = std::this_thread::get_id();
        center.post(selectedRace);
        deliveredBeforeReturn = deliveredOn == poster;
    });
    thread.join();
    EXPECT_TRUE(deliveredBeforeReturn);
    center.removeObserver(token);
}

TEST(NotificationCenter, ConcurrentRegistrationAndPostingLoseNoObserver) {
    NotificationCenter center;
    std::atomic<int> calls = 0;
    std::vector<std::thread> threads;
    std::vector<std::vector<ObserverToken>> tokens(4);
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([&, index] {
            for (int each = 0; each < 50; ++each) {
                tokens[index].push_back(center.addObserver(changedYear, [&](const Notification&) { ++calls; }));
                center.post(selectedRace);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    center.post(changedYear);
    EXPECT_EQ(calls, 200);
    for (auto& list : tokens)
        for (auto token : list) center.removeObserver(token);
    center.post(changedYear);
    EXPECT_EQ(calls, 200);
}
