#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CacheTestSupport.h"
#include "ImageSamples.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/PCBuilder.h"
#include "pictura/PicturaManager.h"

namespace pictura {
namespace {

using Processors = std::vector<std::shared_ptr<const ImageProcessor>>;

// A receiver whose callbacks are bounded by a separate object, so a test can let that object go.
class Receiver : public PCOptionSetter<Receiver>, public std::enable_shared_from_this<Receiver> {
public:
    PicturaParsedOptionsInfo& options() { return options_; }
    OnFailureDelegate& onFailureDelegate() { return failure; }
    OnSuccessDelegate& onSuccessDelegate() { return success; }
    OnProgressDelegate& onProgressDelegate() { return progress; }
    std::shared_ptr<int> delegateObserver() { return observer; }
    std::shared_ptr<Receiver> receiver() { return shared_from_this(); }

    std::shared_ptr<int> observer = std::make_shared<int>(0);
    PicturaParsedOptionsInfo options_;
    OnFailureDelegate failure;
    OnSuccessDelegate success;
    OnProgressDelegate progress;
};

RetrieveImageResult someResult() {
    const auto source = Source::network(ImageResource(*foundation::URL::fromString("https://images.test/a.png")));
    return {samples::image(samples::filled(2, 2, {1, 0, 0, 1})), CacheType::memory, source, source, nullptr};
}

const PicturaError someFailure = PicturaError::imageSettingError(PicturaError::EmptySource{});

TEST(PCOptionSetter, valueSettersStoreTheirArgumentAndChainOnTheSameReceiver) {
    auto receiver = std::make_shared<Receiver>();
    testing::TempFolder folder;
    auto cache = *ImageCache::create("setter", folder.path());
    auto downloader = ImageDownloader::make("setter");
    auto alternative = Source::network(ImageResource(*foundation::URL::fromString("https://images.test/b.png")));
    auto chained = receiver->targetCache(cache)
                       ->originalCache(cache)
                       ->downloader(downloader)
                       ->downloadPriority(0.75f)
                       ->forceRefresh(true)
                       ->cacheMemoryOnly(true)
                       ->waitForCache(true)
                       ->onlyFromCache(true)
                       ->backgroundDecode(true)
                       ->scaleFactor(3)
                       ->cacheOriginalImage(true)
                       ->loadDiskFileSynchronously(true)
                       ->forceTransition(true)
                       ->alternativeSources(std::vector{alternative})
                       ->lowDataModeSource(alternative)
                       ->processingQueue(CallbackQueue::untouch())
                       ->memoryCacheExpiration(StorageExpiration::seconds(5))
                       ->diskCacheExpiration(StorageExpiration::days(2))
                       ->diskCacheAccessExtending(ExpirationExtending::none());
    EXPECT_EQ(chained, receiver);
    const auto& options = receiver->options();
    EXPECT_EQ(options.targetCache, cache);
    EXPECT_EQ(options.originalCache, cache);
    EXPECT_EQ(options.downloader, downloader);
    EXPECT_FLOAT_EQ(options.downloadPriority, 0.75f);
    EXPECT_TRUE(options.forceRefresh && options.cacheMemoryOnly && options.waitForCache && options.onlyFromCache);
    EXPECT_TRUE(options.backgroundDecode && options.cacheOriginalImage && options.loadDiskFileSynchronously);
    EXPECT_TRUE(options.forceTransition);
    EXPECT_FALSE(options.fromMemoryCacheOrRefresh);
    EXPECT_EQ(options.scaleFactor, 3);
    ASSERT_TRUE(options.alternativeSources);
    EXPECT_EQ(*options.alternativeSources, std::vector{alternative});
    EXPECT_EQ(options.lowDataModeSource, alternative);
    EXPECT_TRUE(options.processingQueue.has_value());
    EXPECT_EQ(options.memoryCacheExpiration, StorageExpiration::seconds(5));
    EXPECT_EQ(options.diskCacheExpiration, StorageExpiration::days(2));
    EXPECT_EQ(options.diskCacheAccessExtendingExpiration, ExpirationExtending::none());

    // A later call of the same setter replaces; flags turn off again.
    receiver->forceRefresh(false)->scaleFactor(2)->alternativeSources(std::nullopt)->memoryCacheExpiration(std::nullopt);
    EXPECT_FALSE(options.forceRefresh);
    EXPECT_EQ(options.scaleFactor, 2);
    EXPECT_FALSE(options.alternativeSources);
    EXPECT_FALSE(options.memoryCacheExpiration);
}

TEST(PCOptionSetter, processorShortcutsChainAfterWhatIsThereAndDownsamplingReplacesTheDefault) {
    auto receiver = std::make_shared<Receiver>();
    const auto blurIdentifier = BlurImageProcessor(4).identifier();
    const auto downsamplingIdentifier = DownsamplingImageProcessor({20, 10}).identifier();

    receiver->blur(4);
    EXPECT_EQ(receiver->options().processor->identifier(), "|>" + blurIdentifier);
    receiver->downsampling({20, 10});
    EXPECT_EQ(receiver->options().processor->identifier(), "|>" + blurIdentifier + "|>" + downsamplingIdentifier);

    auto fresh = std::make_shared<Receiver>();
    fresh->downsampling({20, 10});
    EXPECT_EQ(fresh->options().processor->identifier(), downsamplingIdentifier);
    fresh->blackWhite()->tint({0, 0, 1, 1});
    EXPECT_EQ(fresh->options().processor->identifier(), downsamplingIdentifier + "|>" + BlackWhiteProcessor().identifier() +
                                                            "|>" + TintImageProcessor({0, 0, 1, 1}).identifier());

    auto blackWhite = std::make_shared<const BlackWhiteProcessor>();
    auto listed = std::make_shared<Receiver>();
    listed->blur(2)->setProcessors({});
    EXPECT_EQ(listed->options().processor, DefaultImageProcessor::defaultProcessor());
    listed->setProcessors({blackWhite});
    EXPECT_EQ(listed->options().processor, blackWhite);
    listed->setProcessors(Processors{blackWhite, std::make_shared<const BlurImageProcessor>(4),
                                     std::make_shared<const CroppingImageProcessor>(gfx::Size{5, 5}, gfx::Point{0, 0})});
    EXPECT_EQ(listed->options().processor->identifier(),
              blackWhite->identifier() + "|>" + blurIdentifier + "|>" +
                  CroppingImageProcessor({5, 5}, {0, 0}).identifier());
}

TEST(PCOptionSetter, aChainedProcessorRunsEveryStepOnTheImage) {
    auto receiver = std::make_shared<Receiver>();
    receiver->resizing({8, 8}, ContentMode::none)->cropping({4, 2}, {0, 0});
    auto image = samples::image(samples::coordinates(16, 16));
    auto processed = receiver->options().processor->process(ImageProcessItem(image), receiver->options());
    ASSERT_TRUE(processed);
    EXPECT_EQ(processed->pixelWidth(), 4);
    EXPECT_EQ(processed->pixelHeight(), 2);
}

TEST(PCOptionSetter, serializeByFormatPicksTheSharedFormsAndJPEGDefaultsToFullQuality) {
    auto receiver = std::make_shared<Receiver>();
    auto format = [&] { return std::dynamic_pointer_cast<const FormatIndicatedCacheSerializer>(receiver->options().cacheSerializer); };

    receiver->serialize(ImageFormat::JPEG, std::nullopt);
    ASSERT_TRUE(format());
    EXPECT_EQ(format()->imageFormat(), ImageFormat::JPEG);
    EXPECT_EQ(format()->jpegCompressionQuality(), 1.0);
    receiver->serialize(ImageFormat::JPEG, 0.4);
    EXPECT_EQ(format()->jpegCompressionQuality(), 0.4);
    receiver->serialize(ImageFormat::unknown, 0.4);
    EXPECT_EQ(format(), FormatIndicatedCacheSerializer::png());
    receiver->serialize(ImageFormat::GIF);
    EXPECT_EQ(format(), FormatIndicatedCacheSerializer::gif());
    receiver->serialize(DefaultCacheSerializer::defaultSerializer());
    EXPECT_EQ(receiver->options().cacheSerializer, DefaultCacheSerializer::defaultSerializer());
}

TEST(PCOptionSetter, failureImageOfNoneStillCountsAsSet) {
    auto receiver = std::make_shared<Receiver>();
    EXPECT_FALSE(receiver->options().onFailureImage.has_value());
    receiver->onFailureImage(nullptr);
    ASSERT_TRUE(receiver->options().onFailureImage.has_value());
    EXPECT_EQ(*receiver->options().onFailureImage, nullptr);
    auto image = samples::image(samples::filled(1, 1, {0, 1, 0, 1}));
    receiver->onFailureImage(image);
    EXPECT_EQ(*receiver->options().onFailureImage, image);
}

TEST(PCOptionSetter, closureFormsWrapModifiersRedirectsAndRetry) {
    auto receiver = std::make_shared<Receiver>();
    receiver->requestModifier([](net::Request& request) { request.headers.set("X-Season", "2023"); });
    const net::Request original(*foundation::URL::fromString("https://images.test/c.png"));
    std::optional<net::Request> modified;
    receiver->options().requestModifier->modified(original, [&](std::optional<net::Request> request) { modified = std::move(request); });
    ASSERT_TRUE(modified);
    EXPECT_EQ(modified->headers.value("X-Season"), "2023");
    EXPECT_EQ(modified->url, original.url);
    EXPECT_FALSE(original.headers.value("X-Season"));

    std::optional<PC::RedirectPayload> payload;
    receiver->redirectHandler([&](PC::RedirectPayload given) {
        payload = given;
        given.completionHandler(std::nullopt);
    });
    const auto response = net::Response::make(foundation::URL::fromString("https://images.test/c.png"), 302, {});
    std::vector<std::optional<net::Request>> decisions;
    receiver->options().redirectHandler->handleHTTPRedirection(nullptr, response, original,
                                                               [&](std::optional<net::Request> next) { decisions.push_back(next); });
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->response.statusCode, 302);
    EXPECT_EQ(payload->newRequest, original);
    EXPECT_EQ(decisions, std::vector<std::optional<net::Request>>{std::nullopt});
    // No closure: the redirect is followed, never left unanswered.
    receiver->redirectHandler(PCOptionSetter<Receiver>::RedirectBlock{});
    receiver->options().redirectHandler->handleHTTPRedirection(nullptr, response, original,
                                                               [&](std::optional<net::Request> next) { decisions.push_back(next); });
    EXPECT_EQ(decisions.back(), original);

    auto red = samples::image(samples::filled(1, 1, {1, 0, 0, 1}));
    auto green = samples::image(samples::filled(1, 1, {0, 1, 0, 1}));
    receiver->imageModifier([&](std::shared_ptr<gfx::Image>& image) { image = green; });
    EXPECT_EQ(receiver->options().imageModifier->modify(red), green);
    receiver->imageModifier([](std::shared_ptr<gfx::Image>&) { throw std::runtime_error("no"); });
    EXPECT_EQ(receiver->options().imageModifier->modify(red), red);

    receiver->retry(4, DelayRetryStrategy::Interval::accumulated(2));
    auto delay = std::dynamic_pointer_cast<const DelayRetryStrategy>(receiver->options().retryStrategy);
    ASSERT_TRUE(delay);
    EXPECT_EQ(delay->maxRetryCount, 4);
    EXPECT_EQ(delay->retryInterval.timeInterval(2), 6);
    receiver->retry(nullptr);
    EXPECT_FALSE(receiver->options().retryStrategy);
}

TEST(PCOptionSetter, callbacksReplaceEachOtherAndStopWithTheirObserver) {
    auto receiver = std::make_shared<Receiver>();
    std::vector<std::string> heard;
    receiver->onSuccess([&](const RetrieveImageResult&) { heard.push_back("first"); });
    receiver->onSuccess([&](const RetrieveImageResult& result) { heard.push_back(result.source.cacheKey()); });
    receiver->onFailure([&](const PicturaError& error) { heard.push_back(std::to_string(error.errorCode())); });
    receiver->onProgress([&](std::int64_t received, std::int64_t total) {
        heard.push_back(std::to_string(received) + "/" + std::to_string(total));
    });
    receiver->success.call(someResult());
    receiver->failure.call(someFailure);
    receiver->progress.call({3, 10});
    EXPECT_EQ(heard, (std::vector<std::string>{"https://images.test/a.png", "5001", "3/10"}));

    receiver->onFailure(nullptr);
    receiver->failure.call(someFailure);
    EXPECT_EQ(heard.size(), 3u);

    receiver->observer.reset();
    receiver->success.call(someResult());
    receiver->progress.call({1, 1});
    EXPECT_EQ(heard.size(), 3u);
}

class PCBuilderFactories : public ::testing::Test {
protected:
    static foundation::URL url(const char* text) { return *foundation::URL::fromString(text); }
};

TEST_F(PCBuilderFactories, urlsBecomeDownloadsOrLocalFileReadsUnderTheirOwnOrTheGivenKey) {
    EXPECT_FALSE(PC::url(std::nullopt)->source());
    EXPECT_FALSE(PC::resource(std::nullopt)->source());

    auto remote = PC::url(url("https://images.test/flags/nl.svg"))->source();
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->kind(), Source::Kind::network);
    EXPECT_EQ(remote->cacheKey(), "https://images.test/flags/nl.svg");
    EXPECT_EQ(PC::url(url("https://images.test/flags/nl.svg"), "nl")->source()->cacheKey(), "nl");
    EXPECT_EQ(PC::resource(ImageResource(url("https://images.test/x.png"), "x"))->source()->cacheKey(), "x");

    auto file = foundation::URL::fileURL("/var/pictures/headshot.png");
    auto local = PC::url(file)->source();
    ASSERT_TRUE(local);
    EXPECT_EQ(local->kind(), Source::Kind::provider);
    auto provider = std::dynamic_pointer_cast<const LocalFileImageDataProvider>(local->dataProvider());
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->fileURL, file);
    EXPECT_EQ(local->cacheKey(), localImageCacheKey(file));
    EXPECT_EQ(PC::url(file, "mine")->source()->cacheKey(), "mine");
}

TEST_F(PCBuilderFactories, dataAndProvidersBecomeProviderSources) {
    EXPECT_FALSE(PC::data(std::nullopt, "k")->source());
    EXPECT_FALSE(PC::dataProvider(nullptr)->source());
    EXPECT_FALSE(PC::source(std::nullopt)->source());

    const auto bytes = foundation::Data::fromString("not really a picture");
    auto source = PC::data(bytes, "raw-key")->source();
    ASSERT_TRUE(source);
    auto raw = std::dynamic_pointer_cast<const RawImageDataProvider>(source->dataProvider());
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, bytes);
    EXPECT_EQ(raw->key, "raw-key");

    auto provider = std::make_shared<RawImageDataProvider>(bytes, "given");
    EXPECT_EQ(PC::dataProvider(provider)->source()->dataProvider(), provider);
    auto network = Source::network(ImageResource(url("https://images.test/y.png")));
    EXPECT_EQ(PC::source(network)->source(), network);
}

TEST_F(PCBuilderFactories, aBuilderStartsFromTheManagersDefaultsAndItsOwnSettersStoreTheirValues) {
    auto manager = PicturaManager::shared();
    const auto saved = manager->defaultOptions();
    manager->setDefaultOptions({PicturaOptionsInfoItem::scaleFactor(2), PicturaOptionsInfoItem::forceRefresh()});
    auto builder = PC::url(url("https://images.test/z.png"));
    manager->setDefaultOptions(saved);
    EXPECT_EQ(builder->options().scaleFactor, 2);
    EXPECT_TRUE(builder->options().forceRefresh);
    // Not the manager's own cache and downloader: a builder given its own cache keeps originals there.
    EXPECT_EQ(builder->options().targetCache, nullptr);
    EXPECT_EQ(builder->options().originalCache, nullptr);
    EXPECT_EQ(builder->options().downloader, nullptr);

    auto faded = PC::url(url("https://images.test/z.png"))->fade(0.25);
    auto transitioned = PC::url(url("https://images.test/z.png"))->transition(ImageTransition::fade(0.25));
    EXPECT_EQ(faded->options().transition.kind, ImageTransition::Kind::fade);
    EXPECT_EQ(faded->options().transition.kind, transitioned->options().transition.kind);
    EXPECT_EQ(faded->options().transition.duration, transitioned->options().transition.duration);

    auto image = samples::image(samples::filled(1, 1, {0, 0, 1, 1}));
    builder->placeholder(image)->keepCurrentImageWhileLoading()->onlyLoadFirstFrame()->progressiveJPEG(ImageProgressive{});
    auto shown = std::dynamic_pointer_cast<const ImagePlaceholder>(builder->placeholder());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->image(), image);
    EXPECT_TRUE(builder->options().keepCurrentImageWhileLoading);
    EXPECT_TRUE(builder->options().onlyLoadFirstFrame);
    EXPECT_TRUE(builder->options().progressiveJPEG);
    builder->placeholder(std::shared_ptr<gfx::Image>())->progressiveJPEG(std::nullopt)->keepCurrentImageWhileLoading(false);
    EXPECT_FALSE(builder->placeholder());
    EXPECT_FALSE(builder->options().progressiveJPEG);
    EXPECT_FALSE(builder->options().keepCurrentImageWhileLoading);

    const auto before = builder->options().scaleFactor;
    EXPECT_EQ(builder->loadImmediately(false)->loadImmediately(true), builder);
    EXPECT_EQ(builder->options().scaleFactor, before);
    EXPECT_FALSE(builder->options().keepCurrentImageWhileLoading);
}

TEST_F(PCBuilderFactories, forwardersReachTheCallbacksAndKeepADroppedBuilderAlive) {
    std::vector<std::string> heard;
    auto builder = PC::url(url("https://images.test/w.png"));
    builder->onSuccess([&](const RetrieveImageResult&) { heard.push_back("success"); })
        ->onFailure([&](const PicturaError& error) { heard.push_back(std::to_string(error.errorCode())); })
        ->onProgress([&](std::int64_t received, std::int64_t) { heard.push_back(std::to_string(received)); });
    auto progress = builder->progressForwarder();
    auto result = builder->resultForwarder();
    std::weak_ptr<PC::Builder> weak = builder;
    builder.reset();
    ASSERT_FALSE(weak.expired());

    progress(7, 9);
    result(someResult());
    result(std::unexpected(someFailure));
    EXPECT_EQ(heard, (std::vector<std::string>{"7", "success", "5001"}));
    progress = nullptr;
    result = nullptr;
    EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace pictura
