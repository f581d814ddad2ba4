#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "gfx/Context.h"
#include "map/BaseMap.h"

namespace dispatch {
class Group;
}

namespace map {

class TileStore;

// The base map drawn once per zoom into square tiles of device pixels and composed from them on every
// frame, so a frame costs a copy of the screen's pixels rather than the coastline's paths.
//
// A zoom level is the exact scale of the frame that first needed it, and its tile grid is aligned
// with that frame's device pixels: frames at that scale show the tiles unscaled, moved by whole
// pixels (the pixels of drawBaseMap, the base map's position rounded to the nearest device pixel
// when a pan moved it by a fraction). A frame at a scale without tiles (zoom animations, pinches,
// wheel steps) shows the nearest zoom level that covers it, scaled, while its own tiles are drawn
// in the background; the tiles-ready handler then asks for the frame again. Tiles just beyond the
// view are drawn in the background too, so pans find them ready. Only opaque, normal drawing into
// contexts whose user space is the device's scaled (no rotation or flip) uses tiles; the rest gets
// drawBaseMap.
//
// Used from one thread (the main one); tiles are drawn on a few serial strands of the shared pool.
class BaseMapTiles {
public:
    // Device pixels a side.
    static constexpr int tileSize = 256;
    // 128 tiles: a 390 x 844 view at 2x with the tiles around it, twice over (a zoom shown from
    // another while its own tiles are drawn).
    static constexpr std::size_t defaultByteLimit = 32u << 20;
    // A frame may be shown from another zoom's tiles enlarged up to this factor (shrunk up to 1.33).
    static constexpr double maximumApproximation = 2;

    BaseMapTiles();
    ~BaseMapTiles();
    BaseMapTiles(const BaseMapTiles&) = delete;
    BaseMapTiles& operator=(const BaseMapTiles&) = delete;

    // Draws the base map for `viewport` as drawBaseMap(context, viewport, *land, style) does. A
    // change of land or style drops every tile. Null land uses LandShapes::shared().
    void draw(gfx::Context& context, const Viewport& viewport, std::shared_ptr<const LandShapes> land,
              const BaseMapStyle& style = {});

    // Called on the main queue when the tiles of a frame that was shown from another zoom are ready.
    void setTilesReadyHandler(std::function<void()> handler);

    // Keeps each tile drawn in `folder` as well, and looks there before drawing one, so a map shown at
    // the same place, zoom and scale in a later run starts from the earlier run's tiles. A file is
    // found by the map data's digest, the style, the scale, the zoom and the tile's place; at most
    // diskFileLimit are kept, the least recently used go. Empty (the default): nothing on disk.
    void setDiskFolder(const std::filesystem::path& folder);
    // About 15 MB (a tile file is about 40 KB): the tiles of a few screens' worth of places.
    static constexpr std::size_t diskFileLimit = 400;

    // Tiles are dropped, least recently shown first, to stay under the limit; a frame's own tiles
    // and those around it are kept even if they alone exceed it.
    std::size_t byteLimit() const { return byteLimit_; }
    void setByteLimit(std::size_t bytes);
    // Bytes of pixels held by the tiles, those being drawn included.
    std::size_t memoryCost() const;
    std::size_t tileCount() const;
    // Whether the last frame was shown from another zoom's tiles.
    bool lastFrameWasApproximate() const { return lastFrameWasApproximate_; }

    // Drops every tile (on memory warnings): those not started are never drawn, those being drawn are
    // let go when they finish.
    void removeAll();
    // Blocks until the tiles asked for are done, drawing those not started on this thread, and what
    // goes to the disk folder is written.
    void waitForPendingTiles();

private:
    struct Job;
    struct Tile;
    struct Level;
    struct Placement;
    struct TileRange {
        long minColumn = 0, maxColumn = -1, minRow = 0, maxRow = -1;
    };

    Level* exactLevel(const Viewport& viewport, double pixelScale);
    Level& addLevel(const Viewport& viewport, double pixelScale);
    Level* approximation(const Placement& frame);
    TileRange tilesCovering(const Level& level, const Placement& frame, double marginPixels) const;
    bool isReady(const Level& level, const TileRange& range) const;
    enum class Start { now, afterFrame };
    // Adds the range's missing tiles and has them drawn; `requests` also counts them when given.
    void requestTiles(Level& level, const TileRange& range, const std::shared_ptr<dispatch::Group>& requests,
                      Start start);
    void compose(gfx::Context& context, Level& level, const Placement& frame, const TileRange& range);
    void trim();

    std::shared_ptr<const LandShapes> land_;  // null: the shared shapes, read when a tile is drawn
    BaseMapStyle style_;
    std::vector<std::unique_ptr<Level>> levels_;
    std::size_t byteLimit_ = defaultByteLimit;
    std::uint64_t frame_ = 0;
    bool lastFrameWasApproximate_ = false;
    // Every tile being drawn, and those a frame shown from another zoom is waiting for.
    std::shared_ptr<dispatch::Group> background_;
    std::shared_ptr<dispatch::Group> awaited_;
    std::vector<std::shared_ptr<Job>> pendingJobs_;
    std::shared_ptr<std::function<void()>> tilesReady_;
    std::shared_ptr<const TileStore> store_;
};

}  // namespace map
