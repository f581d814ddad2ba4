#include "ExtendedAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

namespace foundation::detail {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view userPrefix = "user.";

bool unsupported(int code) { return code == ENOTSUP || code == EOPNOTSUPP; }

std::string userName(std::string_view name) { return std::string(userPrefix) + std::string(name); }

FileError error(std::string_view operation, const fs::path& path) { return FileError::fromErrno(errno, operation, path); }

// The sidecar: one line per attribute, "<item name> <inode> <attribute name> <value>", each text in hex
// ("-" when empty) so that names and values may hold any byte.
struct SidecarItem {
    ino_t inode = 0;
    std::map<std::string, std::string> values;
};
using Sidecar = std::map<std::string, SidecarItem>;

std::mutex sidecarMutex;

std::string toHex(std::string_view bytes) {
    if (bytes.empty()) return "-";
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::optional<std::string> fromHex(std::string_view text) {
    if (text == "-") return std::string();
    if (text.size() % 2) return std::nullopt;
    auto nibble = [](char digit) -> int {
        if (digit >= '0' && digit <= '9') return digit - '0';
        if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
        return -1;
    };
    std::string bytes;
    for (std::size_t index = 0; index < text.size(); index += 2) {
        int high = nibble(text[index]), low = nibble(text[index + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

struct Location {
    fs::path directory;
    std::string name;
    fs::path sidecar() const { return directory / sidecarFileName; }
};

Location locate(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path()) normal = normal.parent_path();
    fs::path directory = normal.parent_path();
    return {directory.empty() ? fs::path(".") : directory, normal.filename().string()};
}

// A damaged line is dropped: losing one attribute beats refusing all of them.
Sidecar loadSidecar(const Location& location) {
    Sidecar sidecar;
    std::ifstream file(location.sidecar());
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string item, attribute, value;
        unsigned long long inode = 0;
        if (!(fields >> item >> inode >> attribute >> value)) continue;
        auto itemName = fromHex(item), attributeName = fromHex(attribute), bytes = fromHex(value);
        if (!itemName || !attributeName || !bytes) continue;
        auto& entry = sidecar[*itemName];
        entry.inode = static_cast<ino_t>(inode);
        entry.values[*attributeName] = *bytes;
    }
    return sidecar;
}

FileResult<void> saveSidecar(const Location& location, const Sidecar& sidecar) {
    fs::path target = location.sidecar();
    std::string text;
    for (const auto& [item, entry] : sidecar)
        for (const auto& [attribute, value] : entry.values)
            text += toHex(item) + ' ' + std::to_string(entry.inode) + ' ' + toHex(attribute) + ' ' + toHex(value) + '\n';
    if (text.empty()) {
        if (::unlink(target.c_str()) != 0 && errno != ENOENT) return std::unexpected(error("unlink", target));
        return {};
    }
    fs::path temporary = target;
    temporary += ".new";
    int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) return std::unexpected(error("open", temporary));
    bool written = ::write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int writeError = errno;
    ::close(descriptor);
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        FileError failure = FileError::fromErrno(written ? errno : writeError, "write", target);
        ::unlink(temporary.c_str());
        return std::unexpected(failure);
    }
    return {};
}

FileResult<ino_t> inodeOf(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return std::unexpected(error("stat", path));
    return status.st_ino;
}

// The item's own attributes, or null when it has none in the sidecar.
std::map<std::string, std::string>* sidecarValues(Sidecar& sidecar, const Location& location, ino_t inode) {
    auto found = sidecar.find(location.name);
    if (found == sidecar.end() || found->second.inode != inode) return nullptr;
    return &found->second.values;
}

// Runs operation on the sidecar that holds the item's attributes, under the lock. The item must exist.
template <typename Operation>
auto withSidecar(const fs::path& path, Operation operation)
    -> decltype(operation(std::declval<Sidecar&>(), std::declval<const Location&>(), ino_t{})) {
    auto inode = inodeOf(path);
    if (!inode) return std::unexpected(inode.error());
    Location location = locate(path);
    std::lock_guard lock(sidecarMutex);
    Sidecar sidecar = loadSidecar(location);
    return operation(sidecar, location, *inode);
}

FileResult<void> sidecarSet(const fs::path& path, std::string_view name, std::span<const std::uint8_t> value) {
    return withSidecar(path, [&](Sidecar& sidecar, const Location& location, ino_t inode) {
        auto& entry = sidecar[location.name];
        if (entry.inode != inode) entry = SidecarItem{inode, {}};
        entry.values[std::string(name)] = std::string(value.begin(), value.end());
        return saveSidecar(location, sidecar);
    });
}

FileResult<Data> sidecarGet(const fs::path& path, std::string_view name) {
    return withSidecar(path, [&](Sidecar& sidecar, const Location& location, ino_t inode) -> FileResult<Data> {
        if (auto* values = sidecarValues(sidecar, location, inode)) {
            auto found = values->find(std::string(name));
            if (found != values->end()) return Data(found->second.data(), found->second.size());
        }
        return std::unexpected(FileError::fromErrno(ENODATA, "getxattr", path));
    });
}

FileResult<void> sidecarRemove(const fs::path& path, std::string_view name) {
    return withSidecar(path, [&](Sidecar& sidecar, const Location& location, ino_t inode) -> FileResult<void> {
        auto* values = sidecarValues(sidecar, location, inode);
        if (!values || values->erase(std::string(name)) == 0)
            return std::unexpected(FileError::fromErrno(ENODATA, "removexattr", path));
        return saveSidecar(location, sidecar);
    });
}

FileResult<std::vector<std::string>> sidecarNames(const fs::path& path) {
    return withSidecar(path, [&](Sidecar& sidecar, const Location& location, ino_t inode) {
        std::vector<std::string> names;
        if (auto* values = sidecarValues(sidecar, location, inode))
            for (const auto& [name, value] : *values) names.push_back(name);
        return FileResult<std::vector<std::string>>(std::move(names));
    });
}

}  // namespace

FileResult<void> ExtendedAttributes::set(const fs::path& path, std::string_view name,
                                         std::span<const std::uint8_t> value) const {
    if (!sidecarOnly_) {
        if (::lsetxattr(path.c_str(), userName(name).c_str(), value.data(), value.size(), 0) == 0) return {};
        if (!unsupported(errno)) return std::unexpected(error("setxattr", path));
    }
    return sidecarSet(path, name, value);
}

FileResult<Data> ExtendedAttributes::get(const fs::path& path, std::string_view name) const {
    if (!sidecarOnly_) {
        std::string attribute = userName(name);
        // The value may grow between asking its size and reading it, hence the loop.
        for (;;) {
            ssize_t size = ::lgetxattr(path.c_str(), attribute.c_str(), nullptr, 0);
            if (size < 0) break;
            Data value(std::vector<std::uint8_t>(static_cast<std::size_t>(size)));
            ssize_t read = ::lgetxattr(path.c_str(), attribute.c_str(), value.data(), value.size());
            if (read >= 0) {
                value.bytes().resize(static_cast<std::size_t>(read));
                return value;
            }
            if (errno != ERANGE) break;
        }
        if (!unsupported(errno)) return std::unexpected(error("getxattr", path));
    }
    return sidecarGet(path, name);
}

FileResult<void> ExtendedAttributes::remove(const fs::path& path, std::string_view name) const {
    if (!sidecarOnly_) {
        if (::lremovexattr(path.c_str(), userName(name).c_str()) == 0) return {};
        if (!unsupported(errno)) return std::unexpected(error("removexattr", path));
    }
    return sidecarRemove(path, name);
}

FileResult<std::vector<std::string>> ExtendedAttributes::names(const fs::path& path) const {
    if (!sidecarOnly_) {
        for (;;) {
            ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
            if (size < 0) break;
            std::string list(static_cast<std::size_t>(size), '\0');
            ssize_t read = ::llistxattr(path.c_str(), list.data(), list.size());
            if (read < 0) {
                if (errno == ERANGE) continue;
                break;
            }
            list.resize(static_cast<std::size_t>(read));
            std::vector<std::string> names;
            for (std::size_t start = 0; start < list.size();) {
                std::size_t end = list.find('\0', start);
                if (end == std::string::npos) end = list.size();
                std::string_view each(list.data() + start, end - start);
                if (each.starts_with(userPrefix)) names.emplace_back(each.substr(userPrefix.size()));
                start = end + 1;
            }
            return names;
        }
        if (!unsupported(errno)) return std::unexpected(error("listxattr", path));
    }
    return sidecarNames(path);
}

void ExtendedAttributes::itemMoved(const fs::path& from, const fs::path& to) {
    Location source = locate(from), destination = locate(to);
    std::lock_guard lock(sidecarMutex);
    if (::access(source.sidecar().c_str(), F_OK) != 0) return;
    Sidecar sidecar = loadSidecar(source);
    auto found = sidecar.find(source.name);
    if (found == sidecar.end()) return;
    SidecarItem item = std::move(found->second);
    sidecar.erase(found);
    // A move across file systems is a copy, which gives the item a new inode.
    if (auto inode = inodeOf(to)) item.inode = *inode;
    if (source.directory == destination.directory) {
        sidecar[destination.name] = std::move(item);
        (void)saveSidecar(source, sidecar);
        return;
    }
    (void)saveSidecar(source, sidecar);
    Sidecar target = loadSidecar(destination);
    target[destination.name] = std::move(item);
    (void)saveSidecar(destination, target);
}

void ExtendedAttributes::itemRemoved(const fs::path& path) {
    Location location = locate(path);
    std::lock_guard lock(sidecarMutex);
    if (::access(location.sidecar().c_str(), F_OK) != 0) return;
    Sidecar sidecar = loadSidecar(location);
    if (sidecar.erase(location.name)) (void)saveSidecar(location, sidecar);
}

}  // namespace foundation::detail
