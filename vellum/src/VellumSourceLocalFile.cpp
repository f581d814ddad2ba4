#include "vellum/VellumSourceLocalFile.h"

#include <limits>

#include "VellumLog.h"
#include "foundation/Assertion.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"

namespace vellum {

namespace fs = std::filesystem;

std::uint64_t VellumSourceLocalFile::sizeInBytesOfFilePath(const fs::path& path) {
    auto attributes = foundation::FileManager::defaultManager()->attributesOfItem(path);
    return attributes ? attributes->size : std::numeric_limits<std::uint64_t>::max();
}

std::shared_ptr<VellumSourceLocalFile> VellumSourceLocalFile::sourceFromFilename(const fs::path& path) {
    auto source = std::make_shared<VellumSourceLocalFile>(foundation::InputStream::withFileAtPath(path));
    source->setFilePath(path.string());
    source->setApproximateLengthInBytesOr0(sizeInBytesOfFilePath(path));
    return source;
}

std::shared_ptr<VellumSourceLocalFile> VellumSourceLocalFile::internalSourceAnywhereInBundle(
    const std::optional<fs::path>& bundleResources, std::string_view name) {
    return internalSourceAnywhereInBundle(bundleResources, name, *foundation::FileManager::defaultManager());
}

std::shared_ptr<VellumSourceLocalFile> VellumSourceLocalFile::internalSourceAnywhereInBundle(
    const std::optional<fs::path>& bundleResources, std::string_view name, const foundation::FileManager& files) {
    foundation::assertion(!name.empty(), foundation::format("Invalid parameter not satisfying: %@", "name != nil"));
    const fs::path path(name);
    // The name less its extension, folders included ("flags/gb" names a file in the folder flags).
    const std::string baseName = (path.parent_path() / path.stem()).string();
    std::string extension = path.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    if (extension.empty()) extension = "svg";
    const std::string fileName = baseName + "." + extension;

    std::optional<fs::path> inBundle;
    if (bundleResources) inBundle = *bundleResources / fileName;
    const fs::path inDocuments = files.documentsDirectory() / fileName;
    if (files.fileExists(inDocuments)) return sourceFromFilename(inDocuments);
    if (inBundle && files.fileExists(*inBundle)) return sourceFromFilename(*inBundle);
    vellumLogWarning(
        "[%@] MISSING FILE (not found in App-bundle, not found in Documents folder), COULD NOT CREATE DOCUMENT: "
        "filename = %@, extension = %@",
        "VellumSourceLocalFile", baseName, extension);
    return nullptr;
}

std::shared_ptr<VellumSourceLocalFile> VellumSourceLocalFile::internalSourceAnywhereInBundleUsingName(std::string_view name) {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return internalSourceAnywhereInBundle(error ? std::nullopt : std::optional(program.parent_path()), name);
}

std::shared_ptr<VellumSource> VellumSourceLocalFile::sourceFromRelativePath(std::string_view relativePath) const {
    auto resolved = foundation::URL::fromString(relativePath, foundation::URL::fileURL(filePath_));
    if (!resolved || !resolved->isFileURL()) return nullptr;
    const std::string path = resolved->path();
    if (!foundation::FileManager::defaultManager()->fileExists(path)) return nullptr;
    auto source = sourceFromFilename(path);
    source->setWasRelative(true);
    return source;
}

std::shared_ptr<VellumSource> VellumSourceLocalFile::copy() const {
    auto copy = std::make_shared<VellumSourceLocalFile>(foundation::InputStream::withFileAtPath(filePath_));
    copyBaseFieldsTo(*copy);
    copy->filePath_ = filePath_;
    copy->wasRelative_ = wasRelative_;
    return copy;
}

std::string VellumSourceLocalFile::description() const {
    const bool exists = foundation::FileManager::defaultManager()->fileExists(filePath_);
    return foundation::format("File: %@%@\"%@\" (%llu bytes)", wasRelative_ ? "(relative) " : "",
                              exists ? "" : "NOT FOUND!  ", filePath_, approximateLengthInBytesOr0());
}

}  // namespace vellum
