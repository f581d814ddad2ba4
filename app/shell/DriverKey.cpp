#include "shell/DriverKey.h"

#include "foundation/Strings.h"

std::string driverKey(std::string_view firstName, std::string_view lastName) {
    std::string name = std::string(firstName) + " " + std::string(lastName);
    return foundation::lowercased(foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive));
}

std::string headshotAddress(std::string_view url) {
    constexpr std::string_view marker = ".transform";
    std::size_t start = 0;
    while (start <= url.size()) {
        std::size_t end = url.find(marker, start);
        std::string_view piece = url.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!piece.empty()) return std::string(piece);
        if (end == std::string_view::npos) break;
        start = end + marker.size();
    }
    return {};
}
