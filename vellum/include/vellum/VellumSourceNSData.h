#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/Data.h"
#include "foundation/URL.h"
#include "vellum/VellumSource.h"

namespace vellum {

// A document in bytes (what the image's data constructor uses), with the URL its relative links
// resolve against, if any.
class VellumSourceNSData : public VellumSource {
public:
    static std::shared_ptr<VellumSourceNSData> sourceFromData(foundation::Data data,
                                                              std::optional<foundation::URL> URLForRelativeLinks);

    explicit VellumSourceNSData(std::shared_ptr<foundation::InputStream> stream) : VellumSource(std::move(stream)) {}

    // Needs the URL: without one the link cannot be resolved (logged).
    std::shared_ptr<VellumSource> sourceFromRelativePath(std::string_view relativePath) const override;
    std::shared_ptr<VellumSource> copy() const override;
    // The bytes as text; nothing when they are not UTF-8.
    std::optional<std::string> keyForAppleDictionaries() const override;
    std::string description() const override;

    const foundation::Data& rawData() const { return *rawData_; }
    const std::optional<foundation::URL>& effectiveURL() const { return effectiveURL_; }

private:
    static const std::shared_ptr<const foundation::Data>& emptyData();

    // Shared with the stream, which reads them where they lie.
    std::shared_ptr<const foundation::Data> rawData_ = emptyData();
    std::optional<foundation::URL> effectiveURL_;
};

}  // namespace vellum
