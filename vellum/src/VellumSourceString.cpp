#include "vellum/VellumSourceString.h"

#include "foundation/Format.h"

namespace vellum {

std::shared_ptr<VellumSourceString> VellumSourceString::sourceFromContentsOfString(std::string text) {
    auto source = std::make_shared<VellumSourceString>(foundation::InputStream::withData(foundation::Data::fromString(text)));
    source->setApproximateLengthInBytesOr0(text.size());
    source->rawString_ = std::move(text);
    return source;
}

std::shared_ptr<VellumSource> VellumSourceString::copy() const {
    auto copy = sourceFromContentsOfString(rawString_);
    copyBaseFieldsTo(*copy);
    return copy;
}

std::string VellumSourceString::description() const {
    return foundation::format("[VellumSource: string of %lu bytes]", rawString_.size());
}

}  // namespace vellum
