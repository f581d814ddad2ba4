#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Data.h"
#include "foundation/DirectoryEnumerator.h"
#include "foundation/FileAttributes.h"
#include "foundation/FileError.h"

namespace foundation {

struct FileManagerConfiguration {
    // Absent: SORVANE_CACHES_DIR, else $XDG_CACHE_HOME/sorvane, else ~/.cache/sorvane.
    std::optional<std::filesystem::path> cachesDirectory = std::nullopt;
    // Absent: SORVANE_DOCUMENTS_DIR, else $XDG_DATA_HOME/sorvane, else ~/.local/share/sorvane.
    std::optional<std::filesystem::path> documentsDirectory = std::nullopt;
    // Keep extended attributes in a hidden file per directory even where the file system has them.
    bool sidecarExtendedAttributes = false;
};

struct WriteOptions {
    bool atomic = false;              // write a temporary file, then rename it into place
    bool withoutOverwriting = false;  // fail with EEXIST when the file exists
    bool noFollow = false;            // fail with ELOOP rather than write through a symbolic link
};

// File-system operations on paths. Dates that the file system cannot hold (a creation date, a
// modification date beyond its range) are kept in the extended attribute "sorvane.dates" and read
// back in preference, so what setAttributes sets is what attributesOfItem answers.
class FileManager {
public:
    explicit FileManager(FileManagerConfiguration configuration = {});

    static std::shared_ptr<FileManager> defaultManager();

    const std::filesystem::path& cachesDirectory() const { return cachesDirectory_; }
    const std::filesystem::path& documentsDirectory() const { return documentsDirectory_; }
    std::filesystem::path temporaryDirectory() const;

    // Follows symbolic links, so a link to a missing file does not exist.
    bool fileExists(const std::filesystem::path& path, bool* isDirectory = nullptr) const;

    FileResult<void> createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) const;
    // Writes the file atomically (replacing any), then applies the dates given.
    FileResult<void> createFile(const std::filesystem::path& path, const Data& contents,
                                const FileAttributeChanges& attributes = {}) const;
    FileResult<void> write(const std::filesystem::path& path, const Data& contents, WriteOptions options = {}) const;
    FileResult<Data> readData(const std::filesystem::path& path) const;
    std::optional<Data> contents(const std::filesystem::path& path) const;

    // Names of the entries, hidden ones included, in name order.
    FileResult<std::vector<std::string>> contentsOfDirectory(const std::filesystem::path& path) const;
    FileResult<DirectoryEnumerator> enumerator(const std::filesystem::path& path, EnumerationOptions options = {}) const;

    // Removes a file, a link or a whole directory tree.
    FileResult<void> removeItem(const std::filesystem::path& path) const;
    // Both fail with EEXIST when something is already at the destination.
    FileResult<void> moveItem(const std::filesystem::path& from, const std::filesystem::path& to) const;
    FileResult<void> copyItem(const std::filesystem::path& from, const std::filesystem::path& to) const;

    FileResult<FileAttributes> attributesOfItem(const std::filesystem::path& path) const;
    FileResult<void> setAttributes(const FileAttributeChanges& changes, const std::filesystem::path& path) const;

    // Extended attributes in the user namespace: "archived" is stored as "user.archived". Where the
    // file system has none they live in a hidden ".sorvane-attributes" file beside the item. Like the
    // dates, they belong to the item itself: a symbolic link's are never its target's.
    FileResult<void> setExtendedAttribute(const std::filesystem::path& path, const std::string& name,
                                          const Data& value) const;
    FileResult<Data> extendedAttribute(const std::filesystem::path& path, const std::string& name) const;
    FileResult<void> removeExtendedAttribute(const std::filesystem::path& path, const std::string& name) const;
    FileResult<std::vector<std::string>> extendedAttributeNames(const std::filesystem::path& path) const;

private:
    std::filesystem::path cachesDirectory_;
    std::filesystem::path documentsDirectory_;
    bool sidecarExtendedAttributes_ = false;
};

}  // namespace foundation
