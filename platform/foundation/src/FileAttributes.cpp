#include <fcntl.h>
#include <sys/stat.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

#include "FileSystemCalls.h"

namespace foundation::detail {

namespace fs = std::filesystem;

namespace {

// Dates the file system cannot hold, as text:
//   "creation <unix seconds>" and "modification <unix seconds> <stored seconds> <stored nanoseconds>".
// The stored mtime is what the file system kept instead; once the file's mtime changes the override
// no longer applies.
constexpr std::string_view datesAttribute = "sorvane.dates";

struct StoredTime {
    long long seconds = 0;
    unsigned nanoseconds = 0;
    friend bool operator==(const StoredTime&, const StoredTime&) = default;
};

struct DateOverrides {
    std::optional<double> creation;
    std::optional<double> modification;
    StoredTime modificationStoredAs;
};

std::string format(double value) {
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::optional<double> parseNumber(const std::string& text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

DateOverrides parseOverrides(std::string_view text) {
    DateOverrides overrides;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key, value;
        fields >> key >> value;
        if (key == "creation") {
            overrides.creation = parseNumber(value);
        } else if (key == "modification") {
            StoredTime stored;
            if (fields >> stored.seconds >> stored.nanoseconds) {
                overrides.modification = parseNumber(value);
                overrides.modificationStoredAs = stored;
            }
        }
    }
    return overrides;
}

std::string formatOverrides(const DateOverrides& overrides) {
    std::string text;
    if (overrides.creation) text += "creation " + format(*overrides.creation) + '\n';
    if (overrides.modification)
        text += "modification " + format(*overrides.modification) + ' ' +
                std::to_string(overrides.modificationStoredAs.seconds) + ' ' +
                std::to_string(overrides.modificationStoredAs.nanoseconds) + '\n';
    return text;
}

double unixSeconds(const statx_timestamp& time) { return double(time.tv_sec) + time.tv_nsec / 1e9; }

// Dates past what time_t holds (about 2.9e11 years either way) saturate; a cast of them is undefined.
timespec timespecFor(Date date) {
    double unix = date.timeIntervalSince1970();
    if (unix >= 0x1p63) return {std::numeric_limits<time_t>::max(), 999'999'999};
    if (unix < -0x1p63) return {std::numeric_limits<time_t>::min(), 0};
    double seconds = std::floor(unix);
    long nanoseconds = std::lround((unix - seconds) * 1e9);
    if (nanoseconds >= 1'000'000'000) {
        seconds += 1;
        nanoseconds -= 1'000'000'000;
    }
    return {static_cast<time_t>(seconds), nanoseconds};
}

FileResult<struct statx> statItem(const fs::path& path) {
    struct statx status {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &status) != 0)
        return std::unexpected(FileError::fromErrno(errno, "statx", path));
    return status;
}

FileType typeOf(std::uint32_t mode) {
    if (S_ISREG(mode)) return FileType::regular;
    if (S_ISDIR(mode)) return FileType::directory;
    if (S_ISLNK(mode)) return FileType::symbolicLink;
    return FileType::other;
}

DateOverrides readOverrides(const fs::path& path, const ExtendedAttributes& attributes) {
    auto stored = attributes.get(path, datesAttribute);
    return stored ? parseOverrides(stored->view()) : DateOverrides{};
}

}  // namespace

FileResult<FileAttributes> readAttributes(const fs::path& path, const ExtendedAttributes& attributes) {
    auto status = statItem(path);
    if (!status) return std::unexpected(status.error());
    FileAttributes result;
    result.type = typeOf(status->stx_mode);
    result.size = status->stx_size;
    result.permissions = status->stx_mode & 07777;
    result.modificationDate = Date::fromUnix(unixSeconds(status->stx_mtime));
    // Without a birth time the last status change is the nearest thing the file system keeps.
    bool hasBirthTime = status->stx_mask & STATX_BTIME;
    result.creationDate = Date::fromUnix(unixSeconds(hasBirthTime ? status->stx_btime : status->stx_ctime));
    // Attributes of a link would be read from its target.
    if (result.type == FileType::symbolicLink) return result;
    DateOverrides overrides = readOverrides(path, attributes);
    if (overrides.creation) result.creationDate = Date::fromUnix(*overrides.creation);
    StoredTime mtime{status->stx_mtime.tv_sec, status->stx_mtime.tv_nsec};
    if (overrides.modification && overrides.modificationStoredAs == mtime)
        result.modificationDate = Date::fromUnix(*overrides.modification);
    return result;
}

FileResult<void> writeDates(const FileAttributeChanges& changes, const fs::path& path,
                            const ExtendedAttributes& attributes) {
    if (!changes.creationDate && !changes.modificationDate) return {};
    // Not a number names no time: refused as the system refuses an impossible time.
    if (changes.modificationDate && std::isnan(changes.modificationDate->timeIntervalSince1970()))
        return std::unexpected(FileError::fromErrno(EINVAL, "utimensat", path));
    std::optional<StoredTime> kept;
    if (changes.modificationDate) {
        timespec times[2] = {{0, UTIME_OMIT}, timespecFor(*changes.modificationDate)};
        // A link's own date, as readAttributes reads it: never its target's.
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
            return std::unexpected(FileError::fromErrno(errno, "utimensat", path));
        auto status = statItem(path);
        if (!status) return std::unexpected(status.error());
        // File systems clamp dates outside their range (ext4 ends in 2446) without telling.
        double wanted = changes.modificationDate->timeIntervalSince1970();
        if (std::abs(unixSeconds(status->stx_mtime) - wanted) > 1e-3)
            kept = StoredTime{status->stx_mtime.tv_sec, status->stx_mtime.tv_nsec};
    }
    auto existing = attributes.get(path, datesAttribute);
    if (!existing && !existing.error().isAttributeNotFound()) return std::unexpected(existing.error());
    DateOverrides overrides = existing ? parseOverrides(existing->view()) : DateOverrides{};
    if (changes.creationDate) overrides.creation = changes.creationDate->timeIntervalSince1970();
    if (changes.modificationDate) {
        overrides.modification.reset();
        if (kept) {
            overrides.modification = changes.modificationDate->timeIntervalSince1970();
            overrides.modificationStoredAs = *kept;
        }
    }
    std::string text = formatOverrides(overrides);
    if (existing ? existing->view() == text : text.empty()) return {};
    if (text.empty()) return attributes.remove(path, datesAttribute);
    return attributes.set(path, datesAttribute, Data::fromString(text).span());
}

}  // namespace foundation::detail
