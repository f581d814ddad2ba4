#include "foundation/DirectoryEnumerator.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

#include "FileSystemCalls.h"

namespace foundation {

namespace fs = std::filesystem;

FileResult<std::vector<std::string>> detail::listDirectory(const fs::path& path) {
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(path.c_str()), ::closedir);
    if (!directory) return std::unexpected(FileError::fromErrno(errno, "opendir", path));
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = ::readdir(directory.get())) {
        std::string_view name = entry->d_name;
        if (name != "." && name != ".." && name != detail::sidecarFileName) names.emplace_back(name);
        errno = 0;
    }
    if (errno != 0) return std::unexpected(FileError::fromErrno(errno, "readdir", path));
    std::sort(names.begin(), names.end());
    return names;
}

DirectoryEnumerator::DirectoryEnumerator(fs::path root, std::vector<std::string> rootNames, EnumerationOptions options,
                                         bool sidecarAttributes)
    : options_(options), sidecarAttributes_(sidecarAttributes) {
    levels_.push_back(Level{std::move(root), std::move(rootNames)});
}

std::optional<DirectoryEntry> DirectoryEnumerator::next() {
    // Descending waits until now so that skipDescendants() can still cancel it.
    if (descendInto_) {
        if (auto names = detail::listDirectory(*descendInto_)) levels_.push_back(Level{*descendInto_, std::move(*names)});
        descendInto_.reset();
    }
    detail::ExtendedAttributes extendedAttributes(sidecarAttributes_);
    while (!levels_.empty()) {
        Level& level = levels_.back();
        if (level.nextIndex == level.names.size()) {
            levels_.pop_back();
            continue;
        }
        const std::string& name = level.names[level.nextIndex++];
        if (options_.skipsHiddenFiles && name.starts_with('.')) continue;
        DirectoryEntry entry{level.directory / name, std::nullopt, levels_.size()};
        if (auto attributes = detail::readAttributes(entry.path, extendedAttributes)) entry.attributes = *attributes;
        if (entry.attributes && entry.attributes->isDirectory() && !options_.skipsSubdirectoryDescendants)
            descendInto_ = entry.path;
        return entry;
    }
    return std::nullopt;
}

std::vector<DirectoryEntry> DirectoryEnumerator::allObjects() {
    std::vector<DirectoryEntry> entries;
    while (auto entry = next()) entries.push_back(std::move(*entry));
    return entries;
}

}  // namespace foundation
