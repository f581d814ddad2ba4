// The name cache of VellumImage and its background creation.

#include <functional>
#include <map>
#include <mutex>

#include "VellumGuard.h"
#include "VellumLog.h"
#include "dispatch/Queue.h"
#include "dispatch/Semaphore.h"
#include "foundation/NotificationCenter.h"
#include "ui/Application.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSource.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceNSData.h"

namespace vellum {

namespace {

struct VellumImageCacheLine {
    int numberOfInstances = 0;
    std::shared_ptr<VellumImage> mainInstance;
};

// Reached from callers' threads and the background parses: every access holds the lock.
struct NameCache {
    std::mutex lock;
    std::map<std::string, VellumImageCacheLine, std::less<>> lines;
};

NameCache& nameCache() {
    static NameCache cache;
    return cache;
}

std::optional<std::string> cacheKeyOf(const VellumSource& source) {
    return guarded<std::optional<std::string>>("keyForAppleDictionaries",
                                               [&] { return source.keyForAppleDictionaries(); });
}

}  // namespace

void VellumImage::initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto& center = foundation::NotificationCenter::defaultCenter();
        const auto purge = [](const foundation::Notification&) { clearCache(); };
        // The tokens live as long as the process: the cache is process-wide.
        [[maybe_unused]] static const auto memoryWarning = center.addObserver(ui::Application::didReceiveMemoryWarningNotification, purge);
        [[maybe_unused]] static const auto background = center.addObserver(ui::Application::didEnterBackgroundNotification, purge);
        // Posted on the main thread once the window is up: the export's screen scale is read then.
        [[maybe_unused]] static const auto active = center.addObserver(ui::Application::didBecomeActiveNotification,
                                                      [](const foundation::Notification&) {
                                                          VellumExporterUIImage::mainScreenScale();
                                                      });
    });
}

void VellumImage::clearCache() {
    std::map<std::string, VellumImageCacheLine, std::less<>> purged;
    {
        auto& cache = nameCache();
        std::lock_guard lock(cache.lock);
        if (cache.lines.empty()) return;
        vellumLogWarning("[%@] Low-mem, background or api clear; purging cache of %lu VellumImages...", "VellumImage",
                         static_cast<unsigned long>(cache.lines.size()));
        purged.swap(cache.lines);
    }
    // The images go outside the lock: destroying one may touch the cache again.
}

std::optional<int> VellumImage::numberOfCachedInstances(std::string_view cacheKey) {
    auto& cache = nameCache();
    std::lock_guard lock(cache.lock);
    auto line = cache.lines.find(cacheKey);
    if (line == cache.lines.end()) return std::nullopt;
    return line->second.numberOfInstances;
}

std::shared_ptr<VellumImage> VellumImage::cachedOrNull(const std::string& key) {
    auto& cache = nameCache();
    std::lock_guard lock(cache.lock);
    auto line = cache.lines.find(key);
    if (line == cache.lines.end()) return nullptr;
    ++line->second.numberOfInstances;
    return line->second.mainInstance;
}

std::shared_ptr<VellumImage> VellumImage::storeInCache(const std::string& key, const std::shared_ptr<VellumImage>& image) {
    auto& cache = nameCache();
    std::lock_guard lock(cache.lock);
    // Two threads that missed at once: the first stored stays the one everybody gets from now on.
    auto [line, inserted] = cache.lines.try_emplace(key, VellumImageCacheLine{0, image});
    if (inserted) {
        image->cameFromGlobalCache_ = true;
        image->nameUsedToInstantiate_ = key;
    }
    return line->second.mainInstance;
}

namespace {

std::shared_ptr<VellumImage> imageNamedFrom(std::string_view name, std::string_view cacheKey,
                                            const std::function<std::shared_ptr<VellumSource>()>& findSource,
                                            const std::function<std::shared_ptr<VellumImage>(const std::string&)>& cached,
                                            const std::function<std::shared_ptr<VellumImage>(
                                                const std::string&, const std::shared_ptr<VellumImage>&)>& store) {
    return guarded<std::shared_ptr<VellumImage>>("imageNamed", [&]() -> std::shared_ptr<VellumImage> {
        const std::string key(cacheKey.empty() ? name : cacheKey);
        if (auto hit = cached(key)) return hit;
        auto image = VellumImage::imageWithSource(findSource());
        if (!image) {
            vellumPlatformLog(
                "[%@] WARNING: not caching the output for new SVG image with name = %@, because it failed to load "
                "correctly",
                "VellumImage", name);
            return nullptr;
        }
        return store(key, image);
    });
}

}  // namespace

std::shared_ptr<VellumImage> VellumImage::imageNamed(std::string_view name, std::string_view cacheKey) {
    return imageNamed(name, std::nullopt, cacheKey);
}

std::shared_ptr<VellumImage> VellumImage::imageNamed(std::string_view name,
                                                     const std::optional<std::filesystem::path>& bundle,
                                                     std::string_view cacheKey) {
    return imageNamedFrom(
        name, cacheKey,
        [&]() -> std::shared_ptr<VellumSource> {
            if (bundle) return VellumSourceLocalFile::internalSourceAnywhereInBundle(bundle, name);
            return VellumSourceLocalFile::internalSourceAnywhereInBundleUsingName(name);
        },
        cachedOrNull, storeInCache);
}

std::shared_ptr<VellumParser> VellumImage::imageWithSource(std::shared_ptr<VellumSource> source, Completion completion) {
    if (!source) {
        vellumLogError("Invalid parameter not satisfying: %@", "newSource != nil");
        if (completion) completion(nullptr, nullptr);
        return nullptr;
    }
    const auto key = cacheKeyOf(*source);
    if (key) {
        if (auto hit = cachedOrNull(*key)) {
            if (completion) completion(hit, hit->parseErrorsAndWarnings());
            return nullptr;
        }
    }
    std::shared_ptr<VellumParser> parser =
        guarded<std::shared_ptr<VellumParser>>("imageWithSource", [&]() -> std::shared_ptr<VellumParser> {
            return VellumParser::newParserWithDefaultVellumParserExtensions(source);
        });
    if (!parser) {
        if (completion) completion(nullptr, nullptr);
        return nullptr;
    }
    dispatch::Queue::global()->async([parser, source, key, completion = std::move(completion)] {
        std::shared_ptr<VellumParseResult> result;
        std::shared_ptr<VellumImage> image;
        guarded<int>("imageWithSource", [&] {
            result = parser->parseSynchronously();
            image = initWithParsedSVG(result, source);
            return 0;
        });
        if (image && key) {
            image = storeInCache(*key, image);
        } else if (!image) {
            vellumPlatformLog(
                "[%@] WARNING: not caching the output for new SVG image with source = %@, because it failed to load "
                "correctly",
                "VellumImage", source->description());
        }
        if (completion) completion(image, result);
    });
    return parser;
}

std::shared_ptr<VellumParser> VellumImage::imageAsynchronouslyNamed(std::string_view name, Completion completion) {
    auto source = guarded<std::shared_ptr<VellumSource>>("imageAsynchronouslyNamed", [&]() -> std::shared_ptr<VellumSource> {
        return VellumSourceLocalFile::internalSourceAnywhereInBundleUsingName(name);
    });
    return imageWithSource(std::move(source), std::move(completion));
}

std::shared_ptr<VellumParser> VellumImage::imageParserWithContentsOfFileAsynchronously(const std::filesystem::path& path,
                                                                                       Completion completion) {
    return imageWithSource(VellumSourceLocalFile::sourceFromFilename(path), std::move(completion));
}

std::shared_ptr<VellumParser> VellumImage::imageParserWithDataAsynchronously(const foundation::Data& data,
                                                                             Completion completion) {
    vellumLogWarning(
        "Creating an SVG from raw data; this is not recommended: SVG requires knowledge of at least the URL where it "
        "came from (as it can contain relative file-links internally). You should use the method [VellumImage "
        "initWithSource:] instead and specify an VellumSource with more detail");
    return imageWithSource(VellumSourceNSData::sourceFromData(data, std::nullopt), std::move(completion));
}

namespace {

// Waits for the background parse's completion (called at once on a cache hit).
std::shared_ptr<VellumImage> waitFor(const std::function<void(VellumImage::Completion)>& start) {
    auto done = std::make_shared<dispatch::Semaphore>(0);
    auto answer = std::make_shared<std::shared_ptr<VellumImage>>();
    start([done, answer](std::shared_ptr<VellumImage> image, std::shared_ptr<VellumParseResult>) {
        *answer = std::move(image);
        done->signal();
    });
    done->wait();
    return *answer;
}

}  // namespace

std::shared_ptr<VellumImage> VellumImage::imageWithContentsOfFileAsynchronously(const std::filesystem::path& path) {
    return waitFor([&](Completion completion) { imageParserWithContentsOfFileAsynchronously(path, std::move(completion)); });
}

std::shared_ptr<VellumImage> VellumImage::imageWithDataAsynchronously(const foundation::Data& data) {
    return waitFor([&](Completion completion) { imageParserWithDataAsynchronously(data, std::move(completion)); });
}

}  // namespace vellum
