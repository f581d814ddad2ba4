#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "gfx/Bitmap.h"

namespace map {

// Finished base-map tiles kept in a folder across runs. A tile is found by its key (what its pixels
// depend on) and stored with it, so a file of another key, or a damaged one, is never shown. Files are
// written whole and renamed into place; reading one refreshes its date, and the oldest go beyond the
// folder's limit.
class TileStore {
public:
    TileStore(std::filesystem::path folder, std::size_t fileLimit) : folder_(std::move(folder)), fileLimit_(fileLimit) {}

    // Nothing when the key has no file or its file cannot be used.
    std::shared_ptr<const gfx::Bitmap> read(const std::string& key) const;
    // Errors (a full disk, a folder that cannot be made) are ignored: the tile is drawn again next time.
    void write(const std::string& key, const gfx::Bitmap& tile) const;
    // Removes the oldest files beyond the limit, and writes left unfinished by a run that ended.
    void trim() const;

private:
    std::filesystem::path pathFor(const std::string& key) const;

    std::filesystem::path folder_;
    std::size_t fileLimit_;
};

}  // namespace map
