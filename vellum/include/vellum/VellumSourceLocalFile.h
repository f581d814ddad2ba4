#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "foundation/FileManager.h"
#include "vellum/VellumSource.h"

namespace vellum {

// A document in a local file. The file is not checked when the source is made: a missing one shows
// when the parser opens the stream.
class VellumSourceLocalFile : public VellumSource {
public:
    // The file's size, or all bits set when its attributes cannot be read.
    static std::uint64_t sizeInBytesOfFilePath(const std::filesystem::path& path);
    static std::shared_ptr<VellumSourceLocalFile> sourceFromFilename(const std::filesystem::path& path);
    // "name" or "name.ext" (no extension means ".svg"), looked up in the Documents folder first, then
    // in the bundle's resources. Nothing, and a logged warning, when neither has it.
    static std::shared_ptr<VellumSourceLocalFile> internalSourceAnywhereInBundle(
        const std::optional<std::filesystem::path>& bundleResources, std::string_view name);
    // The same with the Documents folder of `files`.
    static std::shared_ptr<VellumSourceLocalFile> internalSourceAnywhereInBundle(
        const std::optional<std::filesystem::path>& bundleResources, std::string_view name,
        const foundation::FileManager& files);
    // The same with the main bundle: the folder of the running program.
    static std::shared_ptr<VellumSourceLocalFile> internalSourceAnywhereInBundleUsingName(std::string_view name);

    explicit VellumSourceLocalFile(std::shared_ptr<foundation::InputStream> stream) : VellumSource(std::move(stream)) {}

    // Resolved against this file's location; nothing when no file is there.
    std::shared_ptr<VellumSource> sourceFromRelativePath(std::string_view relativePath) const override;
    std::shared_ptr<VellumSource> copy() const override;
    std::optional<std::string> keyForAppleDictionaries() const override { return filePath_; }
    std::string description() const override;

    const std::string& filePath() const { return filePath_; }
    void setFilePath(std::string path) { filePath_ = std::move(path); }
    bool wasRelative() const { return wasRelative_; }
    void setWasRelative(bool relative) { wasRelative_ = relative; }

private:
    std::string filePath_;
    bool wasRelative_ = false;
};

}  // namespace vellum
