#pragma once

#include <optional>
#include <string>

#include "pictura/PicturaWrapper.h"

namespace pictura {

template <>
inline constexpr bool isPicturaCompatibleValue<std::string> = true;

// Texts of cache keys: `pc(key).md5` names the key's disk file.
template <>
struct PicturaWrapper<std::string> : PicturaWrapperBase<std::string> {
    using PicturaWrapperBase::PicturaWrapperBase;

    // The MD5 digest of the text's UTF-8 bytes as 32 lowercase hexadecimal digits.
    std::string md5() const;
    // What follows the last ".", cut at its first non-empty piece between "@"s; nothing when that is empty.
    std::optional<std::string> fileExtension() const;
};

}  // namespace pictura
