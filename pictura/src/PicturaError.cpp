#include "pictura/PicturaError.h"

#include <sstream>

#include "ImageText.h"
#include "net/URLError.h"

namespace pictura {

namespace {

template <class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang before 17, which fuzzes).
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

template <class Value>
std::string text(const Value& value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

std::string objectText(std::string_view type, const void* object) {
    if (!object) return "nil";
    std::ostringstream stream;
    stream << "<Pictura." << type << ": " << object << ">";
    return stream.str();
}

std::string optionalDataText(const std::optional<foundation::Data>& data) {
    return data ? "Optional(" + std::to_string(data->size()) + " bytes)" : "nil";
}

std::string attributesText(const std::map<std::string, std::string>& attributes) {
    if (attributes.empty()) return "[:]";
    std::string joined;
    for (const auto& [name, value] : attributes) {
        if (!joined.empty()) joined += ", ";
        joined += "\"" + name + "\": " + value;
    }
    return "[" + joined + "]";
}

std::string requestDescription(const PicturaError::RequestErrorReason& reason) {
    return std::visit(Overloaded{
                          [](const PicturaError::EmptyRequest&) { return std::string("The request is empty or `nil`."); },
                          [](const PicturaError::InvalidURL& r) {
                              return "The request contains an invalid or empty URL. Request: " + text(r.request) + ".";
                          },
                          [](const PicturaError::TaskCancelled& r) {
                              return "The session task was cancelled. Task: " + objectText("SessionDataTask", r.task.get()) +
                                     ", cancel token: " + std::to_string(r.token) + ".";
                          },
                      },
                      reason);
}

std::string responseDescription(const PicturaError::ResponseErrorReason& reason) {
    return std::visit(
        Overloaded{
            [](const PicturaError::InvalidURLResponse& r) { return "The URL response is invalid: " + text(r.response); },
            [](const PicturaError::InvalidHTTPStatusCode& r) {
                return "The HTTP status code in response is invalid. Code: " + std::to_string(r.response.statusCode) +
                       ", response: " + text(r.response) + ".";
            },
            [](const PicturaError::URLSessionError& r) {
                return "A URL session error happened. The underlying error: " + r.error.description();
            },
            [](const PicturaError::DataModifyingFailed& r) {
                return "The data modifying delegate returned `nil` for the downloaded data. Task: " +
                       objectText("SessionDataTask", r.task.get()) + ".";
            },
            [](const PicturaError::NoURLResponse& r) {
                return "No URL response received. Task: " + objectText("SessionDataTask", r.task.get()) + ",";
            },
        },
        reason);
}

std::string cacheDescription(const PicturaError::CacheErrorReason& reason) {
    using E = PicturaError;
    return std::visit(
        Overloaded{
            [](const E::FileEnumeratorCreationFailed& r) {
                return "Cannot create file enumerator for URL: " + r.url.absoluteString() + ".";
            },
            [](const E::InvalidFileEnumeratorContent& r) {
                return "Cannot get contents from the file enumerator at URL: " + r.url.absoluteString() + ".";
            },
            [](const E::InvalidURLResource& r) {
                return "Cannot get URL resource values or data for the given URL: " + r.url.absoluteString() + ". " +
                       "Cache key: " + r.key + ". Underlying error: " + r.error.description();
            },
            [](const E::CannotLoadDataFromDisk& r) {
                return "Cannot load data from disk at URL: " + r.url.absoluteString() +
                       ". Underlying error: " + r.error.description();
            },
            [](const E::CannotCreateDirectory& r) {
                return "Cannot create directory at given path: Path: " + r.path +
                       ". Underlying error: " + r.error.description();
            },
            [](const E::ImageNotExisting& r) {
                return std::string("The image is not in cache, but you requires it should only be ") +
                       "from cache by enabling the `.onlyFromCache` option. Key: " + r.key + ".";
            },
            [](const E::CannotConvertToData& r) {
                return std::string("Cannot convert the input object to a `Data` object when storing it to disk cache. ") +
                       "Object: " + r.object + ". Underlying error: " + r.error.description();
            },
            [](const E::CannotSerializeImage& r) {
                return std::string("Cannot serialize an image due to the cache serializer returning `nil`. ") +
                       "Image: " + optionalImageText(r.image) + ", original data: " + optionalDataText(r.original) + ", " +
                       "serializer: " + objectText("CacheSerializer", r.serializer.get()) + ".";
            },
            [](const E::CannotCreateCacheFile& r) {
                return "Cannot create cache file at url: " + r.fileURL.absoluteString() + ", key: " + r.key +
                       ", data length: " + std::to_string(r.data.size()) + ". " +
                       "Underlying foundation error: " + r.error.description() + ".";
            },
            [](const E::CannotSetCacheFileAttribute& r) {
                return "Cannot set file attribute for the cache file at path: " + r.filePath +
                       ", attributes: " + attributesText(r.attributes) + "." +
                       "Underlying foundation error: " + r.error.description() + ".";
            },
            [](const E::DiskStorageIsNotReady& r) {
                return "The disk storage is not ready to use yet at URL: '" + r.cacheURL.absoluteString() + "'. " +
                       "This is usually caused by extremely lack of disk space. Ask users to free up some space and "
                       "restart the app.";
            },
        },
        reason);
}

std::string processorDescription(const PicturaError::ProcessorErrorReason& reason) {
    const auto& failed = std::get<PicturaError::ProcessingFailed>(reason);
    return "Processing image failed. Processor: " + (failed.processor ? failed.processor->description() : "nil") +
           ". Processing item: " + describe(failed.item) + ".";
}

std::optional<std::string> imageSettingDescription(const PicturaError::ImageSettingErrorReason& reason) {
    using E = PicturaError;
    return std::visit(
        Overloaded{
            [](const E::EmptySource&) -> std::optional<std::string> { return "The input resource is empty."; },
            [](const E::NotCurrentSourceTask& r) -> std::optional<std::string> {
                if (r.result) {
                    return std::string("Retrieving resource succeeded, but this source is ") +
                           "not the one currently expected. Result: " + text(*r.result) +
                           ". Resource: " + text(r.source) + ".";
                }
                if (r.error) {
                    return std::string("Retrieving resource failed, and this resource is ") +
                           "not the one currently expected. Error: " + r.error->description() +
                           ". Resource: " + text(r.source) + ".";
                }
                return std::nullopt;
            },
            [](const E::DataProviderError& r) -> std::optional<std::string> {
                return "Image data provider fails to provide data. Provider: " +
                       (r.provider ? r.provider->description() : "nil") + ", error: " + r.error.description();
            },
            [](const E::AlternativeSourcesExhausted& r) -> std::optional<std::string> {
                std::string list;
                for (const auto& one : r.errors) list += (list.empty() ? "" : ", ") + text(one);
                return "Image setting from alternaive sources failed: [" + list + "]";
            },
        },
        reason);
}

}  // namespace

int PicturaError::errorCode() const {
    switch (kind()) {
    case Kind::requestError: return 1001 + static_cast<int>(std::get<RequestErrorReason>(reason_).index());
    case Kind::responseError: return 2001 + static_cast<int>(std::get<ResponseErrorReason>(reason_).index());
    case Kind::cacheError: return 3001 + static_cast<int>(std::get<CacheErrorReason>(reason_).index());
    case Kind::processorError: return 4001;
    case Kind::imageSettingError: return 5001 + static_cast<int>(std::get<ImageSettingErrorReason>(reason_).index());
    }
    return 0;
}

std::optional<std::string> PicturaError::errorDescription() const {
    switch (kind()) {
    case Kind::requestError: return requestDescription(std::get<RequestErrorReason>(reason_));
    case Kind::responseError: return responseDescription(std::get<ResponseErrorReason>(reason_));
    case Kind::cacheError: return cacheDescription(std::get<CacheErrorReason>(reason_));
    case Kind::processorError: return processorDescription(std::get<ProcessorErrorReason>(reason_));
    case Kind::imageSettingError: return imageSettingDescription(std::get<ImageSettingErrorReason>(reason_));
    }
    return std::nullopt;
}

bool PicturaError::isTaskCancelled() const {
    const auto* reason = requestErrorReason();
    return reason && std::holds_alternative<TaskCancelled>(*reason);
}

bool PicturaError::isInvalidResponseStatusCode() const {
    const auto* reason = responseErrorReason();
    return reason && std::holds_alternative<InvalidHTTPStatusCode>(*reason);
}

bool PicturaError::isInvalidResponseStatusCode(int code) const {
    const auto* reason = responseErrorReason();
    const auto* invalid = reason ? std::get_if<InvalidHTTPStatusCode>(reason) : nullptr;
    return invalid && invalid->response.statusCode == code;
}

bool PicturaError::isNotCurrentTask() const {
    const auto* reason = imageSettingErrorReason();
    return reason && std::holds_alternative<NotCurrentSourceTask>(*reason);
}

bool PicturaError::isConstrainedNetworkError() const {
    const auto* reason = responseErrorReason();
    const auto* sessionError = reason ? std::get_if<URLSessionError>(reason) : nullptr;
    const auto* urlError = sessionError ? sessionError->error.as<net::URLError>() : nullptr;
    return urlError && urlError->networkUnavailableReason == net::URLError::NetworkUnavailableReason::constrained;
}

std::ostream& operator<<(std::ostream& stream, const PicturaError& error) {
    if (auto description = error.errorDescription()) return stream << *description;
    return stream << "PicturaError " << error.errorCode();
}

std::ostream& operator<<(std::ostream& stream, const PropagationError& error) {
    return stream << "PropagationError(source: " << error.source << ", error: " << error.error << ")";
}

}  // namespace pictura
