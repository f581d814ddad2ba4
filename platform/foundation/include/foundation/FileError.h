#pragma once

#include <cerrno>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace foundation {

// A failed file-system call: the errno it gave and a message naming the call and the path.
struct FileError {
    int code = 0;
    std::string message;

    static FileError fromErrno(int code, std::string_view operation, const std::filesystem::path& path);

    bool isNoSuchFile() const { return code == ENOENT; }
    bool isFileExists() const { return code == EEXIST; }
    bool isAttributeNotFound() const { return code == ENODATA; }
};

template <typename T>
using FileResult = std::expected<T, FileError>;

}  // namespace foundation
