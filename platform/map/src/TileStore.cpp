#include "TileStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <span>
#include <system_error>
#include <tuple>
#include <vector>


#include "Digest.h"
#include "foundation/Data.h"
#include "foundation/FileManager.h"

namespace map {

namespace fs = std::filesystem;

namespace {

// "SVTILE1\n", the key's length and bytes, width, height, then runs of equal pixels (count, pixel):
// tiles are mostly sea, so a run-length file is a tenth of the raw pixels and as quick to read.
constexpr char magic[] = "SVTILE1\n";
constexpr std::size_t magicLength = sizeof(magic) - 1;
constexpr const char* extension = ".tile";

void put32(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }

struct Reader {
    std::string_view bytes;
    bool take32(std::uint32_t& value) {
        if (bytes.size() < 4) return false;
        std::memcpy(&value, bytes.data(), 4);
        bytes.remove_prefix(4);
        return true;
    }
};

std::string encoded(const std::string& key, const gfx::Bitmap& tile) {
    std::string out(magic, magicLength);
    put32(out, static_cast<std::uint32_t>(key.size()));
    out += key;
    put32(out, static_cast<std::uint32_t>(tile.width));
    put32(out, static_cast<std::uint32_t>(tile.height));
    for (int y = 0; y < tile.height; ++y) {
        const std::uint32_t* row = tile.row(y);
        for (int x = 0; x < tile.width;) {
            int end = x + 1;
            while (end < tile.width && row[end] == row[x]) ++end;
            put32(out, static_cast<std::uint32_t>(end - x));
            put32(out, row[x]);
            x = end;
        }
    }
    return out;
}

std::shared_ptr<const gfx::Bitmap> decoded(std::string_view bytes, const std::string& key) {
    if (bytes.size() < magicLength || bytes.substr(0, magicLength) != std::string_view(magic, magicLength)) return nullptr;
    Reader reader{bytes.substr(magicLength)};
    std::uint32_t keyLength = 0, width = 0, height = 0;
    if (!reader.take32(keyLength) || keyLength != key.size() || reader.bytes.substr(0, keyLength) != key) return nullptr;
    reader.bytes.remove_prefix(keyLength);
    if (!reader.take32(width) || !reader.take32(height) || width == 0 || height == 0 || width > 4096 || height > 4096)
        return nullptr;
    auto tile = gfx::Bitmap::make(static_cast<int>(width), static_cast<int>(height));
    for (int y = 0; y < tile.height; ++y) {
        std::uint32_t* row = tile.row(y);
        for (std::uint32_t x = 0; x < width;) {
            std::uint32_t count = 0, pixel = 0;
            // A run never crosses a row, so a damaged count cannot reach past the pixels.
            if (!reader.take32(count) || !reader.take32(pixel) || count == 0 || count > width - x) return nullptr;
            std::fill_n(row + x, count, pixel);
            x += count;
        }
    }
    if (!reader.bytes.empty()) return nullptr;
    return std::make_shared<const gfx::Bitmap>(std::move(tile));
}

}  // namespace

fs::path TileStore::pathFor(const std::string& key) const {
    auto digest = digestOf(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()));
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(digest));
    return folder_ / (std::string(name) + extension);
}

std::shared_ptr<const gfx::Bitmap> TileStore::read(const std::string& key) const {
    fs::path path = pathFor(key);
    // Read whole, not a character at a time: every tile shown is read back from here.
    auto bytes = foundation::FileManager::defaultManager()->readData(path);
    if (!bytes) return nullptr;
    auto tile = decoded(bytes->view(), key);
    std::error_code ignored;
    if (tile) fs::last_write_time(path, fs::file_time_type::clock::now(), ignored);
    return tile;
}

void TileStore::write(const std::string& key, const gfx::Bitmap& tile) const {
    // Whole or not at all: a hidden temporary file renamed into place, so a reader never meets half a tile.
    const auto& files = *foundation::FileManager::defaultManager();
    (void)files.createDirectory(folder_, true);
    (void)files.write(pathFor(key), foundation::Data::fromString(encoded(key, tile)), {.atomic = true});
}

void TileStore::trim() const {
    std::error_code error;
    std::vector<std::pair<fs::file_time_type, fs::path>> tiles;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const fs::path& path = entry.path();
        std::error_code ignored;
        auto written = entry.last_write_time(ignored);
        if (path.extension() == extension) {
            tiles.emplace_back(written, path);
        } else if (path.filename().string().starts_with(".") &&
                   fs::file_time_type::clock::now() - written > std::chrono::minutes(1)) {
            fs::remove(path, ignored);  // a write cut off by the end of its run
        }
    }
    if (tiles.size() <= fileLimit_) return;
    std::sort(tiles.begin(), tiles.end());
    for (std::size_t i = 0; i + fileLimit_ < tiles.size(); ++i) fs::remove(tiles[i].second, error);
}

}  // namespace map
