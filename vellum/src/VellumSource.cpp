#include "vellum/VellumSource.h"

#include "foundation/Assertion.h"
#include "foundation/Format.h"

namespace vellum {

VellumSource::VellumSource(std::shared_ptr<foundation::InputStream> stream) : stream_(std::move(stream)) {}

VellumSource::~VellumSource() = default;

std::shared_ptr<VellumSource> VellumSource::sourceFromRelativePath(std::string_view) const { return nullptr; }

std::shared_ptr<VellumSource> VellumSource::copy() const {
    auto copy = std::make_shared<VellumSource>(nullptr);
    copyBaseFieldsTo(*copy);
    return copy;
}

std::optional<std::string> VellumSource::keyForAppleDictionaries() const {
    foundation::raiseAssertion(
        "Subclasses MUST implement this property/method in their own way and stick to Apple's rules for Keys in "
        "NSDictionary");
}

std::string VellumSource::description() const {
    return foundation::format("[VellumSource: %llu bytes]", approximateLengthInBytesOr0_);
}

}  // namespace vellum
