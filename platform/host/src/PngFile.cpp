#include "host/PngFile.h"

#include <fstream>

#include "gfx/ImageEncoder.h"

namespace host {

std::expected<void, std::string> writePng(const gfx::Bitmap& bitmap, const std::filesystem::path& path) {
    auto png = gfx::encodePng(bitmap);
    if (!png) return std::unexpected("cannot encode an empty bitmap as PNG");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return std::unexpected("cannot open " + path.string() + " for writing");
    file.write(reinterpret_cast<const char*>(png->bytes().data()), static_cast<std::streamsize>(png->size()));
    if (!file.flush()) return std::unexpected("cannot write " + path.string());
    return {};
}

}  // namespace host
