#pragma once

#include <cstdint>
#include <expected>

#include "foundation/CharacterSet.h"
#include "foundation/Data.h"
#include "foundation/FileError.h"
#include "foundation/InputStream.h"

namespace vellum {

// Blank, tab, carriage return and line feed: SVG's white space.
const foundation::CharacterSet& SVGWhitespaceCharacterSet();

// Reads an opened stream to its end, in steps of `initialCapacity` bytes (at most 65,536; 4,096 when
// 0). `initialCapacity` is also the starting size hint (none when all bits are set). Errors are POSIX
// codes: 2 without a stream, 12 when the buffer cannot be had, the read's errno, 5 when reading threw.
std::expected<foundation::Data, foundation::FileError> dataWithContentsOfStream(foundation::InputStream* stream,
                                                                             std::uint64_t initialCapacity);

}  // namespace vellum
