#pragma once

#include <optional>
#include <string>

#include "dispatch/Task.h"
#include "pictura/CallbackQueue.h"
#include "pictura/Source.h"

namespace pictura {

// The bytes of a local file, read on `loadingQueue` (by default the pool).
class LocalFileImageDataProvider final : public ImageDataProvider {
public:
    // Without a key: the file URL's local key.
    explicit LocalFileImageDataProvider(foundation::URL fileURL, std::optional<std::string> cacheKey = std::nullopt,
                                        CallbackQueue loadingQueue = CallbackQueue::dispatch(::dispatch::Queue::global()));

    foundation::URL fileURL;
    CallbackQueue loadingQueue;
    std::string key;

    std::string cacheKey() const override { return key; }
    std::optional<foundation::URL> contentURL() const override { return fileURL; }
    // The handler gets the file's bytes or the read's error, where `loadingQueue` runs its work.
    void data(Handler handler) const override;
    // The same read for a coroutine, which resumes on its own queue.
    ::dispatch::Task<Result> data() const;
    std::string description() const override;
};

// Why Base64 text gave no bytes.
struct Base64DecodingError {
    std::size_t length = 0;  // characters of the text
    friend std::ostream& operator<<(std::ostream& stream, const Base64DecodingError& error);
};

// The bytes of standard Base64 text (no line breaks), decoded on the caller's thread before `data`
// returns. Text that does not decode gives a Base64DecodingError, never empty bytes.
class Base64ImageDataProvider final : public ImageDataProvider {
public:
    Base64ImageDataProvider(std::string base64String, std::string cacheKey)
        : base64String(std::move(base64String)), key(std::move(cacheKey)) {}

    std::string base64String;
    std::string key;

    std::string cacheKey() const override { return key; }
    void data(Handler handler) const override;
    std::string description() const override;
};

// Bytes already in memory, handed over at once on the caller's thread.
class RawImageDataProvider final : public ImageDataProvider {
public:
    RawImageDataProvider(foundation::Data data, std::string cacheKey) : bytes(std::move(data)), key(std::move(cacheKey)) {}

    foundation::Data bytes;
    std::string key;

    std::string cacheKey() const override { return key; }
    void data(Handler handler) const override;
    std::string description() const override;
};

}  // namespace pictura
