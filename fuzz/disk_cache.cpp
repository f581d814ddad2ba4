// The image library's disk cache over damaged state: any key (hashed or escaped into a file name, with
// a chosen extension), stores with any expiry, files overwritten with other bytes, dates set to any
// value, date records replaced by any text; then reads, presence tests, sizes and both prunings.
// A key's file must stay inside the cache folder.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExtendedAttributes.h"
#include "FuzzInput.h"
#include "pictura/DiskStorage.h"

namespace {

pictura::StorageExpiration expiration(fuzz::Input& input) {
    using pictura::StorageExpiration;
    switch (input.pick(5)) {
    case 0: {
        // NaN is refused by an assertion (no period at all); every other double is a period to store with.
        double seconds = input.anyDouble();
        return StorageExpiration::seconds(std::isnan(seconds) ? 0 : seconds);
    }
    case 1: return StorageExpiration::days(std::int64_t(input.any64()));
    case 2: return StorageExpiration::date(foundation::Date{input.anyDouble()});
    case 3: return StorageExpiration::expired();
    default: return StorageExpiration::never();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    pictura::DiskStorage::Config config("fuzz", input.byte() * 64, foundation::FileManager::defaultManager(),
                                        fuzz::scratchFolder("disk-cache-fuzz"));
    config.usesHashedFileName = input.flag();
    config.autoExtAfterHashedFileName = input.flag();
    if (input.flag()) config.pathExtension = input.text(8);
    config.expiration = expiration(input);
    auto files = pictura::DiskStorage::Files::create(config, true);
    foundation::detail::ExtendedAttributes attributes(input.flag());
    std::vector<std::string> keys;
    while (!input.empty() && keys.size() < 16) {
        switch (input.pick(6)) {
        case 0: {
            keys.push_back(input.text(300));
            auto url = files->cacheFileURL(keys.back());
            if (url.parent_path() != files->directoryURL()) __builtin_trap();
            (void)files->store(foundation::Data::fromString(input.text(200)), keys.back(),
                               input.flag() ? std::optional(expiration(input)) : std::nullopt);
            break;
        }
        case 1:  // damaged bytes
            if (!keys.empty()) std::ofstream(files->cacheFileURL(keys[input.pick(keys.size())])) << input.text(200);
            break;
        case 2:  // any dates
            if (!keys.empty()) {
                foundation::FileAttributeChanges changes;
                if (input.flag()) changes.creationDate = foundation::Date{input.anyDouble()};
                if (input.flag()) changes.modificationDate = foundation::Date{input.anyDouble()};
                (void)config.fileManager->setAttributes(changes, files->cacheFileURL(keys[input.pick(keys.size())]));
            }
            break;
        case 3:  // a damaged date record
            if (!keys.empty()) {
                std::string record = input.text(120);
                (void)attributes.set(files->cacheFileURL(keys[input.pick(keys.size())]), "sorvane.dates",
                                     {reinterpret_cast<const std::uint8_t*>(record.data()), record.size()});
            }
            break;
        case 4:
            if (!keys.empty()) {
                const auto& key = keys[input.pick(keys.size())];
                foundation::Date now{input.anyDouble()};
                (void)files->isCached(key, now);
                (void)files->value(key, now, input.flag(),
                                   input.flag() ? pictura::ExpirationExtending::expirationTime(expiration(input))
                                                : pictura::ExpirationExtending::cacheTime());
            }
            break;
        default:
            (void)files->removeExpiredValues(foundation::Date{input.anyDouble()});
            break;
        }
    }
    files->waitForPendingDateUpdates();
    (void)files->totalSize();
    (void)files->allFileURLs();
    (void)files->removeSizeExceededValues();
    (void)files->removeAll();
    return 0;
}
