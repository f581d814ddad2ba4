#include "foundation/FileManager.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "FileSystemCalls.h"

namespace foundation {

namespace fs = std::filesystem;

FileError FileError::fromErrno(int code, std::string_view operation, const fs::path& path) {
    return FileError{code, std::string(operation) + " " + path.string() + ": " +
                               std::error_code(code, std::generic_category()).message()};
}

namespace {

FileError lastError(std::string_view operation, const fs::path& path) {
    return FileError::fromErrno(errno, operation, path);
}

std::optional<fs::path> environmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value || value[0] != '/') return std::nullopt;  // XDG says to ignore relative paths
    return fs::path(value);
}

fs::path homeDirectory() {
    if (auto home = environmentPath("HOME")) return *home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

fs::path userDirectory(const char* override, const char* xdgVariable, const fs::path& xdgDefault) {
    if (auto path = environmentPath(override)) return *path;
    return environmentPath(xdgVariable).value_or(homeDirectory() / xdgDefault) / "sorvane";
}

// The process umask, read without umask(2), which would change it for other threads meanwhile.
mode_t processUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.starts_with("Umask:")) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        return static_cast<mode_t>(022);
    }();
    return mask;
}

FileResult<void> writeAll(int descriptor, const Data& contents, const fs::path& path) {
    const std::uint8_t* bytes = contents.data();
    std::size_t remaining = contents.size();
    while (remaining > 0) {
        ssize_t written = ::write(descriptor, bytes, remaining);
        if (written < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(lastError("write", path));
        }
        bytes += written;
        remaining -= static_cast<std::size_t>(written);
    }
    return {};
}

FileResult<void> renameIntoPlace(const fs::path& from, const fs::path& to, bool withoutOverwriting) {
    if (!withoutOverwriting) {
        if (::rename(from.c_str(), to.c_str()) != 0) return std::unexpected(lastError("rename", to));
        return {};
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL) return std::unexpected(lastError("rename", to));
    // The file system cannot refuse a rename itself; a hard link can, for files.
    if (::link(from.c_str(), to.c_str()) != 0) return std::unexpected(lastError("link", to));
    ::unlink(from.c_str());
    return {};
}

FileResult<void> writeAtomically(const fs::path& path, const Data& contents, bool withoutOverwriting) {
    std::string hiddenName = ".";
    hiddenName += path.filename().string();
    hiddenName += ".XXXXXX";
    std::string name = (path.parent_path() / hiddenName).string();
    int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0) return std::unexpected(lastError("mkstemp", path));
    auto written = writeAll(descriptor, contents, path);
    if (written && ::fchmod(descriptor, 0666 & ~processUmask()) != 0) written = std::unexpected(lastError("fchmod", path));
    if (::close(descriptor) != 0 && written) written = std::unexpected(lastError("close", path));
    if (written) written = renameIntoPlace(name, path, withoutOverwriting);
    if (!written) ::unlink(name.c_str());
    return written;
}

FileError errorFrom(const std::error_code& code, std::string_view operation, const fs::path& path) {
    return FileError::fromErrno(code.value(), operation, path);
}

}  // namespace

FileManager::FileManager(FileManagerConfiguration configuration)
    : cachesDirectory_(configuration.cachesDirectory.value_or(
          userDirectory("SORVANE_CACHES_DIR", "XDG_CACHE_HOME", ".cache"))),
      documentsDirectory_(configuration.documentsDirectory.value_or(
          userDirectory("SORVANE_DOCUMENTS_DIR", "XDG_DATA_HOME", ".local/share"))),
      sidecarExtendedAttributes_(configuration.sidecarExtendedAttributes) {}

std::shared_ptr<FileManager> FileManager::defaultManager() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* manager = new auto(std::make_shared<FileManager>());
    return *manager;
}

fs::path FileManager::temporaryDirectory() const {
    std::error_code error;
    fs::path path = fs::temp_directory_path(error);
    return error ? fs::path("/tmp") : path;
}

bool FileManager::fileExists(const fs::path& path, bool* isDirectory) const {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(status.st_mode);
    return true;
}

FileResult<void> FileManager::createDirectory(const fs::path& path, bool withIntermediateDirectories) const {
    if (!withIntermediateDirectories) {
        if (::mkdir(path.c_str(), 0777) != 0) return std::unexpected(lastError("mkdir", path));
        return {};
    }
    fs::path partial;
    for (const auto& component : path.lexically_normal()) {
        partial /= component;
        if (component.empty() || partial == partial.root_path()) continue;
        if (::mkdir(partial.c_str(), 0777) == 0) continue;
        int code = errno;
        bool isDirectory = false;
        if (code != EEXIST || !fileExists(partial, &isDirectory) || !isDirectory)
            return std::unexpected(FileError::fromErrno(code == EEXIST ? ENOTDIR : code, "mkdir", partial));
    }
    return {};
}

FileResult<void> FileManager::createFile(const fs::path& path, const Data& contents,
                                         const FileAttributeChanges& attributes) const {
    if (auto written = writeAtomically(path, contents, false); !written) return written;
    return setAttributes(attributes, path);
}

FileResult<void> FileManager::write(const fs::path& path, const Data& contents, WriteOptions options) const {
    if (options.atomic) return writeAtomically(path, contents, options.withoutOverwriting);
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (options.withoutOverwriting ? O_EXCL : 0) |
                (options.noFollow ? O_NOFOLLOW : 0);
    int descriptor = ::open(path.c_str(), flags, 0666);
    if (descriptor < 0) return std::unexpected(lastError("open", path));
    auto written = writeAll(descriptor, contents, path);
    if (::close(descriptor) != 0 && written) return std::unexpected(lastError("close", path));
    return written;
}

FileResult<Data> FileManager::readData(const fs::path& path) const {
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::unexpected(lastError("open", path));
    Data data;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && status.st_size > 0) data.bytes().reserve(status.st_size);
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0) {
            if (errno == EINTR) continue;
            FileError error = lastError("read", path);
            ::close(descriptor);
            return std::unexpected(error);
        }
        data.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    return data;
}

std::optional<Data> FileManager::contents(const fs::path& path) const {
    auto data = readData(path);
    return data ? std::optional<Data>(std::move(*data)) : std::nullopt;
}

FileResult<std::vector<std::string>> FileManager::contentsOfDirectory(const fs::path& path) const {
    return detail::listDirectory(path);
}

FileResult<DirectoryEnumerator> FileManager::enumerator(const fs::path& path, EnumerationOptions options) const {
    auto names = detail::listDirectory(path);
    if (!names) return std::unexpected(names.error());
    return DirectoryEnumerator(path, std::move(*names), options, sidecarExtendedAttributes_);
}

FileResult<void> FileManager::removeItem(const fs::path& path) const {
    std::error_code error;
    auto status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) return std::unexpected(FileError::fromErrno(ENOENT, "remove", path));
    fs::remove_all(path, error);
    if (error) return std::unexpected(errorFrom(error, "remove", path));
    detail::ExtendedAttributes::itemRemoved(path);
    return {};
}

FileResult<void> FileManager::moveItem(const fs::path& from, const fs::path& to) const {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        detail::ExtendedAttributes::itemMoved(from, to);
        return {};
    }
    int code = errno;
    if (code == EINVAL) {
        // No rename-without-replace on this file system: check first, accepting the small race.
        std::error_code error;
        if (fs::exists(fs::symlink_status(to, error))) return std::unexpected(FileError::fromErrno(EEXIST, "rename", to));
        if (::rename(from.c_str(), to.c_str()) != 0) return std::unexpected(lastError("rename", to));
    } else if (code == EXDEV) {
        if (auto copied = copyItem(from, to); !copied) return copied;
        detail::ExtendedAttributes::itemMoved(from, to);
        return removeItem(from);
    } else {
        return std::unexpected(FileError::fromErrno(code, "rename", from));
    }
    detail::ExtendedAttributes::itemMoved(from, to);
    return {};
}

FileResult<void> FileManager::copyItem(const fs::path& from, const fs::path& to) const {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(from, error))) return std::unexpected(FileError::fromErrno(ENOENT, "copy", from));
    if (fs::exists(fs::symlink_status(to, error))) return std::unexpected(FileError::fromErrno(EEXIST, "copy", to));
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) return std::unexpected(errorFrom(error, "copy", to));
    return {};
}

FileResult<FileAttributes> FileManager::attributesOfItem(const fs::path& path) const {
    return detail::readAttributes(path, detail::ExtendedAttributes(sidecarExtendedAttributes_));
}

FileResult<void> FileManager::setAttributes(const FileAttributeChanges& changes, const fs::path& path) const {
    return detail::writeDates(changes, path, detail::ExtendedAttributes(sidecarExtendedAttributes_));
}

FileResult<void> FileManager::setExtendedAttribute(const fs::path& path, const std::string& name,
                                                   const Data& value) const {
    return detail::ExtendedAttributes(sidecarExtendedAttributes_).set(path, name, value.span());
}

FileResult<Data> FileManager::extendedAttribute(const fs::path& path, const std::string& name) const {
    return detail::ExtendedAttributes(sidecarExtendedAttributes_).get(path, name);
}

FileResult<void> FileManager::removeExtendedAttribute(const fs::path& path, const std::string& name) const {
    return detail::ExtendedAttributes(sidecarExtendedAttributes_).remove(path, name);
}

FileResult<std::vector<std::string>> FileManager::extendedAttributeNames(const fs::path& path) const {
    auto names = detail::ExtendedAttributes(sidecarExtendedAttributes_).names(path);
    // The manager's own bookkeeping is not the caller's business.
    if (names) std::erase_if(*names, [](const std::string& name) { return name.starts_with("sorvane."); });
    return names;
}

}  // namespace foundation
