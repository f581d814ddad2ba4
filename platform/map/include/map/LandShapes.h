#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "map/Projection.h"

namespace map {

struct MapDataError {
    std::string message;
};

// One closed outline of land (or of a sea inside land: land is inside an odd number of rings).
struct LandRing {
    std::vector<MapPoint> points;
    MapRect bounds;
};

// The world's coastline as projected rings, at several levels of detail so a zoomed-out map draws a
// few thousand points rather than every one. Read from the file made by tools/map/convert-coastline.py
// (see docs/map.md for the layout).
class LandShapes {
public:
    struct Level {
        // Largest distance, in map points, between a simplified outline and the data.
        double tolerance = 0;
        std::vector<LandRing> rings;
    };

    static std::expected<LandShapes, MapDataError> decode(std::span<const std::uint8_t> bytes);
    static std::expected<LandShapes, MapDataError> load(const std::filesystem::path& path);
    // data/map/land.bin under the data folder: $SORVANE_DATA_DIR when set, else the project's.
    static std::filesystem::path defaultPath();
    // The default file, read once (see loadOrReport).
    static std::shared_ptr<const LandShapes> shared();
    // The digest of the default file's bytes, without decoding them (what is kept on disk for the
    // shared shapes is found before they are ready); 0 when the file cannot be read.
    static std::uint64_t sharedDigest();
    // The shapes of a file, or an empty set (a map of sea) when it cannot be read, which prints one
    // line naming the file and what is wrong with it, so an all-sea map is never silent.
    static std::shared_ptr<const LandShapes> loadOrReport(const std::filesystem::path& path);

    // Level 0 is the data as stored; each later level is coarser.
    const std::vector<Level>& levels() const { return levels_; }
    // The coarsest level still within `tolerance` map points of the data.
    const Level& levelFor(double tolerance) const;
    bool empty() const { return levels_.empty() || levels_.front().rings.empty(); }
    // A 64-bit digest of the bytes the shapes were decoded from (0 for no data): the same file gives
    // the same digest in every run.
    std::uint64_t digest() const { return digest_; }

private:
    void buildLevels();

    std::vector<Level> levels_;
    std::uint64_t digest_ = 0;
};

// Whether the edge between two ring points is a seam of the data (along the date line, or the closure
// round the south pole) rather than a coast, so it is filled but not stroked.
bool isSeamEdge(MapPoint from, MapPoint to);

}  // namespace map
