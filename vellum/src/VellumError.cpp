#include "vellum/VellumError.h"

#include "foundation/Format.h"

namespace vellum {

VellumError VellumError::make(std::string domain, std::int64_t code, std::string localizedDescription) {
    VellumError error{std::move(domain), code, {}};
    error.userInfo[localizedDescriptionKey] = std::move(localizedDescription);
    return error;
}

std::string VellumError::localizedDescription() const {
    auto entry = userInfo.find(localizedDescriptionKey);
    if (entry != userInfo.end()) return entry->second;
    return foundation::format("The operation couldn't be completed. (%@ error %ld.)", domain, code);
}

std::string VellumError::description() const {
    return foundation::format("Error Domain=%@ Code=%ld \"%@\"", domain, code, localizedDescription());
}

}  // namespace vellum
