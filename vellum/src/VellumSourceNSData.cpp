#include "vellum/VellumSourceNSData.h"

#include "VellumLog.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "vellum/VellumSourceURL.h"

namespace vellum {

std::shared_ptr<VellumSourceNSData> VellumSourceNSData::sourceFromData(foundation::Data data,
                                                                       std::optional<foundation::URL> URLForRelativeLinks) {
    auto bytes = std::make_shared<const foundation::Data>(std::move(data));
    auto source = std::make_shared<VellumSourceNSData>(foundation::InputStream::withSharedData(bytes));
    source->rawData_ = std::move(bytes);
    source->effectiveURL_ = std::move(URLForRelativeLinks);
    return source;
}

const std::shared_ptr<const foundation::Data>& VellumSourceNSData::emptyData() {
    static const auto& empty = *new std::shared_ptr<const foundation::Data>(std::make_shared<const foundation::Data>());
    return empty;
}

std::shared_ptr<VellumSource> VellumSourceNSData::sourceFromRelativePath(std::string_view relativePath) const {
    if (!effectiveURL_) {
        vellumLogError(
            "Cannot construct a relative link for this VellumSource; it was created from anonymous NSData with no "
            "source URL provided. Source = %@",
            description());
        return nullptr;
    }
    auto resolved = foundation::URL::fromString(relativePath, *effectiveURL_);
    if (!resolved) return nullptr;
    return VellumSourceURL::sourceFromURL(resolved->absoluteURL());
}

std::shared_ptr<VellumSource> VellumSourceNSData::copy() const {
    // The bytes never change, so the copy reads the same ones.
    auto copy = std::make_shared<VellumSourceNSData>(foundation::InputStream::withSharedData(rawData_));
    copy->rawData_ = rawData_;
    copy->effectiveURL_ = effectiveURL_;
    copyBaseFieldsTo(*copy);
    return copy;
}

std::optional<std::string> VellumSourceNSData::keyForAppleDictionaries() const {
    if (!foundation::isValidUTF8(rawData_->view())) return std::nullopt;
    return rawData_->toString();
}

std::string VellumSourceNSData::description() const {
    return foundation::format("[VellumSource: %lu bytes of data, URL for relative links = %@]", rawData_->size(),
                              effectiveURL_ ? effectiveURL_->absoluteString() : std::string("(null)"));
}

}  // namespace vellum
