#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vellum/VellumSource.h"

namespace vellum {

// A document held as text (UTF-8). The text is kept, so the source has a key and copies.
class VellumSourceString : public VellumSource {
public:
    static std::shared_ptr<VellumSourceString> sourceFromContentsOfString(std::string text);

    explicit VellumSourceString(std::shared_ptr<foundation::InputStream> stream) : VellumSource(std::move(stream)) {}

    std::shared_ptr<VellumSource> copy() const override;
    std::optional<std::string> keyForAppleDictionaries() const override { return rawString_; }
    std::string description() const override;

    const std::string& rawString() const { return rawString_; }

private:
    std::string rawString_;
};

}  // namespace vellum
