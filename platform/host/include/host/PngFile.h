#pragma once

#include <expected>
#include <filesystem>
#include <string>

#include "gfx/Bitmap.h"

namespace host {

// Writes the bitmap as a PNG file; the error says what went wrong, ready to print.
std::expected<void, std::string> writePng(const gfx::Bitmap& bitmap, const std::filesystem::path& path);

}  // namespace host
