#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/InputStream.h"

namespace vellum {

// Where the bytes of one SVG document come from: a stream the parser opens, reads and closes (so a
// source parses once; parse a copy() again), a length hint for progress, the SVG version the parser
// found, and a key for caches. The kinds: a local file, bytes, a string, a URL.
class VellumSource {
public:
    explicit VellumSource(std::shared_ptr<foundation::InputStream> stream);
    virtual ~VellumSource();

    // A source for a link written relative to this one; none by default.
    virtual std::shared_ptr<VellumSource> sourceFromRelativePath(std::string_view relativePath) const;
    // A new source of the same kind over the same content, with a fresh unopened stream.
    virtual std::shared_ptr<VellumSource> copy() const;
    // The key for caches. Every kind answers its own; the base class fails the assertion handler.
    virtual std::optional<std::string> keyForAppleDictionaries() const;
    virtual std::string description() const;

    const std::string& svgLanguageVersion() const { return svgLanguageVersion_; }
    void setSvgLanguageVersion(std::string version) { svgLanguageVersion_ = std::move(version); }
    const std::shared_ptr<foundation::InputStream>& stream() const { return stream_; }
    void setStream(std::shared_ptr<foundation::InputStream> stream) { stream_ = std::move(stream); }
    // 0 when unknown.
    std::uint64_t approximateLengthInBytesOr0() const { return approximateLengthInBytesOr0_; }
    void setApproximateLengthInBytesOr0(std::uint64_t length) { approximateLengthInBytesOr0_ = length; }

protected:
    // The kinds' copies start here, then add their own fields and stream.
    void copyBaseFieldsTo(VellumSource& copy) const { copy.approximateLengthInBytesOr0_ = approximateLengthInBytesOr0_; }

private:
    std::string svgLanguageVersion_;
    std::shared_ptr<foundation::InputStream> stream_;
    std::uint64_t approximateLengthInBytesOr0_ = 0;
};

}  // namespace vellum
