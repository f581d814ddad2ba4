#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <unordered_set>

#include "dispatch/RunLoop.h"
#include "foundation/Assertion.h"
#include "foundation/FileError.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/Source.h"

namespace pictura {
namespace {

foundation::URL url(const char* text) { return *foundation::URL::fromString(text); }

TEST(LocalImageCacheKey, keepsThePathFromTheInnermostAppFolderOn) {
    EXPECT_EQ(localImageCacheKey(url("file:///private/var/containers/Bundle/Application/X/Demo.app/icons/a.png?v=2")),
              "pictura.local.cacheKey/Demo.app/icons/a.png?v=2");
    EXPECT_EQ(localImageCacheKey(url("file:///private/var/containers/Bundle/Application/Y/Demo.app/icons/a.png?v=2")),
              "pictura.local.cacheKey/Demo.app/icons/a.png?v=2");
    EXPECT_EQ(localImageCacheKey(url("file:///A/Demo.app/PlugIns/Share.appex/img/b.png")),
              "pictura.local.cacheKey/Share.appex/img/b.png");
    EXPECT_EQ(localImageCacheKey(url("file:///tmp/c.png")), "pictura.local.cacheKey///tmp/c.png");
    EXPECT_EQ(localImageCacheKey(url("file:")), "pictura.local.cacheKey/");
    EXPECT_EQ(localImageCacheKey(url("file:?x=1")), "pictura.local.cacheKey/?x=1");
}

TEST(SourceTest, aURLIsADownloadUnlessItIsAFile) {
    auto network = convertToSource(url("https://media.test/a.png"));
    ASSERT_EQ(network.kind(), Source::Kind::network);
    EXPECT_EQ(network.cacheKey(), "https://media.test/a.png");
    EXPECT_EQ(network.url(), url("https://media.test/a.png"));

    auto file = convertToSource(url("file:///tmp/c.png"));
    ASSERT_EQ(file.kind(), Source::Kind::provider);
    EXPECT_EQ(file.cacheKey(), "pictura.local.cacheKey///tmp/c.png");
    EXPECT_EQ(file.url(), url("file:///tmp/c.png"));
    EXPECT_NE(dynamic_cast<const LocalFileImageDataProvider*>(file.dataProvider().get()), nullptr);

    auto overridden = convertToSource(url("file:///tmp/c.png"), "mine");
    EXPECT_EQ(overridden.cacheKey(), "mine");
    EXPECT_EQ(ImageResource(url("file:///tmp/c.png"), "kept").cacheKey, "kept");
    EXPECT_EQ(ImageResource(url("https://media.test/a.png")).convertToSource("other").cacheKey(), "other");
    EXPECT_EQ(resourceCacheKey(url("file:///tmp/c.png")), "pictura.local.cacheKey///tmp/c.png");
}

TEST(SourceTest, equalityWantsTheSameKindKeyAndURL) {
    auto network = Source::network(ImageResource(url("https://media.test/a.png"), "k"));
    auto raw = Source::provider(std::make_shared<RawImageDataProvider>(foundation::Data(), "k"));
    auto base64 = Source::provider(std::make_shared<Base64ImageDataProvider>("", "k"));
    EXPECT_NE(network, raw);
    EXPECT_NE(raw, network);
    EXPECT_EQ(raw, base64);  // different provider types, same key, no content URL
    EXPECT_EQ(network, Source::network(ImageResource(url("https://media.test/a.png"), "k")));
    EXPECT_NE(network, Source::network(ImageResource(url("https://media.test/b.png"), "k")));
    auto file = Source::provider(std::make_shared<LocalFileImageDataProvider>(url("file:///tmp/c.png"), "k"));
    EXPECT_NE(raw, file);  // absent and present content URLs differ

    std::unordered_set<Source> set{network, raw, base64, file};
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(std::hash<Source>()(raw), std::hash<Source>()(base64));
}

TEST(SourceTest, aProviderSourceWithoutAProviderIsRefusedWhereItIsMade) {
    EXPECT_THROW(Source::provider(nullptr), foundation::InternalInconsistencyException);
}

TEST(SourceTest, identifiersCountUpAndNeverRepeat) {
    const auto first = Source::Identifier::next();
    const auto second = Source::Identifier::next();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(second, first + 1);
}

class LocalFileProvider : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("pictura-source-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        std::ofstream(directory / "a.png", std::ios::binary) << "PNGBYTES";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::filesystem::path directory;
};

TEST_F(LocalFileProvider, readsTheFileWhereItsQueueRunsWork) {
    auto provider = std::make_shared<LocalFileImageDataProvider>(foundation::URL::fileURL((directory / "a.png").string()),
                                                                 std::nullopt, CallbackQueue::untouch());
    std::optional<ImageDataProvider::Result> result;
    provider->data([&](ImageDataProvider::Result answer) { result = std::move(answer); });
    ASSERT_TRUE(result);  // untouch: before data() returned
    ASSERT_TRUE(result->has_value());
    EXPECT_EQ((*result)->toString(), "PNGBYTES");
    EXPECT_EQ(provider->cacheKey(), localImageCacheKey(provider->fileURL));

    auto onPool = std::make_shared<LocalFileImageDataProvider>(foundation::URL::fileURL((directory / "a.png").string()));
    std::promise<ImageDataProvider::Result> later;
    onPool->data([&](ImageDataProvider::Result answer) { later.set_value(std::move(answer)); });
    auto pooled = later.get_future().get();
    ASSERT_TRUE(pooled);
    EXPECT_EQ(pooled->toString(), "PNGBYTES");
}

TEST_F(LocalFileProvider, aMissingFileGivesTheReadError) {
    auto provider = std::make_shared<LocalFileImageDataProvider>(
        foundation::URL::fileURL((directory / "none.png").string()), "k", CallbackQueue::untouch());
    std::optional<ImageDataProvider::Result> result;
    provider->data([&](ImageDataProvider::Result answer) { result = std::move(answer); });
    ASSERT_TRUE(result);
    ASSERT_FALSE(result->has_value());
    ASSERT_TRUE(result->error().as<foundation::FileError>());
    EXPECT_TRUE(result->error().as<foundation::FileError>()->isNoSuchFile());
}

TEST_F(LocalFileProvider, aCoroutineReadsTheSameBytes) {
    auto provider = std::make_shared<LocalFileImageDataProvider>(foundation::URL::fileURL((directory / "a.png").string()));
    std::optional<std::string> text;
    dispatch::spawn(dispatch::Queue::main(), [provider, &text]() -> dispatch::Task<> {
        auto result = co_await provider->data();
        text = result ? result->toString() : "error";
    });
    EXPECT_TRUE(dispatch::RunLoop::main()->runUntil([&] { return text.has_value(); }, 10));
    EXPECT_EQ(text, "PNGBYTES");
}

TEST(InMemoryProviders, answerAtOnceOnTheCallingThread) {
    RawImageDataProvider raw(foundation::Data::fromString("raw"), "r");
    std::optional<ImageDataProvider::Result> rawResult;
    raw.data([&](ImageDataProvider::Result answer) { rawResult = std::move(answer); });
    ASSERT_TRUE(rawResult && rawResult->has_value());
    EXPECT_EQ((*rawResult)->toString(), "raw");
    EXPECT_EQ(raw.contentURL(), std::nullopt);

    Base64ImageDataProvider base64("aGVsbG8=", "b");
    std::optional<ImageDataProvider::Result> decoded;
    base64.data([&](ImageDataProvider::Result answer) { decoded = std::move(answer); });
    ASSERT_TRUE(decoded && decoded->has_value());
    EXPECT_EQ((*decoded)->toString(), "hello");
    EXPECT_EQ(base64.cacheKey(), "b");
}

TEST(InMemoryProviders, base64TextThatDoesNotDecodeIsAnErrorNotEmptyBytes) {
    for (const char* text : {"aGVsbG8", "aGVs\nbG8=", "not base64!"}) {
        Base64ImageDataProvider provider(text, "b");
        std::optional<ImageDataProvider::Result> result;
        provider.data([&](ImageDataProvider::Result answer) { result = std::move(answer); });
        ASSERT_TRUE(result) << text;
        ASSERT_FALSE(result->has_value()) << text;
        ASSERT_TRUE(result->error().as<Base64DecodingError>()) << text;
        EXPECT_EQ(result->error().as<Base64DecodingError>()->length, std::string(text).size());
    }
    Base64ImageDataProvider provider("!!!!", "b");
    provider.data([](ImageDataProvider::Result answer) {
        EXPECT_EQ(answer.error().description(),
                  "Base64DecodingError(the text of 4 characters is not standard Base64)");
    });
}

}  // namespace
}  // namespace pictura
