#include <gtest/gtest.h>

#include <string>

#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "pictura/MemoryStorage.h"

namespace pictura {

template <>
struct CacheCostCalculable<std::string> {
    static std::int64_t cacheCost(const std::string& value) { return static_cast<std::int64_t>(value.size()); }
};

namespace {

using Backend = MemoryStorage::Backend<std::string>;

class MemoryStorageTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    std::shared_ptr<Backend> make(std::int64_t costLimit = 1000) {
        return Backend::create(MemoryStorage::Config(costLimit, 120));
    }

    std::shared_ptr<foundation::ManualClock> clock =
        std::make_shared<foundation::ManualClock>(foundation::Date{800000000.3}, 100);
};

TEST_F(MemoryStorageTest, anExpirationAlreadyOverStoresNothingAndKeepsTheEarlierEntry) {
    auto storage = make();
    storage->store("first", "k");
    for (auto expiration : {StorageExpiration::expired(), StorageExpiration::seconds(0), StorageExpiration::seconds(-5),
                            StorageExpiration::days(0), StorageExpiration::date(clock->now())}) {
        storage->store("second", "k", expiration);
        EXPECT_EQ(storage->value("k", ExpirationExtending::none()), "first");
    }
    EXPECT_EQ(storage->count(), 1);
}

TEST_F(MemoryStorageTest, readsExtendByTheirRuleAndAnExpiredEntryStaysGone) {
    auto storage = make();
    storage->store("v", "default");  // 300 s from the configuration
    storage->store("v", "twoDays", StorageExpiration::days(2));
    storage->store("v", "never", StorageExpiration::never());

    clock->advance(299);
    EXPECT_TRUE(storage->isCached("default"));  // a presence test extends nothing
    clock->advance(1);
    EXPECT_FALSE(storage->isCached("default"));  // expired at its estimated expiration itself
    EXPECT_FALSE(storage->value("default", ExpirationExtending::cacheTime()));  // not revived

    // expirationTime moves the expiry once; the next cacheTime counts from the entry's own period.
    ASSERT_TRUE(storage->value("twoDays", ExpirationExtending::expirationTime(StorageExpiration::seconds(10))));
    EXPECT_DOUBLE_EQ(storage->entry("twoDays")->estimatedExpiration().timeIntervalSince(clock->now()), 10);
    clock->advance(5);
    ASSERT_TRUE(storage->value("twoDays", ExpirationExtending::cacheTime()));
    EXPECT_DOUBLE_EQ(storage->entry("twoDays")->estimatedExpiration().timeIntervalSince(clock->now()), 172800);
    const auto before = storage->entry("twoDays")->estimatedExpiration();
    clock->advance(1);
    ASSERT_TRUE(storage->value("twoDays", ExpirationExtending::none()));
    EXPECT_EQ(storage->entry("twoDays")->estimatedExpiration(), before);

    clock->advance(1e9);
    EXPECT_TRUE(storage->isCached("never"));
    EXPECT_EQ(storage->entry("never")->estimatedExpiration(), foundation::Date::distantFuture());
    storage->removeExpired();
    EXPECT_EQ(storage->keys(), (std::unordered_set<std::string>{"never"}));
}

TEST_F(MemoryStorageTest, limitsEvictTheLeastRecentlyUsedAndCleaningForgetsTheirKeys) {
    auto storage = make(10);
    storage->store("aaaa", "a");
    storage->store("bbbb", "b");
    ASSERT_TRUE(storage->value("a", ExpirationExtending::none()));  // b is now the least recent
    storage->store("cccc", "c");
    EXPECT_TRUE(storage->isCached("a"));
    EXPECT_FALSE(storage->isCached("b"));
    EXPECT_TRUE(storage->isCached("c"));
    EXPECT_EQ(storage->totalCost(), 8);
    EXPECT_EQ(storage->keys().size(), 3u);  // b's key stays until the next clean
    storage->removeExpired();
    EXPECT_EQ(storage->keys(), (std::unordered_set<std::string>{"a", "c"}));

    // Storing twice under one key keeps one entry and its latest cost.
    storage->store("cc", "c");
    EXPECT_EQ(storage->totalCost(), 6);
    EXPECT_EQ(storage->count(), 2);

    auto config = storage->config();
    config.countLimit = 1;
    storage->setConfig(config);  // applies at once
    EXPECT_EQ(storage->count(), 1);
    EXPECT_TRUE(storage->isCached("c"));

    storage->removeAll();
    EXPECT_FALSE(storage->isCached("c"));
    EXPECT_TRUE(storage->keys().empty());
    EXPECT_EQ(storage->totalCost(), 0);
}

TEST_F(MemoryStorageTest, discardedContentReadsAsAbsentAndIsCleanedAway) {
    auto storage = make();
    auto config = storage->config();
    config.keepWhenEnteringBackground = true;
    storage->setConfig(config);
    storage->store("v", "k");
    auto object = std::dynamic_pointer_cast<MemoryStorage::BackgroundKeepingStorageObject<std::string>>(storage->entry("k"));
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->accessing);
    object->discardContentIfPossible();
    EXPECT_TRUE(object->isContentDiscarded());
    EXPECT_FALSE(object->beginContentAccess());
    EXPECT_FALSE(storage->isCached("k"));
    storage->removeExpired();
    EXPECT_FALSE(storage->entry("k"));
}

TEST(MemoryStorageTimerTest, theCleanTimerRemovesExpiredEntriesAndStopsWithItsStorage) {
    auto storage = Backend::create(MemoryStorage::Config(1000, 0.02));
    storage->store("v", "k", StorageExpiration::seconds(0.01));
    EXPECT_TRUE(dispatch::RunLoop::current()->runUntil([&] { return storage->keys().empty(); }, 10));
    std::weak_ptr<Backend> weak = storage;
    auto timer = storage->cleanTimer();
    ASSERT_TRUE(timer->isValid());
    storage.reset();
    EXPECT_TRUE(weak.expired());  // the timer does not hold it
    EXPECT_FALSE(timer->isValid());
}

}  // namespace
}  // namespace pictura
