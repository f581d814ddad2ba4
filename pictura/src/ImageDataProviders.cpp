#include "pictura/ImageDataProviders.h"

#include <ostream>

#include "foundation/FileManager.h"

namespace pictura {

namespace {

ImageDataProvider::Result readFile(const foundation::URL& fileURL) {
    auto data = foundation::FileManager::defaultManager()->readData(fileURL.path());
    if (!data) return std::unexpected(AnyError(data.error()));
    return std::move(*data);
}

}  // namespace

LocalFileImageDataProvider::LocalFileImageDataProvider(foundation::URL fileURL, std::optional<std::string> cacheKey,
                                                       CallbackQueue loadingQueue)
    : fileURL(std::move(fileURL)), loadingQueue(std::move(loadingQueue)),
      key(cacheKey ? std::move(*cacheKey) : localImageCacheKey(this->fileURL)) {}

void LocalFileImageDataProvider::data(Handler handler) const {
    loadingQueue.execute([fileURL = fileURL, handler = std::move(handler)] { handler(readFile(fileURL)); });
}

::dispatch::Task<ImageDataProvider::Result> LocalFileImageDataProvider::data() const {
    auto self = std::static_pointer_cast<const LocalFileImageDataProvider>(shared_from_this());
    std::function<void(std::function<void(Result)>)> start = [self](std::function<void(Result)> resume) {
        self->data(Handler(std::move(resume)));
    };
    Result result = co_await ::dispatch::awaitCallback<Result>(std::move(start));
    co_return result;
}

std::string LocalFileImageDataProvider::description() const {
    return "LocalFileImageDataProvider(fileURL: " + fileURL.absoluteString() + ", cacheKey: \"" + key + "\")";
}

std::ostream& operator<<(std::ostream& stream, const Base64DecodingError& error) {
    return stream << "Base64DecodingError(the text of " << error.length << " characters is not standard Base64)";
}

void Base64ImageDataProvider::data(Handler handler) const {
    auto decoded = foundation::Data::fromBase64(base64String);
    if (!decoded) return handler(std::unexpected(AnyError(Base64DecodingError{base64String.size()})));
    handler(std::move(*decoded));
}

std::string Base64ImageDataProvider::description() const {
    return "Base64ImageDataProvider(base64String: " + std::to_string(base64String.size()) + " characters, cacheKey: \"" +
           key + "\")";
}

void RawImageDataProvider::data(Handler handler) const { handler(bytes); }

std::string RawImageDataProvider::description() const {
    return "RawImageDataProvider(data: " + std::to_string(bytes.size()) + " bytes, cacheKey: \"" + key + "\")";
}

}  // namespace pictura
