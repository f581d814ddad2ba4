#include "logging/LBLogFileInfo.h"

#include <cstring>

#include "foundation/Assertion.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"

namespace logging {
namespace {

namespace fs = std::filesystem;

const std::uint8_t archivedValue = 0x01;

foundation::FileManager& files() { return *foundation::FileManager::defaultManager(); }

std::string dateText(std::optional<foundation::Date> date) {
    return date ? foundation::describe(date->timeIntervalSince1970()) : std::string();
}

}  // namespace

std::shared_ptr<LBLogFileInfo> LBLogFileInfo::logFileWithPath(const std::string& filePath) {
    if (filePath.empty()) return nullptr;
    return std::make_shared<LBLogFileInfo>(filePath);
}

LBLogFileInfo::LBLogFileInfo(std::string filePath) : filePath_(std::move(filePath)) {
    foundation::assertion(!filePath_.empty(), "Invalid parameter not satisfying: aFilePath");
}

std::optional<foundation::FileAttributes> LBLogFileInfo::fileAttributes() {
    if (fileAttributes_) return fileAttributes_;
    auto attributes = files().attributesOfItem(filePath_);
    if (!attributes) {
        foundation::printLine(foundation::format("LBLogFileInfo: Failed to read file attributes: %@",
                                                 attributes.error().message));
        return std::nullopt;
    }
    fileAttributes_ = *attributes;
    return fileAttributes_;
}

const std::string& LBLogFileInfo::fileName() {
    if (!fileName_) fileName_ = fs::path(filePath_).filename().string();
    return *fileName_;
}

std::optional<foundation::Date> LBLogFileInfo::modificationDate() {
    if (!modificationDate_) {
        if (auto attributes = fileAttributes()) modificationDate_ = attributes->modificationDate;
    }
    return modificationDate_;
}

std::optional<foundation::Date> LBLogFileInfo::creationDate() {
    if (!creationDate_) {
        if (auto attributes = fileAttributes()) creationDate_ = attributes->creationDate;
    }
    return creationDate_;
}

std::uint64_t LBLogFileInfo::fileSize() {
    if (fileSize_ == 0) {
        if (auto attributes = fileAttributes()) fileSize_ = attributes->size;
    }
    return fileSize_;
}

double LBLogFileInfo::age() {
    auto created = creationDate();
    return created ? -created->timeIntervalSinceNow() : 0;
}

bool LBLogFileInfo::isSymlink() {
    auto attributes = fileAttributes();
    return attributes && attributes->type == foundation::FileType::symbolicLink;
}

std::string LBLogFileInfo::description() {
    return foundation::format(
        "{\n    age = %@;\n    creationDate = %@;\n    fileAttributes = %@;\n    fileName = %@;\n    fileSize = %@;\n"
        "    filePath = %@;\n    isArchived = %@;\n    modificationDate = %@;\n}",
        foundation::describe(age()), dateText(creationDate()), fileAttributes() ? "{...}" : "", fileName(), fileSize(),
        filePath_, isArchived() ? 1 : 0, dateText(modificationDate()));
}

bool LBLogFileInfo::isArchived() { return hasExtendedAttributeWithName(archivedAttributeName); }

void LBLogFileInfo::setIsArchived(bool archived) {
    if (archived) {
        addExtendedAttributeWithName(archivedAttributeName);
    } else {
        removeExtendedAttributeWithName(archivedAttributeName);
    }
}

void LBLogFileInfo::reset() {
    fileName_.reset();
    fileAttributes_.reset();
    creationDate_.reset();
    modificationDate_.reset();
}

void LBLogFileInfo::renameFile(const std::string& newFileName) {
    if (newFileName == fileName()) return;
    fs::path newPath = fs::path(filePath_).parent_path() / newFileName;
    if (auto removed = files().removeItem(newPath); !removed && !removed.error().isNoSuchFile()) {
        foundation::printLine(foundation::format("LBLogFileInfo: Error deleting archive (%@): %@", newFileName,
                                                 removed.error().message));
    }
    if (auto moved = files().moveItem(filePath_, newPath); !moved) {
        foundation::printLine(
            foundation::format("LBLogFileInfo: Error renaming file (%@): %@", fileName(), moved.error().message));
        // Still where it was: the record keeps describing it.
        reset();
        return;
    }
    filePath_ = newPath.string();
    reset();
}

bool LBLogFileInfo::hasExtendedAttributeWithName(const std::string& name) {
    auto value = files().extendedAttribute(filePath_, name);
    if (!value) return false;
    if (value->size() == 1 && (*value)[0] == archivedValue) return true;
    addExtendedAttributeWithName(name);
    return true;
}

void LBLogFileInfo::addExtendedAttributeWithName(const std::string& name) {
    auto set = files().setExtendedAttribute(filePath_, name, foundation::Data(&archivedValue, 1));
    if (!set && !set.error().isNoSuchFile()) {
        foundation::printLine(foundation::format("LBLogFileInfo: setxattr(%@, %@): error = %s", name, filePath_,
                                                 std::strerror(set.error().code)));
    }
}

void LBLogFileInfo::removeExtendedAttributeWithName(const std::string& name) {
    auto removed = files().removeExtendedAttribute(filePath_, name);
    if (!removed && !removed.error().isAttributeNotFound()) {
        foundation::printLine(foundation::format("LBLogFileInfo: removexattr(%@, %@): error = %s", name, fileName(),
                                                 std::strerror(removed.error().code)));
    }
}

bool LBLogFileInfo::reverseCompareByCreationDate(LBLogFileInfo& first, LBLogFileInfo& second) {
    return second.creationDate() < first.creationDate();
}

bool LBLogFileInfo::reverseCompareByModificationDate(LBLogFileInfo& first, LBLogFileInfo& second) {
    return second.modificationDate() < first.modificationDate();
}

}  // namespace logging
