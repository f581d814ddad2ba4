#pragma once

#include <cstdint>
#include <optional>

#include "foundation/Date.h"

namespace foundation {

enum class FileType { regular, directory, symbolicLink, other };

// What the file system says about one item; a symbolic link is described itself, not its target.
struct FileAttributes {
    FileType type = FileType::other;
    std::uint64_t size = 0;
    Date creationDate;
    Date modificationDate;
    std::uint32_t permissions = 0;  // the POSIX mode bits, 07777 at most

    bool isDirectory() const { return type == FileType::directory; }
};

// The dates setAttributes changes; an absent field is left as it is.
struct FileAttributeChanges {
    std::optional<Date> creationDate = std::nullopt;
    std::optional<Date> modificationDate = std::nullopt;
};

}  // namespace foundation
