#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace sorvane::testing {

// A file of /proc; empty once its process is gone (reading it may then fail midway).
inline std::string procText(const std::filesystem::path& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

}  // namespace sorvane::testing
