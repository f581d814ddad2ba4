#include "pictura/DiskStorage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/Assertion.h"
#include "pictura/CacheKeyText.h"

namespace pictura::DiskStorage {

namespace {

constexpr std::string_view cacheNamePrefix = "com.tolvane.Pictura.ImageCache.";
// The longest file name Linux file systems take.
constexpr std::size_t maximumFileNameLength = 255;

foundation::URL fileURL(const Path& path, bool isDirectory = false) {
    return foundation::URL::fileURL(path.string(), isDirectory);
}

// Seconds since 1970 rounded up to a whole second.
foundation::Date roundedUp(foundation::Date date) {
    return foundation::Date::fromUnix(std::ceil(date.timeIntervalSince1970()));
}

foundation::FileAttributeChanges datesFrom(const StorageExpiration& expiration) {
    const auto now = foundation::Date::now();
    return {.creationDate = roundedUp(now), .modificationDate = roundedUp(expiration.estimatedExpirationSinceNow())};
}

std::string dateText(const std::optional<foundation::Date>& date) {
    return date ? std::to_string(date->timeIntervalSince1970()) : "";
}

// A name part that stays one plain file name: "/", "%", control bytes and a leading "." (a hidden
// file would never be cleaned) are percent-escaped.
std::string escapedName(const std::string& text) {
    std::string escaped;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte == '/' || byte == '%' || byte < 0x20 || byte == 0x7F || (index == 0 && byte == '.'))
        {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", byte);
            escaped += code;
        }
        else
            escaped += text[index];
    }
    return escaped;
}

// Too long a name keeps its head and ends in the MD5 of the whole key, so distinct keys stay distinct.
std::string cappedName(std::string name, const std::string& suffix, const std::string& key) {
    if (name.size() + suffix.size() <= maximumFileNameLength) return name + suffix;
    const auto digest = "-" + pc(key).md5();
    const auto room = maximumFileNameLength - std::min(maximumFileNameLength, digest.size() + suffix.size());
    name.resize(room);
    // Never cut an escape or a UTF-8 sequence in half.
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
    if (auto percent = name.rfind('%'); percent != std::string::npos && percent + 3 > name.size()) name.resize(percent);
    const auto capped = name + digest + suffix;
    return capped.size() <= maximumFileNameLength ? capped : pc(key).md5();
}

// The extended attribute that holds a file's digest. A file without it (written before digests, or
// on a file system that kept none) is trusted as it is.
const std::string digestAttribute = "pictura.digest";

// FNV-1a over the key and the bytes, eight bytes a step: each step is a bijection of the state, so
// any changed byte changes the digest, and a file moved under another key's name no longer matches
// that key.
foundation::Data digestOf(const std::string& key, const foundation::Data& data) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](std::uint64_t word) {
        hash ^= word;
        hash *= 1099511628211ull;
    };
    const auto mixAll = [&mix](const std::uint8_t* bytes, std::size_t size) {
        std::size_t offset = 0;
        for (; offset + 8 <= size; offset += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + offset, 8);
            mix(word);
        }
        for (; offset < size; ++offset) mix(bytes[offset]);
        mix(size);
    };
    mixAll(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
    mixAll(data.bytes().data(), data.size());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return foundation::Data::fromString(text);
}

// Anything under a key's name that is not a plain file (a link, a folder) is no cache file: it goes,
// never what a link points to. True when nothing but a plain file, or nothing, is left there.
bool clearedOfNonRegular(const foundation::FileManager& fileManager, const Path& url) {
    auto attributes = fileManager.attributesOfItem(url);
    if (!attributes || attributes->type == foundation::FileType::regular) return true;
    return fileManager.removeItem(url).has_value();
}

}  // namespace

Creation::Creation(const Config& config)
    : cacheName(std::string(cacheNamePrefix) + config.name) {
    const auto parent = config.directory.value_or(config.fileManager->cachesDirectory());
    foundation::assertion(static_cast<bool>(config.cachePathBlock), "[Pictura] A disk storage needs a cache path block.");
    directoryURL = config.cachePathBlock(parent, cacheName);
}

std::expected<FileMeta, foundation::FileError> FileMeta::read(const foundation::FileManager& fileManager,
                                                              const Path& url) {
    auto attributes = fileManager.attributesOfItem(url);
    if (!attributes) return std::unexpected(attributes.error());
    return FileMeta(url, *attributes);
}

FileMeta::FileMeta(Path url, const std::optional<foundation::FileAttributes>& attributes) : url(std::move(url)) {
    if (!attributes) return;
    lastAccessDate = attributes->creationDate;
    estimatedExpirationDate = attributes->modificationDate;
    isDirectory = attributes->isDirectory();
    fileSize = static_cast<std::int64_t>(attributes->size);
}

bool FileMeta::expired(foundation::Date referenceDate) const {
    return !estimatedExpirationDate || estimatedExpirationDate->timeIntervalSince(referenceDate) <= 0;
}

Files::Files(Config config)
    : config_(std::move(config)),
      cacheName_(Creation(config_).cacheName),
      directoryURL_(Creation(config_).directoryURL),
      metaChangingQueue_(dispatch::Queue::serial(cacheName_)),
      maybeCachedCheckingQueue_(dispatch::Queue::serial("com.tolvane.Pictura.maybeCachedCheckingQueue")) {
    config_.cachePathBlock = nullptr;
}

Files::~Files() = default;

std::shared_ptr<Files> Files::create(Config config, bool creatingDirectory) {
    auto files = std::shared_ptr<Files>(new Files(std::move(config)));
    files->setupCacheChecking();
    if (creatingDirectory) (void)files->prepareDirectory();
    return files;
}

std::expected<std::shared_ptr<Files>, PicturaError> Files::create(Config config) {
    auto files = create(std::move(config), false);
    if (auto prepared = files->prepareDirectory(); !prepared) return std::unexpected(prepared.error());
    return files;
}

Config Files::config() const {
    std::lock_guard lock(configMutex_);
    return config_;
}

void Files::setConfig(Config config) {
    std::lock_guard lock(configMutex_);
    config_ = std::move(config);
    config_.cachePathBlock = nullptr;
}

bool Files::storageReady() const { return storageReady_.load(); }

void Files::setupCacheChecking() {
    maybeCachedCheckingQueue_->async([self = shared_from_this()] {
        self->maybeCached_.emplace();
        auto names = self->config().fileManager->contentsOfDirectory(self->directoryURL_);
        if (!names) {
            self->maybeCached_.reset();
            return;
        }
        self->maybeCached_->insert(names->begin(), names->end());
    });
}

std::expected<void, PicturaError> Files::prepareDirectory() {
    const auto fileManager = config().fileManager;
    if (fileManager->fileExists(directoryURL_)) return {};
    if (auto created = fileManager->createDirectory(directoryURL_, true); !created) {
        storageReady_ = false;
        return std::unexpected(
            PicturaError::cacheError(PicturaError::CannotCreateDirectory{directoryURL_.string(), created.error()}));
    }
    return {};
}

std::expected<void, PicturaError> Files::store(const foundation::Data& data, const std::string& key,
                                               std::optional<StorageExpiration> expiration,
                                               foundation::WriteOptions writeOptions) {
    if (!storageReady())
        return std::unexpected(PicturaError::cacheError(PicturaError::DiskStorageIsNotReady{fileURL(directoryURL_, true)}));
    const auto configuration = config();
    const auto effective = expiration.value_or(configuration.expiration);
    if (effective.isExpired()) return {};
    const auto url = cacheFileURL(key);
    {
        std::lock_guard lock(datesMutex_);
        // The old digest goes first: a write that stops half-way leaves a file that is trusted as
        // before, never one that a stale digest condemns.
        (void)clearedOfNonRegular(*configuration.fileManager, url);
        (void)configuration.fileManager->removeExtendedAttribute(url, digestAttribute);
        writeOptions.noFollow = true;
        if (auto written = configuration.fileManager->write(url, data, writeOptions); !written)
            return std::unexpected(PicturaError::cacheError(
                PicturaError::CannotCreateCacheFile{fileURL(url), key, data, written.error()}));
        const auto dates = datesFrom(effective);
        if (auto set = configuration.fileManager->setAttributes(dates, url); !set) {
            (void)configuration.fileManager->removeItem(url);
            return std::unexpected(PicturaError::cacheError(PicturaError::CannotSetCacheFileAttribute{
                url.string(),
                {{"NSFileCreationDate", dateText(dates.creationDate)},
                 {"NSFileModificationDate", dateText(dates.modificationDate)}},
                set.error()}));
        }
        (void)configuration.fileManager->setExtendedAttribute(url, digestAttribute, digestOf(key, data));
    }
    maybeCachedCheckingQueue_->async([self = shared_from_this(), name = url.filename().string()] {
        if (self->maybeCached_) self->maybeCached_->insert(name);
    });
    return {};
}

std::expected<std::optional<foundation::Data>, PicturaError> Files::value(const std::string& key,
                                                                          foundation::Date referenceDate,
                                                                          bool actuallyLoad,
                                                                          const ExpirationExtending& extending) {
    if (!storageReady())
        return std::unexpected(PicturaError::cacheError(PicturaError::DiskStorageIsNotReady{fileURL(directoryURL_, true)}));
    const auto url = cacheFileURL(key);
    const auto name = url.filename().string();
    const bool maybe = maybeCachedCheckingQueue_->sync([&] { return !maybeCached_ || maybeCached_->contains(name); });
    if (!maybe) return std::optional<foundation::Data>();
    const auto fileManager = config().fileManager;
    auto attributes = fileManager->attributesOfItem(url);
    if (!attributes) {
        if (attributes.error().isNoSuchFile()) return std::optional<foundation::Data>();
        return std::unexpected(
            PicturaError::cacheError(PicturaError::InvalidURLResource{attributes.error(), key, fileURL(url)}));
    }
    if (attributes->type != foundation::FileType::regular) {
        std::lock_guard lock(datesMutex_);
        (void)clearedOfNonRegular(*fileManager, url);
        return std::optional<foundation::Data>();
    }
    const FileMeta meta(url, *attributes);
    if (meta.expired(referenceDate)) return std::optional<foundation::Data>();
    if (!actuallyLoad) return std::optional<foundation::Data>(foundation::Data());
    auto data = fileManager->readData(url);
    if (!data) {
        // Removed since it was looked at: a miss, as if it had never been there.
        if (data.error().isNoSuchFile()) return std::optional<foundation::Data>();
        return std::unexpected(PicturaError::cacheError(PicturaError::CannotLoadDataFromDisk{fileURL(url), data.error()}));
    }
    if (!matchesDigest(*fileManager, url, key, *data)) {
        discard(key, *data);
        return std::optional<foundation::Data>();
    }
    if (extending.kind() != ExpirationExtending::Kind::none) {
        metaChangingQueue_->async([self = shared_from_this(), seen = meta, extending] {
            self->extendExpiration(seen, extending);
        });
    }
    return std::optional<foundation::Data>(std::move(*data));
}

bool Files::matchesDigest(const foundation::FileManager& fileManager, const Path& url, const std::string& key,
                          const foundation::Data& data) const {
    auto digest = fileManager.extendedAttribute(url, digestAttribute);
    return !digest || *digest == digestOf(key, data);
}

void Files::discard(const std::string& key, const foundation::Data& seen) {
    const auto fileManager = config().fileManager;
    const auto url = cacheFileURL(key);
    std::lock_guard lock(datesMutex_);
    // A store since the read put good bytes there, which stay.
    auto current = fileManager->readData(url);
    if (!current || *current != seen) return;
    (void)fileManager->removeItem(url);
}

void Files::extendExpiration(const FileMeta& seen, const ExpirationExtending& extending) {
    if (!seen.lastAccessDate || !seen.estimatedExpirationDate || extending.kind() == ExpirationExtending::Kind::none)
        return;
    const auto expiration = extending.kind() == ExpirationExtending::Kind::cacheTime
                                ? StorageExpiration::seconds(seen.estimatedExpirationDate->timeIntervalSince(*seen.lastAccessDate))
                                : extending.expiration();
    const auto fileManager = config().fileManager;
    std::lock_guard lock(datesMutex_);
    // A store since the read set dates of its own, which the read's extension must not overwrite.
    auto current = FileMeta::read(*fileManager, seen.url);
    if (!current || current->lastAccessDate != seen.lastAccessDate ||
        current->estimatedExpirationDate != seen.estimatedExpirationDate)
        return;
    (void)fileManager->setAttributes(datesFrom(expiration), seen.url);
}

void Files::waitForPendingDateUpdates() {
    metaChangingQueue_->sync([] {});
}

bool Files::isCached(const std::string& key, foundation::Date referenceDate) {
    auto found = value(key, referenceDate, false, ExpirationExtending::none());
    return found && found->has_value();
}

std::expected<void, foundation::FileError> Files::remove(const std::string& key) { return removeFile(cacheFileURL(key)); }

std::expected<void, foundation::FileError> Files::removeFile(const Path& url) {
    return config().fileManager->removeItem(url);
}

std::expected<void, AnyError> Files::removeAll(bool skipCreatingDirectory) {
    if (auto removed = removeFile(directoryURL_); !removed) return std::unexpected(AnyError(removed.error()));
    if (skipCreatingDirectory) return {};
    if (auto prepared = prepareDirectory(); !prepared) return std::unexpected(AnyError(prepared.error()));
    return {};
}

Path Files::cacheFileURL(const std::string& key) const { return directoryURL_ / cacheFileName(key); }

std::string Files::cacheFileName(const std::string& key) const {
    const auto configuration = config();
    std::string suffix;
    if (configuration.pathExtension) {
        suffix = "." + escapedName(*configuration.pathExtension);
    } else if (configuration.usesHashedFileName && configuration.autoExtAfterHashedFileName) {
        if (auto extension = pc(key).fileExtension()) suffix = "." + escapedName(*extension);
    }
    if (suffix.size() > maximumFileNameLength / 2) suffix.clear();
    if (configuration.usesHashedFileName) return pc(key).md5() + suffix;
    auto name = escapedName(key);
    // "" and ".." would name the folder or its parent.
    if (name.empty()) name = "%00";
    return cappedName(std::move(name), suffix, key);
}

std::expected<std::vector<foundation::DirectoryEntry>, PicturaError> Files::allFileURLs() const {
    auto enumerator = config().fileManager->enumerator(directoryURL_, {.skipsHiddenFiles = true});
    if (!enumerator)
        return std::unexpected(PicturaError::cacheError(PicturaError::FileEnumeratorCreationFailed{fileURL(directoryURL_, true)}));
    return enumerator->allObjects();
}

std::expected<std::vector<Path>, PicturaError> Files::removeExpiredValues(foundation::Date referenceDate) {
    auto entries = allFileURLs();
    if (!entries) return std::unexpected(entries.error());
    std::vector<Path> removed;
    for (const auto& entry : *entries) {
        const FileMeta meta(entry.path, entry.attributes);
        const bool expired = !entry.attributes || (!meta.isDirectory && meta.expired(referenceDate));
        if (!expired) continue;
        if (removeFile(entry.path)) removed.push_back(entry.path);
    }
    return removed;
}

std::expected<std::vector<Path>, PicturaError> Files::removeSizeExceededValues() {
    const auto sizeLimit = config().sizeLimit;
    if (sizeLimit == 0) return std::vector<Path>();
    // The total is the sum of the very files listed, so removing them all brings it to 0 exactly:
    // a file that grew after a separate count could otherwise wrap the running total round.
    auto entries = allFileURLs();
    if (!entries) return std::unexpected(entries.error());
    std::vector<FileMeta> pending;
    std::uint64_t size = 0;
    for (const auto& entry : *entries) {
        if (!entry.attributes || entry.attributes->isDirectory()) continue;
        pending.emplace_back(entry.path, entry.attributes);
        size += entry.attributes->size;
    }
    if (size < sizeLimit) return std::vector<Path>();
    std::ranges::stable_sort(pending, [](const FileMeta& a, const FileMeta& b) {
        return a.lastAccessDate.value_or(foundation::Date::distantPast()) >
               b.lastAccessDate.value_or(foundation::Date::distantPast());
    });
    const auto target = sizeLimit / 2;
    std::vector<Path> removed;
    while (size > target && !pending.empty()) {
        const auto meta = std::move(pending.back());
        pending.pop_back();
        // One that cannot be removed stays counted; the next oldest goes instead.
        if (!removeFile(meta.url)) continue;
        size -= static_cast<std::uint64_t>(meta.fileSize);
        removed.push_back(meta.url);
    }
    return removed;
}

std::expected<std::uint64_t, PicturaError> Files::totalSize() const {
    auto entries = allFileURLs();
    if (!entries) return std::unexpected(entries.error());
    std::uint64_t total = 0;
    for (const auto& entry : *entries)
        if (entry.attributes && !entry.attributes->isDirectory()) total += entry.attributes->size;
    return total;
}

}  // namespace pictura::DiskStorage
