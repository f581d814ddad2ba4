#include "map/LandShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "Digest.h"
#include "PolylineSimplifier.h"
#include "foundation/FileManager.h"
#include "foundation/Print.h"

namespace map {

namespace {

constexpr char magic[] = "SVLAND01";
constexpr double unitsPerDegree = 10000;
// The stored data is simplified to 0.01 degree; each coarser level quadruples that.
constexpr double storedTolerance = 0.01 / 360 * worldSize;
constexpr int coarserLevels = 5;

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool u32(std::uint32_t& value) {
        if (bytes_.size() - offset_ < 4) return false;
        value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | bytes_[offset_ + i];
        offset_ += 4;
        return true;
    }
    bool zigzag(std::int64_t& value) {
        std::uint64_t raw = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (offset_ >= bytes_.size()) return false;
            std::uint8_t byte = bytes_[offset_++];
            raw |= std::uint64_t(byte & 0x7F) << shift;
            if (!(byte & 0x80)) {
                value = static_cast<std::int64_t>(raw >> 1) ^ -static_cast<std::int64_t>(raw & 1);
                return true;
            }
        }
        return false;
    }
    std::size_t remaining() const { return bytes_.size() - offset_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

MapRect boundsOf(const std::vector<MapPoint>& points) {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const MapPoint& point : points) {
        minX = std::min(minX, point.x);
        minY = std::min(minY, point.y);
        maxX = std::max(maxX, point.x);
        maxY = std::max(maxY, point.y);
    }
    return {{minX, minY}, {maxX - minX, maxY - minY}};
}

}  // namespace

std::expected<LandShapes, MapDataError> LandShapes::decode(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t magicLength = sizeof(magic) - 1;
    if (bytes.size() < magicLength || std::memcmp(bytes.data(), magic, magicLength) != 0) {
        return std::unexpected(MapDataError{"not a land shapes file"});
    }
    Reader reader(bytes.subspan(magicLength));
    std::uint32_t ringCount = 0, pointCount = 0;
    if (!reader.u32(ringCount) || !reader.u32(pointCount)) return std::unexpected(MapDataError{"truncated header"});
    // Each point takes at least two bytes, each ring four: bounds what a corrupt count can allocate.
    if (ringCount > reader.remaining() / 4 || pointCount > reader.remaining() / 2) {
        return std::unexpected(MapDataError{"counts exceed the file"});
    }
    Level stored{storedTolerance, {}};
    stored.rings.reserve(ringCount);
    std::uint64_t pointsRead = 0;
    for (std::uint32_t ring = 0; ring < ringCount; ++ring) {
        std::uint32_t count = 0;
        if (!reader.u32(count) || count > reader.remaining() / 2) {
            return std::unexpected(MapDataError{"truncated ring"});
        }
        LandRing land;
        land.points.reserve(count);
        std::int64_t longitude = 0, latitude = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::int64_t dx = 0, dy = 0;
            if (!reader.zigzag(dx) || !reader.zigzag(dy)) return std::unexpected(MapDataError{"truncated point"});
            longitude += dx;
            latitude += dy;
            Coordinate point{latitude / unitsPerDegree, longitude / unitsPerDegree};
            if (!point.isValid()) return std::unexpected(MapDataError{"coordinate out of range"});
            land.points.push_back(mapPoint(point));
        }
        pointsRead += count;
        if (land.points.size() < 3) continue;
        land.bounds = boundsOf(land.points);
        stored.rings.push_back(std::move(land));
    }
    if (pointsRead != pointCount) return std::unexpected(MapDataError{"point count does not match"});
    LandShapes shapes;
    shapes.levels_.push_back(std::move(stored));
    shapes.digest_ = digestOf(bytes);
    shapes.buildLevels();
    return shapes;
}

void LandShapes::buildLevels() {
    for (int level = 1; level <= coarserLevels; ++level) {
        const Level& finer = levels_.back();
        Level coarser{finer.tolerance * 4, {}};
        for (const LandRing& ring : finer.rings) {
            // A ring smaller than the tolerance would collapse to a sliver.
            if (std::max(ring.bounds.size.width, ring.bounds.size.height) < coarser.tolerance) continue;
            std::vector<MapPoint> points = simplifyRing(ring.points, coarser.tolerance);
            if (points.size() < 3) continue;
            coarser.rings.push_back({std::move(points), ring.bounds});
        }
        levels_.push_back(std::move(coarser));
    }
}

const LandShapes::Level& LandShapes::levelFor(double tolerance) const {
    static const Level none;
    if (levels_.empty()) return none;
    const Level* chosen = &levels_.front();
    for (const Level& level : levels_) {
        if (level.tolerance <= tolerance) chosen = &level;
    }
    return *chosen;
}

namespace {

std::optional<std::vector<std::uint8_t>> bytesOf(const std::filesystem::path& path) {
    auto data = foundation::FileManager::defaultManager()->readData(path);
    if (!data) return std::nullopt;
    return std::move(data->bytes());
}

}  // namespace

std::expected<LandShapes, MapDataError> LandShapes::load(const std::filesystem::path& path) {
    auto bytes = bytesOf(path);
    if (!bytes) return std::unexpected(MapDataError{"cannot open " + path.string()});
    return decode(*bytes);
}

std::uint64_t LandShapes::sharedDigest() {
    static const std::uint64_t digest = [] {
        auto bytes = bytesOf(defaultPath());
        return bytes ? digestOf(*bytes) : 0;
    }();
    return digest;
}

std::filesystem::path LandShapes::defaultPath() {
    const char* override = std::getenv("SORVANE_DATA_DIR");
    std::filesystem::path folder = override && *override ? override : SORVANE_DATA_DIR;
    return folder / "map" / "land.bin";
}

std::shared_ptr<const LandShapes> LandShapes::shared() {
    static std::once_flag once;
    // Never destroyed: a map view may have it loaded on a pool thread that is still at work at exit.
    static auto& shapes = *new std::shared_ptr<const LandShapes>;
    std::call_once(once, [] { shapes = loadOrReport(defaultPath()); });
    return shapes;
}

std::shared_ptr<const LandShapes> LandShapes::loadOrReport(const std::filesystem::path& path) {
    auto loaded = load(path);
    if (loaded) return std::make_shared<const LandShapes>(std::move(*loaded));
    foundation::print("Map: the land shapes in " + path.string() + " could not be read (" + loaded.error().message +
                      "); the map shows no land");
    return std::make_shared<const LandShapes>();
}

bool isSeamEdge(MapPoint from, MapPoint to) {
    constexpr double edge = worldSize * 1e-6;
    bool alongDateLine = (from.x <= edge && to.x <= edge) || (from.x >= worldSize - edge && to.x >= worldSize - edge);
    bool pastBottom = from.y >= worldSize - edge || to.y >= worldSize - edge;
    return alongDateLine || pastBottom;
}

}  // namespace map
