#include "vellum/VellumFoundationAdditions.h"

#include <cerrno>
#include <limits>
#include <new>
#include <vector>

#include "VellumLog.h"

namespace vellum {

namespace {
constexpr std::uint64_t largestStep = 65'536;
constexpr std::uint64_t defaultStep = 4'096;
// The size hint is only a hint: reserving a huge one would be refused by the allocator.
constexpr std::uint64_t largestHint = 1 << 20;
}  // namespace

const foundation::CharacterSet& SVGWhitespaceCharacterSet() {
    static const foundation::CharacterSet set(" \t\r\n");
    return set;
}

std::expected<foundation::Data, foundation::FileError> dataWithContentsOfStream(foundation::InputStream* stream,
                                                                             std::uint64_t initialCapacity) {
    if (!stream) return std::unexpected(foundation::FileError{ENOENT, "no stream to read"});
    const bool hinted = initialCapacity != std::numeric_limits<std::uint64_t>::max();
    // A zero step would read nothing and look like an empty stream.
    const std::uint64_t step = initialCapacity == 0 ? defaultStep : std::min(initialCapacity, largestStep);
    try {
        std::vector<std::uint8_t> buffer(step);
        foundation::Data result;
        if (hinted) result.bytes().reserve(std::min(initialCapacity, largestHint));
        for (;;) {
            const std::ptrdiff_t count = stream->read(buffer.data(), buffer.size());
            if (count < 0) {
                const int code = stream->streamError() ? stream->streamError()->code : EIO;
                const std::string message = stream->streamError() ? stream->streamError()->message : "read failed";
                return std::unexpected(foundation::FileError{code, message});
            }
            if (count == 0) return result;
            result.append(buffer.data(), static_cast<std::size_t>(count));
        }
    } catch (const std::bad_alloc&) {
        return std::unexpected(foundation::FileError{ENOMEM, "no memory for the stream's bytes"});
    } catch (const std::exception& exception) {
        vellumLogWarning("[%@] WARNING: caught exception writing to file: %@", "NSData", exception.what());
        return std::unexpected(foundation::FileError{EIO, exception.what()});
    }
}

}  // namespace vellum
