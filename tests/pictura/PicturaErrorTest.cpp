#include <gtest/gtest.h>

#include "foundation/FileError.h"
#include "net/URLError.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/PicturaError.h"

namespace pictura {
namespace {

using E = PicturaError;

foundation::URL url(const char* text) { return *foundation::URL::fromString(text); }

net::Response response(int status) {
    return net::Response::make(url("https://media.test/a.png"), status, {});
}

struct FixedProcessor final : ImageProcessor {
    std::string identifier() const override { return "fixed"; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem&, const PicturaParsedOptionsInfo&) const override {
        return nullptr;
    }
};

Source networkSource() { return Source::network(ImageResource(url("https://media.test/a.png"))); }

struct Case {
    PicturaError error;
    int code;
    std::string text;
};

std::vector<Case> everyReason() {
    const AnyError ioError(foundation::FileError{2, "open /cache/x: No such file or directory"});
    const std::string ioText = "open /cache/x: No such file or directory";
    return {
        {E::requestError(E::EmptyRequest{}), 1001, "The request is empty or `nil`."},
        {E::requestError(E::InvalidURL{net::Request()}), 1002,
         "The request contains an invalid or empty URL. Request: GET (no URL)."},
        {E::requestError(E::TaskCancelled{nullptr, 3}), 1003, "The session task was cancelled. Task: nil, cancel token: 3."},
        {E::responseError(E::InvalidURLResponse{net::Response()}), 2001, "The URL response is invalid: 0 (no URL)"},
        {E::responseError(E::InvalidHTTPStatusCode{response(404)}), 2002,
         "The HTTP status code in response is invalid. Code: 404, response: 404 https://media.test/a.png."},
        {E::responseError(E::URLSessionError{net::URLError(net::URLError::timedOut)}), 2003,
         "A URL session error happened. The underlying error: URLError -1001 (The request timed out.)"},
        {E::responseError(E::DataModifyingFailed{nullptr}), 2004,
         "The data modifying delegate returned `nil` for the downloaded data. Task: nil."},
        {E::responseError(E::NoURLResponse{nullptr}), 2005, "No URL response received. Task: nil,"},
        {E::cacheError(E::FileEnumeratorCreationFailed{url("file:///cache/")}), 3001,
         "Cannot create file enumerator for URL: file:///cache/."},
        {E::cacheError(E::InvalidFileEnumeratorContent{url("file:///cache/")}), 3002,
         "Cannot get contents from the file enumerator at URL: file:///cache/."},
        {E::cacheError(E::InvalidURLResource{ioError, "k", url("file:///cache/x")}), 3003,
         "Cannot get URL resource values or data for the given URL: file:///cache/x. Cache key: k. Underlying error: " +
             ioText},
        {E::cacheError(E::CannotLoadDataFromDisk{url("file:///cache/x"), ioError}), 3004,
         "Cannot load data from disk at URL: file:///cache/x. Underlying error: " + ioText},
        {E::cacheError(E::CannotCreateDirectory{"/cache", ioError}), 3005,
         "Cannot create directory at given path: Path: /cache. Underlying error: " + ioText},
        {E::cacheError(E::ImageNotExisting{"k"}), 3006,
         "The image is not in cache, but you requires it should only be from cache by enabling the "
         "`.onlyFromCache` option. Key: k."},
        {E::cacheError(E::CannotConvertToData{"<Image>", ioError}), 3007,
         "Cannot convert the input object to a `Data` object when storing it to disk cache. Object: <Image>. "
         "Underlying error: " + ioText},
        {E::cacheError(E::CannotSerializeImage{nullptr, foundation::Data::fromString("abc"), nullptr}), 3008,
         "Cannot serialize an image due to the cache serializer returning `nil`. Image: nil, original data: "
         "Optional(3 bytes), serializer: nil."},
        {E::cacheError(E::CannotCreateCacheFile{url("file:///cache/x"), "k", foundation::Data::fromString("abcd"), ioError}),
         3009,
         "Cannot create cache file at url: file:///cache/x, key: k, data length: 4. Underlying foundation error: " +
             ioText + "."},
        {E::cacheError(E::CannotSetCacheFileAttribute{"/cache/x", {{"modificationDate", "2023-04-30"}}, ioError}), 3010,
         "Cannot set file attribute for the cache file at path: /cache/x, attributes: [\"modificationDate\": "
         "2023-04-30].Underlying foundation error: " + ioText + "."},
        {E::cacheError(E::DiskStorageIsNotReady{url("file:///cache/")}), 3011,
         "The disk storage is not ready to use yet at URL: 'file:///cache/'. This is usually caused by extremely "
         "lack of disk space. Ask users to free up some space and restart the app."},
        {E::processorError(E::ProcessingFailed{std::make_shared<FixedProcessor>(), foundation::Data::fromString("xy")}),
         4001, "Processing image failed. Processor: ImageProcessor(identifier: \"fixed\"). Processing item: data(2 bytes)."},
        {E::imageSettingError(E::EmptySource{}), 5001, "The input resource is empty."},
        {E::imageSettingError(E::NotCurrentSourceTask{std::nullopt, AnyError(std::string("late")), networkSource()}), 5002,
         "Retrieving resource failed, and this resource is not the one currently expected. Error: late. Resource: "
         "network(ImageResource(cacheKey: \"https://media.test/a.png\", downloadURL: https://media.test/a.png))."},
        {E::imageSettingError(E::DataProviderError{std::make_shared<RawImageDataProvider>(foundation::Data(), "raw"),
                                                   AnyError(std::string("gone"))}),
         5003, "Image data provider fails to provide data. Provider: RawImageDataProvider(data: 0 bytes, cacheKey: "
               "\"raw\"), error: gone"},
        {E::imageSettingError(E::AlternativeSourcesExhausted{{{networkSource(), E::cacheError(E::ImageNotExisting{"a"})}}}),
         5004,
         "Image setting from alternaive sources failed: [PropagationError(source: network(ImageResource(cacheKey: "
         "\"https://media.test/a.png\", downloadURL: https://media.test/a.png)), error: The image is not in cache, but "
         "you requires it should only be from cache by enabling the `.onlyFromCache` option. Key: a.)]"},
    };
}

TEST(PicturaErrorTest, everyReasonHasItsCodeAndText) {
    for (const auto& one : everyReason()) {
        EXPECT_EQ(one.error.errorCode(), one.code);
        EXPECT_EQ(one.error.errorDescription(), one.text) << one.code;
    }
    EXPECT_EQ(everyReason().size(), 24u);
}

TEST(PicturaErrorTest, kindsFollowTheCodeRanges) {
    for (const auto& one : everyReason()) {
        EXPECT_EQ(static_cast<int>(one.error.kind()), one.code / 1000 - 1) << one.code;
    }
    auto cancelled = E::requestError(E::TaskCancelled{nullptr, 0});
    ASSERT_TRUE(cancelled.requestErrorReason());
    EXPECT_FALSE(cancelled.cacheErrorReason());
    EXPECT_EQ(E::domain, "com.tolvane.Pictura.Error");
}

TEST(PicturaErrorTest, notCurrentSourceTaskPrefersTheResultAndMayHaveNoText) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 1));
    RetrieveImageResult result{image, CacheType::memory, networkSource(), networkSource(), nullptr};
    auto both = E::imageSettingError(E::NotCurrentSourceTask{result, AnyError(std::string("late")), networkSource()});
    EXPECT_EQ(both.errorDescription(),
              "Retrieving resource succeeded, but this source is not the one currently expected. Result: "
              "RetrieveImageResult(image: Optional(<Image 2x1 pixels @1x>), cacheType: memory, source: "
              "network(ImageResource(cacheKey: \"https://media.test/a.png\", downloadURL: https://media.test/a.png)), "
              "originalSource: network(ImageResource(cacheKey: \"https://media.test/a.png\", downloadURL: "
              "https://media.test/a.png))). Resource: network(ImageResource(cacheKey: \"https://media.test/a.png\", "
              "downloadURL: https://media.test/a.png)).");

    auto neither = E::imageSettingError(E::NotCurrentSourceTask{std::nullopt, std::nullopt, networkSource()});
    EXPECT_EQ(neither.errorDescription(), std::nullopt);
    EXPECT_EQ(neither.errorCode(), 5002);
    EXPECT_TRUE(neither.isNotCurrentTask());
    EXPECT_TRUE(both.isNotCurrentTask());
    EXPECT_FALSE(E::imageSettingError(E::EmptySource{}).isNotCurrentTask());
}

TEST(PicturaErrorTest, statusCodeAndCancellationQueries) {
    auto notFound = E::responseError(E::InvalidHTTPStatusCode{response(404)});
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode());
    EXPECT_TRUE(notFound.isInvalidResponseStatusCode(404));
    EXPECT_FALSE(notFound.isInvalidResponseStatusCode(500));
    EXPECT_FALSE(E::responseError(E::NoURLResponse{nullptr}).isInvalidResponseStatusCode(404));
    EXPECT_FALSE(E::cacheError(E::ImageNotExisting{"k"}).isInvalidResponseStatusCode());

    EXPECT_TRUE(E::requestError(E::TaskCancelled{nullptr, 1}).isTaskCancelled());
    EXPECT_FALSE(E::requestError(E::EmptyRequest{}).isTaskCancelled());
    EXPECT_FALSE(E::responseError(E::URLSessionError{net::URLError(net::URLError::cancelled)}).isTaskCancelled());
}

TEST(PicturaErrorTest, onlyAConstrainedNetworkRefusalIsAConstrainedNetworkError) {
    net::URLError constrained(net::URLError::notConnectedToInternet);
    constrained.networkUnavailableReason = net::URLError::NetworkUnavailableReason::constrained;
    net::URLError expensive = constrained;
    expensive.networkUnavailableReason = net::URLError::NetworkUnavailableReason::expensive;

    EXPECT_TRUE(E::responseError(E::URLSessionError{constrained}).isConstrainedNetworkError());
    EXPECT_FALSE(E::responseError(E::URLSessionError{expensive}).isConstrainedNetworkError());
    EXPECT_FALSE(E::responseError(E::URLSessionError{net::URLError(net::URLError::timedOut)}).isConstrainedNetworkError());
    EXPECT_FALSE(E::responseError(E::URLSessionError{std::string("not a URL error")}).isConstrainedNetworkError());
    EXPECT_FALSE(E::cacheError(E::ImageNotExisting{"k"}).isConstrainedNetworkError());
}

TEST(PicturaErrorTest, travelsAsAnyErrorWithItsText) {
    AnyError wrapped(E::cacheError(E::ImageNotExisting{"k"}));
    ASSERT_TRUE(wrapped.as<PicturaError>());
    EXPECT_EQ(wrapped.as<PicturaError>()->errorCode(), 3006);
    EXPECT_EQ(wrapped.description(), *E::cacheError(E::ImageNotExisting{"k"}).errorDescription());
    EXPECT_EQ(wrapped.as<net::URLError>(), nullptr);
}

}  // namespace
}  // namespace pictura
