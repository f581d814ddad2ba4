#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A file's bytes as they are on disk.
inline std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
