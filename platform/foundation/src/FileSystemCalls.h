#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ExtendedAttributes.h"
#include "foundation/FileAttributes.h"
#include "foundation/FileError.h"

namespace foundation::detail {

// Shared by the file manager and the directory enumerator.
FileResult<FileAttributes> readAttributes(const std::filesystem::path& path, const ExtendedAttributes& attributes);
FileResult<void> writeDates(const FileAttributeChanges& changes, const std::filesystem::path& path,
                            const ExtendedAttributes& attributes);
// Entry names in name order, without the sidecar.
FileResult<std::vector<std::string>> listDirectory(const std::filesystem::path& path);

}  // namespace foundation::detail
