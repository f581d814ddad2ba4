#pragma once

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "gfx/Image.h"
#include "net/Request.h"
#include "net/Response.h"
#include "pictura/AnyError.h"
#include "pictura/ImageProcessor.h"
#include "pictura/RetrieveImageResult.h"
#include "pictura/Source.h"

namespace pictura {

class SessionDataTask;
class CacheSerializer;
struct PropagationError;

// The one error of the image library: a kind, and a reason of that kind with a fixed code and text.
class PicturaError {
public:
    enum class Kind { requestError, responseError, cacheError, processorError, imageSettingError };

    struct EmptyRequest {};
    struct InvalidURL { net::Request request; };
    struct TaskCancelled { std::shared_ptr<SessionDataTask> task; int token = 0; };
    using RequestErrorReason = std::variant<EmptyRequest, InvalidURL, TaskCancelled>;

    struct InvalidURLResponse { net::Response response; };
    struct InvalidHTTPStatusCode { net::HTTPResponse response; };
    struct URLSessionError { AnyError error; };
    struct DataModifyingFailed { std::shared_ptr<SessionDataTask> task; };
    struct NoURLResponse { std::shared_ptr<SessionDataTask> task; };
    using ResponseErrorReason =
        std::variant<InvalidURLResponse, InvalidHTTPStatusCode, URLSessionError, DataModifyingFailed, NoURLResponse>;

    struct FileEnumeratorCreationFailed { foundation::URL url; };
    struct InvalidFileEnumeratorContent { foundation::URL url; };
    struct InvalidURLResource { AnyError error; std::string key; foundation::URL url; };
    struct CannotLoadDataFromDisk { foundation::URL url; AnyError error; };
    struct CannotCreateDirectory { std::string path; AnyError error; };
    struct ImageNotExisting { std::string key; };
    struct CannotConvertToData { std::string object; AnyError error; };  // the object as text
    struct CannotSerializeImage {
        std::shared_ptr<gfx::Image> image;
        std::optional<foundation::Data> original;
        std::shared_ptr<const CacheSerializer> serializer;
    };
    struct CannotCreateCacheFile { foundation::URL fileURL; std::string key; foundation::Data data; AnyError error; };
    struct CannotSetCacheFileAttribute {
        std::string filePath;
        std::map<std::string, std::string> attributes;  // attribute name to its value as text
        AnyError error;
    };
    struct DiskStorageIsNotReady { foundation::URL cacheURL; };
    using CacheErrorReason =
        std::variant<FileEnumeratorCreationFailed, InvalidFileEnumeratorContent, InvalidURLResource,
                     CannotLoadDataFromDisk, CannotCreateDirectory, ImageNotExisting, CannotConvertToData,
                     CannotSerializeImage, CannotCreateCacheFile, CannotSetCacheFileAttribute, DiskStorageIsNotReady>;

    struct ProcessingFailed { std::shared_ptr<const ImageProcessor> processor; ImageProcessItem item; };
    using ProcessorErrorReason = std::variant<ProcessingFailed>;

    struct EmptySource {};
    struct NotCurrentSourceTask {
        std::optional<RetrieveImageResult> result;
        std::optional<AnyError> error;
        Source source;
    };
    struct DataProviderError { std::shared_ptr<const ImageDataProvider> provider; AnyError error; };
    struct AlternativeSourcesExhausted { std::vector<PropagationError> errors; };
    using ImageSettingErrorReason =
        std::variant<EmptySource, NotCurrentSourceTask, DataProviderError, AlternativeSourcesExhausted>;

    static constexpr std::string_view domain = "com.tolvane.Pictura.Error";

    // Defined below PropagationError: a reason holds a vector of them, destroyed only once complete.
    static PicturaError requestError(RequestErrorReason reason);
    static PicturaError responseError(ResponseErrorReason reason);
    static PicturaError cacheError(CacheErrorReason reason);
    static PicturaError processorError(ProcessorErrorReason reason);
    static PicturaError imageSettingError(ImageSettingErrorReason reason);

    Kind kind() const { return static_cast<Kind>(reason_.index()); }
    // The reason of the kind; null for another kind.
    const RequestErrorReason* requestErrorReason() const { return std::get_if<RequestErrorReason>(&reason_); }
    const ResponseErrorReason* responseErrorReason() const { return std::get_if<ResponseErrorReason>(&reason_); }
    const CacheErrorReason* cacheErrorReason() const { return std::get_if<CacheErrorReason>(&reason_); }
    const ProcessorErrorReason* processorErrorReason() const { return std::get_if<ProcessorErrorReason>(&reason_); }
    const ImageSettingErrorReason* imageSettingErrorReason() const { return std::get_if<ImageSettingErrorReason>(&reason_); }

    // 1001-1003, 2001-2005, 3001-3011, 4001, 5001-5004.
    int errorCode() const;
    // Built anew on each call; absent only for notCurrentSourceTask with neither result nor error.
    std::optional<std::string> errorDescription() const;

    bool isTaskCancelled() const;
    bool isInvalidResponseStatusCode() const;
    bool isInvalidResponseStatusCode(int code) const;
    bool isNotCurrentTask() const;
    // A transfer refused because the network is in low-data mode.
    bool isConstrainedNetworkError() const;

private:
    using Reason = std::variant<RequestErrorReason, ResponseErrorReason, CacheErrorReason, ProcessorErrorReason,
                                ImageSettingErrorReason>;
    // Tagged, so that no single value converts to an error: asking whether one does (as std::expected
    // asks of its error type) would otherwise ask each reason, and the payloads take any value.
    PicturaError(std::in_place_t, Reason reason);

    Reason reason_;
};

// One alternative source that was tried, and how it failed.
struct PropagationError {
    Source source;
    PicturaError error;
};

inline PicturaError::PicturaError(std::in_place_t, Reason reason) : reason_(std::move(reason)) {}
inline PicturaError PicturaError::requestError(RequestErrorReason reason) {
    return PicturaError(std::in_place, std::move(reason));
}
inline PicturaError PicturaError::responseError(ResponseErrorReason reason) {
    return PicturaError(std::in_place, std::move(reason));
}
inline PicturaError PicturaError::cacheError(CacheErrorReason reason) {
    return PicturaError(std::in_place, std::move(reason));
}
inline PicturaError PicturaError::processorError(ProcessorErrorReason reason) {
    return PicturaError(std::in_place, std::move(reason));
}
inline PicturaError PicturaError::imageSettingError(ImageSettingErrorReason reason) {
    return PicturaError(std::in_place, std::move(reason));
}

// The description, or the code alone when there is none.
std::ostream& operator<<(std::ostream& stream, const PicturaError& error);
std::ostream& operator<<(std::ostream& stream, const PropagationError& error);

}  // namespace pictura
