#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Data.h"
#include "foundation/FileError.h"

namespace foundation::detail {

inline constexpr std::string_view sidecarFileName = ".sorvane-attributes";

// User-namespace extended attributes of one item, by their name without "user.". Items on a file
// system without them (or every item, when asked) keep theirs in the directory's sidecar file,
// keyed by name and checked against the inode so that a new file under an old name starts bare.
class ExtendedAttributes {
public:
    explicit ExtendedAttributes(bool sidecarOnly) : sidecarOnly_(sidecarOnly) {}

    FileResult<void> set(const std::filesystem::path& path, std::string_view name,
                         std::span<const std::uint8_t> value) const;
    FileResult<Data> get(const std::filesystem::path& path, std::string_view name) const;
    FileResult<void> remove(const std::filesystem::path& path, std::string_view name) const;
    FileResult<std::vector<std::string>> names(const std::filesystem::path& path) const;

    // Sidecar entries follow the item they describe when it is renamed, and go with it.
    static void itemMoved(const std::filesystem::path& from, const std::filesystem::path& to);
    static void itemRemoved(const std::filesystem::path& path);

private:
    bool sidecarOnly_ = false;
};

}  // namespace foundation::detail
