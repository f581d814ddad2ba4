#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Date.h"
#include "foundation/FileAttributes.h"

namespace logging {

// One log file on disk, by path: its attributes (read once, then cached), its age and size, and the
// archived mark, kept in the extended attribute "logbook.log.archived". Used by one queue at a time.
class LBLogFileInfo {
public:
    static constexpr const char* archivedAttributeName = "logbook.log.archived";

    // An empty path gives none.
    static std::shared_ptr<LBLogFileInfo> logFileWithPath(const std::string& filePath);
    explicit LBLogFileInfo(std::string filePath);  // an empty path fails an assertion

    const std::string& filePath() const { return filePath_; }
    // The attributes, or none (and a console line) when the file system cannot give them.
    std::optional<foundation::FileAttributes> fileAttributes();
    const std::string& fileName();
    std::optional<foundation::Date> modificationDate();
    std::optional<foundation::Date> creationDate();
    std::uint64_t fileSize();
    double age();  // seconds since creation
    bool isSymlink();
    std::string description();

    bool isArchived();
    void setIsArchived(bool archived);

    // Forgets the cached name, attributes and dates (the size stays).
    void reset();
    // Moves the file within its folder, replacing whatever has the new name. A move that fails leaves
    // the record on the file it still describes.
    void renameFile(const std::string& newFileName);

    // A value of exactly 0x01 means set; any other value also does, and is rewritten as 0x01.
    bool hasExtendedAttributeWithName(const std::string& name);
    void addExtendedAttributeWithName(const std::string& name);
    void removeExtendedAttributeWithName(const std::string& name);

    bool operator==(const LBLogFileInfo& other) const { return filePath_ == other.filePath_; }
    std::size_t hash() const { return std::hash<std::string>{}(filePath_); }

    // Newest first.
    static bool reverseCompareByCreationDate(LBLogFileInfo& first, LBLogFileInfo& second);
    static bool reverseCompareByModificationDate(LBLogFileInfo& first, LBLogFileInfo& second);

private:
    std::string filePath_;
    std::optional<std::string> fileName_;
    std::optional<foundation::FileAttributes> fileAttributes_;
    std::optional<foundation::Date> creationDate_;
    std::optional<foundation::Date> modificationDate_;
    std::uint64_t fileSize_ = 0;
};

}  // namespace logging
