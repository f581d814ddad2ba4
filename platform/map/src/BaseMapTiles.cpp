#include "map/BaseMapTiles.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <thread>
#include <tuple>
#include <utility>

#include "TileStore.h"
#include "dispatch/Group.h"
#include "dispatch/Queue.h"

namespace map {

namespace {

using TileBitmap = std::shared_ptr<const gfx::Bitmap>;

constexpr std::size_t tileBytes = std::size_t(BaseMapTiles::tileSize) * BaseMapTiles::tileSize * 4;
// Tiles this far (device pixels) beyond the view are drawn ahead: more than a fast pan moves in a
// frame, and room for a zoom animation's next frame to be shown from this one's tiles.
constexpr double prefetchMargin = 128;
// Shrinking a tile by more than this costs Cairo a convolution instead of a bilinear filter.
constexpr double maximumShrink = 1.33;
// Tile grids are re-anchored before coordinates grow large enough to lose precision.
constexpr double maximumGridOffset = 1 << 20;

// Tiles are drawn by a few strands, not by as many pool threads as there are tiles, so a zoom's
// worth of them does not crowd the main thread out of the cores.
dispatch::Queue& drawingQueue() {
    // Never destroyed: a strand may still be drawing or writing a tile while the process exits.
    static const auto& strands = *new std::vector<std::shared_ptr<dispatch::Queue>>([] {
        std::size_t count = std::clamp<std::size_t>(std::thread::hardware_concurrency() / 2, 1, 4);
        std::vector<std::shared_ptr<dispatch::Queue>> queues;
        for (std::size_t i = 0; i < count; ++i) queues.push_back(dispatch::Queue::serial("map.tiles"));
        return queues;
    }());
    static std::atomic<std::size_t> next{0};
    return *strands[next++ % strands.size()];
}

// Raised whenever drawBaseMap draws differently, so tiles kept on disk by an older build are not shown.
constexpr std::uint32_t tileDrawingVersion = 1;

// Null land is the shared shapes, which a tile kept on disk does not wait for.
const LandShapes& resolved(const std::shared_ptr<const LandShapes>& land) { return land ? *land : *LandShapes::shared(); }

// Everything a tile's pixels depend on, as bytes: the name of its file on disk.
std::string tileKey(const Viewport& reference, double pixelScale, long column, long row,
                    const std::shared_ptr<const LandShapes>& land, const BaseMapStyle& style) {
    std::string key;
    auto add = [&key](const auto& value) { key.append(reinterpret_cast<const char*>(&value), sizeof value); };
    add(tileDrawingVersion);
    add(land ? land->digest() : LandShapes::sharedDigest());
    for (const gfx::Color& color : {style.sea, style.land, style.coastline, style.graticule})
        for (double component : {color.red, color.green, color.blue, color.alpha}) add(component);
    add(style.coastlineWidth);
    add(style.graticuleWidth);
    add(pixelScale);
    add(reference.scale());
    for (double value : {reference.size().width, reference.size().height, reference.layoutMargins().top,
                         reference.layoutMargins().left, reference.layoutMargins().bottom,
                         reference.layoutMargins().right, reference.centerMapPoint().x, reference.centerMapPoint().y})
        add(value);
    add(static_cast<std::int64_t>(column));
    add(static_cast<std::int64_t>(row));
    return key;
}

TileBitmap drawTile(const Viewport& reference, double pixelScale, long column, long row, const LandShapes& land,
                    const BaseMapStyle& style) {
    auto context = gfx::Context::create(BaseMapTiles::tileSize, BaseMapTiles::tileSize, {.scale = pixelScale});
    if (!context) return nullptr;
    double side = BaseMapTiles::tileSize / pixelScale;
    gfx::Rect area{column * side, row * side, side, side};
    context->translateBy(-area.minX(), -area.minY());
    drawBaseMap(*context, reference, land, style, area);
    return std::make_shared<const gfx::Bitmap>(context->makeImage());
}

}  // namespace

// One tile's drawing, run by whichever comes first: a drawing strand, or the main thread when a frame
// needs the tile now or a caller waits for every tile. The groups count it until it is done.
struct BaseMapTiles::Job {
    Viewport reference;
    double pixelScale = 1;
    long column = 0;
    long row = 0;
    std::shared_ptr<const LandShapes> land;  // null: the shared shapes
    BaseMapStyle style;
    std::vector<std::shared_ptr<dispatch::Group>> groups;
    std::shared_ptr<const TileStore> store;
    std::shared_ptr<dispatch::Group> background;
    std::promise<TileBitmap> result;
    std::atomic_flag claimed;

    void run() { finish(true); }
    // A dropped tile that has not started is never drawn.
    void cancel() { finish(false); }
    bool isClaimed() const { return claimed.test(); }

private:
    void finish(bool draw) {
        if (claimed.test_and_set()) return;
        result.set_value(draw ? kept() : nullptr);
        for (const auto& group : groups) group->leave();
    }
    // From the disk when an earlier run kept the tile; else drawn, and kept on a strand.
    TileBitmap kept() {
        if (!store) return drawTile(reference, pixelScale, column, row, resolved(land), style);
        std::string key = tileKey(reference, pixelScale, column, row, land, style);
        if (auto stored = store->read(key); stored && stored->width == tileSize && stored->height == tileSize)
            return stored;
        TileBitmap drawn = drawTile(reference, pixelScale, column, row, resolved(land), style);
        if (drawn) {
            // Written on a strand, so the main thread never waits for the disk; waitForPendingTiles
            // waits for it.
            background->enter();
            drawingQueue().async([store = store, key = std::move(key), drawn, background = background] {
                store->write(key, *drawn);
                background->leave();
            });
        }
        return drawn;
    }
};

struct BaseMapTiles::Tile {
    std::shared_future<TileBitmap> bitmap;
    std::shared_ptr<Job> job;
    std::uint64_t lastUsed = 0;

    bool isReady() const { return bitmap.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
};

// A frame: its viewport, and where its screen points land in device pixels.
struct BaseMapTiles::Placement {
    Viewport viewport;
    double pixelScale = 1;
    gfx::Point deviceOrigin;
    // The device pixels to cover: the view within the clip, whole pixels.
    gfx::Rect deviceArea;
};

namespace {

// Where a level's pixels fall in a frame: level pixel c lies at device x = origin + (c - x) * factor.
struct LevelPosition {
    double x = 0;
    double y = 0;
    double factor = 1;
};

}  // namespace

// One zoom: the frame that anchored it fixes the scale and the pixel grid, whose device pixel (0, 0)
// is that frame's screen point (0, 0).
struct BaseMapTiles::Level {
    Viewport reference;
    double pixelScale = 1;
    std::map<std::pair<long, long>, Tile> tiles;
    // The map x of the screen's left edge in the last frame shown from this level.
    double lastMinX = 0;

    // The view's centre wraps round the world, but the grid is anchored in one copy of it, and a
    // world is rarely a whole number of pixels wide: the copy nearest the last frame is taken, so a
    // drag past the date line carries on along the grid instead of jumping by a fraction of a pixel.
    double unwrappedMinX(const Viewport& frame) const {
        return lastMinX + std::remainder(frame.mapPoint(gfx::Point{0, 0}).x - lastMinX, worldSize);
    }
    LevelPosition positionOf(const Viewport& frame) const {
        MapPoint from = reference.mapPoint(gfx::Point{0, 0});
        double mapPointsPerPixel = reference.scale() / pixelScale;
        return {(unwrappedMinX(frame) - from.x) / mapPointsPerPixel,
                (frame.mapPoint(gfx::Point{0, 0}).y - from.y) / mapPointsPerPixel, reference.scale() / frame.scale()};
    }
};

BaseMapTiles::BaseMapTiles()
    : background_(dispatch::Group::create()), tilesReady_(std::make_shared<std::function<void()>>()) {}

BaseMapTiles::~BaseMapTiles() {
    for (const auto& job : pendingJobs_) job->cancel();
}

void BaseMapTiles::setDiskFolder(const std::filesystem::path& folder) {
    if (folder.empty()) {
        store_.reset();
        return;
    }
    store_ = std::make_shared<const TileStore>(folder, diskFileLimit);
    // What earlier runs left beyond the limit goes, off the main thread.
    background_->enter();
    drawingQueue().async([store = store_, background = background_] {
        store->trim();
        background->leave();
    });
}

void BaseMapTiles::setTilesReadyHandler(std::function<void()> handler) { *tilesReady_ = std::move(handler); }

void BaseMapTiles::setByteLimit(std::size_t bytes) {
    byteLimit_ = bytes;
    trim();
}

std::size_t BaseMapTiles::tileCount() const {
    std::size_t count = 0;
    for (const auto& level : levels_) count += level->tiles.size();
    return count;
}

std::size_t BaseMapTiles::memoryCost() const { return tileCount() * tileBytes; }

void BaseMapTiles::removeAll() {
    for (const auto& job : pendingJobs_) job->cancel();
    pendingJobs_.clear();
    levels_.clear();
    awaited_.reset();
}

void BaseMapTiles::waitForPendingTiles() {
    // Tiles whose strand has not started yet are drawn here rather than waited for.
    for (const auto& job : pendingJobs_) job->run();
    pendingJobs_.clear();
    background_->wait();
}

void BaseMapTiles::draw(gfx::Context& context, const Viewport& viewport, std::shared_ptr<const LandShapes> land,
                        const BaseMapStyle& style) {
    if (land != land_ || style != style_) {
        removeAll();
        land_ = std::move(land);
        style_ = style;
    }
    gfx::AffineTransform device = context.deviceTransform();
    double pixelScale = context.scale();
    // Translucent drawing blends each of the base map's layers with what is below, which a finished
    // tile cannot.
    bool plain = context.alpha() >= 1 && context.blendMode() == gfx::BlendMode::normal;
    if (!plain || !(pixelScale > 0) || device.a != pixelScale || device.d != pixelScale || device.b != 0 ||
        device.c != 0) {
        drawBaseMap(context, viewport, resolved(land_), style_);
        return;
    }
    gfx::Rect shown = gfx::Rect{{0, 0}, viewport.size()}.intersection(context.clipBoundingBox());
    if (shown.isEmpty()) return;
    Placement frame{viewport, pixelScale, {device.tx, device.ty}, device.apply(shown).integral()};
    ++frame_;
    lastFrameWasApproximate_ = false;

    Level* level = exactLevel(viewport, pixelScale);
    if (!level) {
        if (Level* nearest = approximation(frame)) {
            compose(context, *nearest, frame, tilesCovering(*nearest, frame, 1));
            lastFrameWasApproximate_ = true;
            // One zoom at a time is drawn for frames shown from another: during an animation the
            // next request goes out for whatever frame is on screen when this one is done.
            if (!awaited_ || awaited_->wait(0)) {
                Level& wanted = addLevel(viewport, pixelScale);
                awaited_ = dispatch::Group::create();
                requestTiles(wanted, tilesCovering(wanted, frame, prefetchMargin), awaited_, Start::afterFrame);
                std::weak_ptr<std::function<void()>> handler = tilesReady_;
                awaited_->notify(dispatch::Queue::main(), [handler] {
                    if (auto ready = handler.lock(); ready && *ready) (*ready)();
                });
            }
            trim();
            return;
        }
        level = &addLevel(viewport, pixelScale);
    }
    TileRange visible = tilesCovering(*level, frame, 1);
    requestTiles(*level, visible, nullptr, Start::now);
    // The main thread draws what the pool has not started rather than wait idle.
    for (long row = visible.minRow; row <= visible.maxRow; ++row) {
        for (long column = visible.minColumn; column <= visible.maxColumn; ++column) {
            Tile& tile = level->tiles.at({column, row});
            if (tile.job) tile.job->run();
        }
    }
    compose(context, *level, frame, visible);
    requestTiles(*level, tilesCovering(*level, frame, prefetchMargin), nullptr, Start::afterFrame);
    trim();
}

BaseMapTiles::Level* BaseMapTiles::exactLevel(const Viewport& viewport, double pixelScale) {
    for (const auto& level : levels_) {
        if (level->pixelScale != pixelScale || level->reference.scale() != viewport.scale() ||
            level->reference.size() != viewport.size()) {
            continue;
        }
        LevelPosition position = level->positionOf(viewport);
        if (std::abs(position.x) < maximumGridOffset && std::abs(position.y) < maximumGridOffset) return level.get();
    }
    return nullptr;
}

BaseMapTiles::Level& BaseMapTiles::addLevel(const Viewport& viewport, double pixelScale) {
    levels_.push_back(std::make_unique<Level>(Level{viewport, pixelScale, {}, viewport.mapPoint(gfx::Point{0, 0}).x}));
    return *levels_.back();
}

BaseMapTiles::Level* BaseMapTiles::approximation(const Placement& frame) {
    Level* best = nullptr;
    double bestDistance = 0;
    for (const auto& level : levels_) {
        if (level->pixelScale != frame.pixelScale) continue;
        double factor = level->reference.scale() / frame.viewport.scale();
        if (factor > maximumApproximation || factor < 1 / maximumShrink) continue;
        double distance = std::abs(std::log(factor));
        if (best && distance >= bestDistance) continue;
        if (!isReady(*level, tilesCovering(*level, frame, 1))) continue;
        best = level.get();
        bestDistance = distance;
    }
    return best;
}

BaseMapTiles::TileRange BaseMapTiles::tilesCovering(const Level& level, const Placement& frame,
                                                    double marginPixels) const {
    LevelPosition position = level.positionOf(frame.viewport);
    const gfx::Rect& area = frame.deviceArea;
    auto columnOf = [&](double deviceX, double margin) {
        double pixel = position.x + (deviceX - frame.deviceOrigin.x) / position.factor + margin;
        return static_cast<long>(std::floor(pixel / tileSize));
    };
    auto rowOf = [&](double deviceY, double margin) {
        double pixel = position.y + (deviceY - frame.deviceOrigin.y) / position.factor + margin;
        return static_cast<long>(std::floor(pixel / tileSize));
    };
    TileRange range{columnOf(area.minX(), -marginPixels), columnOf(area.maxX(), marginPixels),
                    rowOf(area.minY(), -marginPixels), rowOf(area.maxY(), marginPixels)};
    // Nothing is drawn beyond the world's top and bottom edges.
    double mapPointsPerPixel = level.reference.scale() / level.pixelScale;
    double top = -level.reference.mapPoint(gfx::Point{0, 0}).y / mapPointsPerPixel;
    double bottom = top + worldSize / mapPointsPerPixel;
    range.minRow = std::max(range.minRow, static_cast<long>(std::floor(top / tileSize)));
    range.maxRow = std::min(range.maxRow, static_cast<long>(std::floor(bottom / tileSize)));
    return range;
}

bool BaseMapTiles::isReady(const Level& level, const TileRange& range) const {
    for (long row = range.minRow; row <= range.maxRow; ++row) {
        for (long column = range.minColumn; column <= range.maxColumn; ++column) {
            auto tile = level.tiles.find({column, row});
            if (tile == level.tiles.end() || !tile->second.isReady()) return false;
        }
    }
    return true;
}

void BaseMapTiles::requestTiles(Level& level, const TileRange& range, const std::shared_ptr<dispatch::Group>& requests,
                                Start start) {
    std::vector<std::shared_ptr<Job>> jobs;
    for (long row = range.minRow; row <= range.maxRow; ++row) {
        for (long column = range.minColumn; column <= range.maxColumn; ++column) {
            auto [tile, added] = level.tiles.try_emplace({column, row});
            tile->second.lastUsed = frame_;
            if (!added) continue;
            auto job = std::make_shared<Job>();
            job->reference = level.reference;
            job->pixelScale = level.pixelScale;
            job->column = column;
            job->row = row;
            job->land = land_;
            job->style = style_;
            job->store = store_;
            job->background = background_;
            job->groups.push_back(background_);
            background_->enter();
            if (requests) {
                job->groups.push_back(requests);
                requests->enter();
            }
            tile->second.bitmap = job->result.get_future().share();
            tile->second.job = job;
            jobs.push_back(job);
        }
    }
    if (jobs.empty()) return;
    pendingJobs_.insert(pendingJobs_.end(), jobs.begin(), jobs.end());
    auto submit = [jobs = std::move(jobs)] {
        for (const auto& job : jobs) drawingQueue().async([job] { job->run(); });
    };
    if (start == Start::now) {
        submit();
    } else {
        // Started once the frame is drawn, so the strands do not compete with the rest of it.
        dispatch::Queue::main()->async(std::move(submit));
    }
}

void BaseMapTiles::compose(gfx::Context& context, Level& level, const Placement& frame, const TileRange& range) {
    LevelPosition position = level.positionOf(frame.viewport);
    level.lastMinX = level.unwrappedMinX(frame.viewport);
    // Tile edges are rounded to device pixels, each shared edge the same way for both its tiles, so
    // tiles meet without seams; unscaled tiles keep their size and are copied pixel for pixel.
    auto deviceX = [&](long column) {
        return std::round(frame.deviceOrigin.x + (double(column) * tileSize - position.x) * position.factor);
    };
    auto deviceY = [&](long row) {
        return std::round(frame.deviceOrigin.y + (double(row) * tileSize - position.y) * position.factor);
    };
    context.save();
    context.clip(gfx::Rect{{0, 0}, frame.viewport.size()});
    // Tiles over an opaque sea are opaque: copying them replaces what is below, as drawing them would.
    if (style_.sea.alpha >= 1) context.setBlendMode(gfx::BlendMode::copy);
    for (long row = range.minRow; row <= range.maxRow; ++row) {
        double top = deviceY(row), bottom = deviceY(row + 1);
        for (long column = range.minColumn; column <= range.maxColumn; ++column) {
            auto found = level.tiles.find({column, row});
            if (found == level.tiles.end()) continue;
            Tile& tile = found->second;
            tile.lastUsed = frame_;
            tile.job.reset();
            const TileBitmap& bitmap = tile.bitmap.get();
            if (!bitmap) continue;
            double left = deviceX(column), right = deviceX(column + 1);
            gfx::Rect rect{(left - frame.deviceOrigin.x) / frame.pixelScale, (top - frame.deviceOrigin.y) / frame.pixelScale,
                           (right - left) / frame.pixelScale, (bottom - top) / frame.pixelScale};
            context.drawBitmap(*bitmap, rect, gfx::BitmapPlacement::firstRowAtMinY);
        }
    }
    context.restore();
}

void BaseMapTiles::trim() {
    std::erase_if(pendingJobs_, [](const auto& job) { return job->isClaimed(); });
    if (memoryCost() <= byteLimit_) return;
    std::vector<std::tuple<std::uint64_t, Level*, std::pair<long, long>>> candidates;
    for (const auto& level : levels_) {
        for (const auto& [key, tile] : level->tiles) {
            if (tile.lastUsed < frame_) candidates.emplace_back(tile.lastUsed, level.get(), key);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    std::size_t cost = memoryCost();
    for (const auto& [lastUsed, level, key] : candidates) {
        if (cost <= byteLimit_) break;
        auto tile = level->tiles.find(key);
        if (tile->second.job) tile->second.job->cancel();
        level->tiles.erase(tile);
        cost -= tileBytes;
    }
    std::erase_if(levels_, [](const auto& level) { return level->tiles.empty(); });
}

}  // namespace map
