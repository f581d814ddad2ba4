#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "TestSeed.h"
#include "CountingProcessor.h"
#include "RetrievalTestSupport.h"

namespace pictura {
namespace {

namespace fs = std::filesystem;
using Item = PicturaOptionsInfoItem;

std::vector<std::uint8_t> pixelsOf(const std::shared_ptr<gfx::Image>& image) {
    return image && image->bitmap() ? image->bitmap()->pixels : std::vector<std::uint8_t>{};
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Damage as a failing disk or a careless hand does it: the file's modification date (its expiry)
// stays, so the entry still looks live.
template <class Change>
void keepingExpiry(const fs::path& path, Change change) {
    const auto expiry = fs::last_write_time(path);
    change();
    fs::last_write_time(path, expiry);
}

enum class Damage { none, truncated, randomBytes, emptied, bitFlip, renamedSwap, copiedOver, undecodableWithoutDigest };
constexpr int damageKinds = 8;

class CacheDamageTest : public testing::RetrievalFixture {
protected:
    Source entry(int number) {
        // Both formats meet every kind of damage.
        return network("/seeded/" + std::to_string(number) + ((number / damageKinds) % 2 ? ".jpg" : ".png"));
    }
    fs::path fileOf(int number) { return cache->cachePath(entry(number).cacheKey()); }
};

TEST_F(CacheDamageTest, everyDamagedEntryIsFetchedAgainAndEveryImageIsRightAfterOneRetrieval) {
    constexpr int entries = 200;
    std::map<int, std::vector<std::uint8_t>> downloaded, fromDisk;
    for (int n = 0; n < entries; ++n) {
        auto result = retrieve(entry(n), {Item::waitForCache()});
        ASSERT_TRUE(result) << n;
        downloaded[n] = pixelsOf(result->image);
    }
    // What a sound file gives back (JPEG entries were stored re-encoded).
    cache->clearMemoryCache();
    for (int n = 0; n < entries; ++n) {
        auto result = retrieve(entry(n));
        ASSERT_TRUE(result) << n;
        ASSERT_EQ(result->cacheType, CacheType::disk) << n;
        fromDisk[n] = pixelsOf(result->image);
    }
    cache->clearMemoryCache();
    cache->diskStorage()->files().waitForPendingDateUpdates();

    std::mt19937 random(sorvane::testing::testSeed(42));
    std::vector<int> renamed;
    for (int n = 0; n < entries; ++n) {
        const auto path = fileOf(n);
        switch (static_cast<Damage>(n % damageKinds)) {
        case Damage::none: break;
        case Damage::truncated: keepingExpiry(path, [&] { fs::resize_file(path, fs::file_size(path) / 2); }); break;
        case Damage::randomBytes:
            keepingExpiry(path, [&] {
                std::string bytes(fs::file_size(path), '\0');
                for (auto& byte : bytes) byte = static_cast<char>(random());
                writeFile(path, bytes);
            });
            break;
        case Damage::emptied: keepingExpiry(path, [&] { fs::resize_file(path, 0); }); break;
        case Damage::bitFlip:
            keepingExpiry(path, [&] {
                auto bytes = readFile(path);
                bytes[bytes.size() * 2 / 3] ^= 0x10;
                writeFile(path, bytes);
            });
            break;
        case Damage::renamedSwap: renamed.push_back(n); break;
        case Damage::copiedOver:
            // Another key's sound file, copied over this one.
            keepingExpiry(path, [&] { fs::copy_file(fileOf(n - 6), path, fs::copy_options::overwrite_existing); });
            break;
        case Damage::undecodableWithoutDigest:
            // As a file written before digests were kept looks: a new file, nothing beside its bytes.
            keepingExpiry(path, [&] {
                fs::remove(path);
                writeFile(path, "\x89PNG\r\n\x1a\n but nothing after the signature");
            });
            break;
        }
    }
    // Each renamed file moves on to the next one's name, the last to the first's.
    const auto parked = fs::path(folder.path()) / "parked";
    fs::rename(fileOf(renamed.front()), parked);
    for (std::size_t i = 0; i + 1 < renamed.size(); ++i) fs::rename(fileOf(renamed[i + 1]), fileOf(renamed[i]));
    fs::rename(parked, fileOf(renamed.back()));

    for (int n = 0; n < entries; ++n) {
        const auto damage = static_cast<Damage>(n % damageKinds);
        auto result = retrieve(entry(n));
        ASSERT_TRUE(result) << n << ": " << result.error();
        if (damage == Damage::none) {
            EXPECT_EQ(result->cacheType, CacheType::disk) << n;
            EXPECT_EQ(pixelsOf(result->image), fromDisk[n]) << n;
        } else {
            EXPECT_EQ(result->cacheType, CacheType::none) << n << " kind " << n % damageKinds;
            EXPECT_EQ(pixelsOf(result->image), downloaded[n]) << n << " kind " << n % damageKinds;
        }
        EXPECT_EQ(server.hits(entry(n).url()->path()), damage == Damage::none ? 1 : 2) << n;
    }
}

TEST_F(CacheDamageTest, anUndecodableFileIsRemovedAndTheImageLoadedAgainUnlessOnlyTheCacheMayServe) {
    // A processed image under its own key, and an original for a processor that has none cached.
    auto runs = std::make_shared<std::atomic<int>>(0);
    const auto plain = entry(1), original = entry(2);
    for (const auto& source : {plain, original}) {
        std::atomic<bool> stored = false;
        cache->storeToDisk(foundation::Data::fromString("not a picture"), source.cacheKey(), "", std::nullopt,
                           CallbackQueue::untouch(), [&](CacheStoreResult) { stored = true; });
        ASSERT_TRUE(waitUntil([&] { return stored.load(); }));
    }

    auto onlyCached = retrieve(plain, {Item::onlyFromCache()});
    ASSERT_FALSE(onlyCached);
    EXPECT_EQ(onlyCached.error().errorCode(), 3006);
    EXPECT_FALSE(fs::exists(cache->cachePath(plain.cacheKey()))) << "the undecodable file stays";
    EXPECT_EQ(server.hits(plain.url()->path()), 0);

    std::atomic<bool> stored = false;
    cache->storeToDisk(foundation::Data::fromString("not a picture"), plain.cacheKey(), "", std::nullopt,
                       CallbackQueue::untouch(), [&](CacheStoreResult) { stored = true; });
    ASSERT_TRUE(waitUntil([&] { return stored.load(); }));
    auto loaded = retrieve(plain, {Item::waitForCache()});
    ASSERT_TRUE(loaded) << loaded.error();
    EXPECT_EQ(loaded->cacheType, CacheType::none);
    EXPECT_EQ(server.hits(plain.url()->path()), 1);
    cache->clearMemoryCache();
    auto again = retrieve(plain);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->cacheType, CacheType::disk);

    auto processed = retrieve(original, {Item::processor(std::make_shared<CountingProcessor>("P", runs))});
    ASSERT_TRUE(processed) << processed.error();
    EXPECT_EQ(server.hits(original.url()->path()), 1);
}

}  // namespace
}  // namespace pictura
