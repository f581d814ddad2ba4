#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "foundation/FileAttributes.h"

namespace foundation {

struct DirectoryEntry {
    std::filesystem::path path;
    std::optional<FileAttributes> attributes;  // read during the walk; absent when they could not be
    std::size_t level = 1;                     // 1 for the enumerated directory's own children
};

struct EnumerationOptions {
    bool skipsHiddenFiles = false;  // names starting with "." and everything under them
    bool skipsSubdirectoryDescendants = false;
};

// A depth-first walk of a directory tree, each directory's entries in name order. Symbolic links
// to directories are listed but not followed; a sub-directory that cannot be read is skipped.
class DirectoryEnumerator {
public:
    std::optional<DirectoryEntry> next();
    // Don't descend into the directory that next() returned last.
    void skipDescendants() { descendInto_.reset(); }
    std::vector<DirectoryEntry> allObjects();

private:
    friend class FileManager;
    DirectoryEnumerator(std::filesystem::path root, std::vector<std::string> rootNames, EnumerationOptions options,
                        bool sidecarAttributes);

    struct Level {
        std::filesystem::path directory;
        std::vector<std::string> names;
        std::size_t nextIndex = 0;
    };

    std::vector<Level> levels_;
    std::optional<std::filesystem::path> descendInto_;
    EnumerationOptions options_;
    bool sidecarAttributes_ = false;
};

}  // namespace foundation
